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
// Call it from the receiver's thread only, and destroy it before the receiver
// (a member declared after the window's widgets does that). Every callback is
// called exactly once: with the router's answer, or with Failure::NoAnswer
// when that did not come within RouterLimits::answer (a late answer is then
// dropped). Destroying the task never blocks: a call still running ends on
// its own and its answer is dropped, as are the callbacks not called yet.

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
  void forward(int port, Transport transport, Ipv4 localAddress, int leaseSeconds,
               AddedRulesDone done);
  void remove(int port, Transport transport, AddedRulesDone done);
  void removeAll(AddedRulesDone done);

 private:
  struct Shared;
  // Runs `work` on the worker thread and hands its result to `done` on the receiver's thread.
  // Runs `work` on the worker thread and hands its result to `answered` on the
  // receiver's thread, or calls `overdue` there instead when `limit` passes first.
  template <typename Result>
  void run(std::chrono::milliseconds limit, std::function<Result(RouterClient&)> work,
           std::function<void(const Result&)> answered, std::function<void()> overdue);
  void enqueue(std::function<void(RouterClient&)> job);
  void runAddedRules(std::function<Outcome(RouterClient&)> work, AddedRulesDone done);

  RouterLimits m_limits;
  // Answers and overdue notices are delivered through this object, on the
  // receiver's thread; it goes with the task, and so do they.
  std::unique_ptr<QObject> m_mailbox;
  std::shared_ptr<Shared> m_shared;
  std::vector<PortRule> m_lastAdded;  // the list as last reported, for overdue notices
};

}  // namespace router
