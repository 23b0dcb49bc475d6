#pragma once
// RouterTask: RouterClient's calls on a worker thread of their own, one after
// the other, each answer handed to a callback on the thread of a Qt object
// (the window). The window never waits for the router:
//
//   m_router = std::make_unique<router::RouterTask>(this);   // a member of the window
//   m_router->discover([this](const router::GatewayInfo& gateway) { showRouter(gateway); });
//   m_router->findRule(port, router::Transport::Tcp, [this, row](const router::RuleAnswer& rule) {
//     setRowDiagnosis(row, router::diagnose({gateway, rule}, siteSaw, chosenAddress, port, false));
//   });
//   m_router->forward(port, transport, chosenAddress, router::kDefaultLeaseSeconds,
//                     [this](const router::Outcome& outcome, const std::vector<router::PortRule>& added) {...});
//
// Destroy the task before the receiver (a member declared after the window's
// widgets does that). Destroying it never blocks: a call still running ends on
// its own, within its limit, and its answer is dropped.

#include "router/routerclient.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace router {

class RouterTask {
 public:
  explicit RouterTask(QObject* receiver, RouterLimits limits = {});
  ~RouterTask();
  RouterTask(const RouterTask&) = delete;
  RouterTask& operator=(const RouterTask&) = delete;

  using AddedRulesDone = std::function<void(const Outcome&, const std::vector<PortRule>& added)>;

  void discover(std::function<void(const GatewayInfo&)> done);
  void findRule(int port, Transport transport, std::function<void(const RuleAnswer&)> done);
  void forward(int port, Transport transport, Ipv4 localAddress, int leaseSeconds, AddedRulesDone done);
  void remove(int port, Transport transport, AddedRulesDone done);
  void removeAll(AddedRulesDone done);

 private:
  struct Shared;
  // Runs `work` on the worker thread and hands its result to `done` on the receiver's thread.
  template <typename Result>
  void run(std::function<Result(RouterClient&)> work, std::function<void(const Result&)> done);
  void enqueue(std::function<void(RouterClient&)> job);

  std::shared_ptr<Shared> m_shared;
};

}  // namespace router
