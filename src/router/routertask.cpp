#include "router/routertask.h"

#include <QMetaObject>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace router {

// Owned together by the task and its worker thread, so that either may go first.
struct RouterTask::Shared {
  Shared(QObject* mailbox, RouterLimits limits) : mailbox(mailbox), client(limits) {}

  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::function<void(RouterClient&)>> jobs;
  QObject* mailbox;  // null once the task is gone: answers are dropped
  bool stopping = false;
  RouterClient client;  // used by the worker thread only

  // Posting happens under the lock, so the mailbox cannot go in between.
  void post(std::function<void()> answer) {
    std::lock_guard lock(mutex);
    if (mailbox) QMetaObject::invokeMethod(mailbox, std::move(answer), Qt::QueuedConnection);
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
    : m_limits(limits), m_mailbox(std::make_unique<QObject>()) {
  m_mailbox->moveToThread(receiver->thread());
  m_shared = std::make_shared<Shared>(m_mailbox.get(), limits);
  std::thread([shared = m_shared] { shared->work(); }).detach();
}

RouterTask::~RouterTask() {
  std::lock_guard lock(m_shared->mutex);
  m_shared->mailbox = nullptr;
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
void RouterTask::run(std::chrono::milliseconds limit, std::function<Result(RouterClient&)> work,
                     std::function<void(const Result&)> answered, std::function<void()> overdue) {
  // Whichever comes first is delivered; both run on the mailbox's thread, so a
  // plain flag decides.
  auto delivered = std::make_shared<bool>(false);
  QTimer::singleShot(limit, m_mailbox.get(), [delivered, overdue = std::move(overdue)] {
    if (!std::exchange(*delivered, true)) overdue();
  });
  enqueue([shared = m_shared.get(), work = std::move(work), answered = std::move(answered),
           delivered](RouterClient& client) {
    shared->post([result = work(client), answered, delivered] {
      if (!std::exchange(*delivered, true)) answered(result);
    });
  });
}

namespace {

constexpr Outcome kOverdue{Failure::NoAnswer, 0};

}  // namespace

void RouterTask::discover(std::function<void(const GatewayInfo&)> done) {
  run<GatewayInfo>(
      m_limits.discovery + m_limits.answer, [](RouterClient& client) { return client.discover(); },
      done,
      [done] {
        GatewayInfo none;
        none.outcome = kOverdue;
        done(none);
      });
}

void RouterTask::findRule(int port, Transport transport,
                          std::function<void(const RuleAnswer&)> done) {
  run<RuleAnswer>(
      m_limits.answer, [=](RouterClient& client) { return client.findRule(port, transport); }, done,
      [done] {
        RuleAnswer unknown;
        unknown.outcome = kOverdue;
        done(unknown);
      });
}

void RouterTask::runAddedRules(std::function<Outcome(RouterClient&)> work, AddedRulesDone done) {
  using AddedRules = std::pair<Outcome, std::vector<PortRule>>;
  run<AddedRules>(
      m_limits.answer,
      [work = std::move(work)](RouterClient& client) {
        const Outcome outcome = work(client);
        return AddedRules{outcome, client.addedRules()};
      },
      [this, done](const AddedRules& result) {
        m_lastAdded = result.second;
        done(result.first, result.second);
      },
      [this, done] { done(kOverdue, m_lastAdded); });
}

void RouterTask::forward(int port, Transport transport, Ipv4 localAddress, int leaseSeconds,
                         AddedRulesDone done) {
  runAddedRules(
      [=](RouterClient& client) {
        return client.forward(port, transport, localAddress, leaseSeconds);
      },
      std::move(done));
}

void RouterTask::remove(int port, Transport transport, AddedRulesDone done) {
  runAddedRules([=](RouterClient& client) { return client.remove(port, transport); },
                std::move(done));
}

void RouterTask::removeAll(AddedRulesDone done) {
  runAddedRules([](RouterClient& client) { return client.removeAll(); }, std::move(done));
}

}  // namespace router
