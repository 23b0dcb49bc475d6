#include "router/routertask.h"

#include <QMetaObject>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace router {

// Owned together by the task and its worker thread, so that either may go first.
struct RouterTask::Shared {
  explicit Shared(QObject* receiver, RouterLimits limits) : receiver(receiver), client(limits) {}

  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::function<void(RouterClient&)>> jobs;
  QObject* receiver;  // null once the task is gone: answers are dropped
  bool stopping = false;
  RouterClient client;  // used by the worker thread only

  // Posting happens under the lock, so the receiver cannot be let go of in between.
  void post(std::function<void()> answer) {
    std::lock_guard lock(mutex);
    if (receiver) QMetaObject::invokeMethod(receiver, std::move(answer), Qt::QueuedConnection);
  }

  void work() {
    for (;;) {
      std::function<void(RouterClient&)> job;
      {
        std::unique_lock lock(mutex);
        wake.wait(lock, [this] { return stopping || !jobs.empty(); });
        if (stopping) return;
        job = std::move(jobs.front());
        jobs.pop_front();
      }
      job(client);
    }
  }
};

RouterTask::RouterTask(QObject* receiver, RouterLimits limits)
    : m_shared(std::make_shared<Shared>(receiver, limits)) {
  std::thread([shared = m_shared] { shared->work(); }).detach();
}

RouterTask::~RouterTask() {
  std::lock_guard lock(m_shared->mutex);
  m_shared->receiver = nullptr;
  m_shared->stopping = true;
  m_shared->jobs.clear();
  m_shared->wake.notify_one();
}

void RouterTask::enqueue(std::function<void(RouterClient&)> job) {
  std::lock_guard lock(m_shared->mutex);
  m_shared->jobs.push_back(std::move(job));
  m_shared->wake.notify_one();
}

template <typename Result>
void RouterTask::run(std::function<Result(RouterClient&)> work, std::function<void(const Result&)> done) {
  enqueue([shared = m_shared.get(), work = std::move(work), done = std::move(done)](RouterClient& client) {
    shared->post([result = work(client), done] { done(result); });
  });
}

void RouterTask::discover(std::function<void(const GatewayInfo&)> done) {
  run<GatewayInfo>([](RouterClient& client) { return client.discover(); }, std::move(done));
}

void RouterTask::findRule(int port, Transport transport, std::function<void(const RuleAnswer&)> done) {
  run<RuleAnswer>([=](RouterClient& client) { return client.findRule(port, transport); }, std::move(done));
}

namespace {

using AddedRules = std::pair<Outcome, std::vector<PortRule>>;

std::function<void(const AddedRules&)> unpack(RouterTask::AddedRulesDone done) {
  return [done = std::move(done)](const AddedRules& result) { done(result.first, result.second); };
}

}  // namespace

void RouterTask::forward(int port, Transport transport, Ipv4 localAddress, int leaseSeconds, AddedRulesDone done) {
  run<AddedRules>(
      [=](RouterClient& client) {
        const Outcome outcome = client.forward(port, transport, localAddress, leaseSeconds);
        return AddedRules{outcome, client.addedRules()};
      },
      unpack(std::move(done)));
}

void RouterTask::remove(int port, Transport transport, AddedRulesDone done) {
  run<AddedRules>(
      [=](RouterClient& client) {
        const Outcome outcome = client.remove(port, transport);
        return AddedRules{outcome, client.addedRules()};
      },
      unpack(std::move(done)));
}

void RouterTask::removeAll(AddedRulesDone done) {
  run<AddedRules>(
      [](RouterClient& client) {
        const Outcome outcome = client.removeAll();
        return AddedRules{outcome, client.addedRules()};
      },
      unpack(std::move(done)));
}

}  // namespace router
