#include "posix/pollwait.h"
#include "posix/uniquefd.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;

namespace {

struct Pipe {
  UniqueFd read;
  UniqueFd write;
};

Pipe makePipe() {
  int ends[2] = {-1, -1};
  if (::pipe2(ends, O_CLOEXEC) != 0) return {};
  return {UniqueFd(ends[0]), UniqueFd(ends[1])};
}

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

extern "C" void ignoreSignal(int) {}

}  // namespace

TEST(UniqueFd, ClosesWhatItOwnsAndNothingElse) {
  Pipe pipe = makePipe();
  const int readEnd = pipe.read.get();
  const int writeEnd = pipe.write.get();
  UniqueFd taken(std::move(pipe.read));
  EXPECT_FALSE(pipe.read.valid());
  taken = std::move(pipe.write);  // closes the read end
  EXPECT_FALSE(isOpen(readEnd));
  EXPECT_TRUE(isOpen(writeEnd));
  const int released = taken.release();
  EXPECT_TRUE(isOpen(released));
  UniqueFd again(released);
  EXPECT_TRUE(again.close());
  EXPECT_FALSE(isOpen(writeEnd));
}

TEST(PollUntil, ASignalNeitherEndsTheWaitNorLosesTheEvent) {
  struct sigaction action {};
  action.sa_handler = ignoreSignal;  // no SA_RESTART: poll() fails with EINTR
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
  Pipe pipe = makePipe();
  const pthread_t waiter = pthread_self();
  std::atomic<bool> waiting{false};
  std::thread poker([&] {
    while (!waiting) std::this_thread::yield();
    std::this_thread::sleep_for(20ms);  // most likely inside poll() by now
    pthread_kill(waiter, SIGUSR1);
    std::this_thread::sleep_for(20ms);
    [[maybe_unused]] const ssize_t written = ::write(pipe.write.get(), "x", 1);
  });
  waiting = true;
  const bool ready = waitForEvents(pipe.read.get(), POLLIN, PollClock::now() + 10s);
  poker.join();
  sigaction(SIGUSR1, &previous, nullptr);
  EXPECT_TRUE(ready);
}

TEST(PollUntil, ReturnsZeroOnceTheDeadlineHasPassed) {
  Pipe pipe = makePipe();
  pollfd fds[1] = {{pipe.read.get(), POLLIN, 0}};
  EXPECT_EQ(pollUntil(fds, PollClock::now() + 5ms), 0);
  EXPECT_EQ(pollUntil(fds, PollClock::now() - 1s), 0);
}
