#include "posix/pollwait.h"

#include <algorithm>
#include <cerrno>
#include <climits>

namespace {

// poll() takes whole milliseconds in an int: round up, so that a wait never
// returns just before its deadline and spins, and cap what an int can hold.
int millisecondsUntil(PollClock::time_point deadline) {
  if (deadline == kNoDeadline) return -1;
  const auto left = deadline - PollClock::now();
  if (left <= PollClock::duration::zero()) return 0;
  const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<int>(std::min<long long>(milliseconds, INT_MAX));
}

}  // namespace

int pollUntil(std::span<pollfd> fds, PollClock::time_point deadline) {
  for (;;) {
    const int timeout = millisecondsUntil(deadline);
    const int ready = ::poll(fds.data(), fds.size(), timeout);
    if (ready > 0) return ready;
    if (ready < 0 && errno != EINTR) return -1;
    if (ready == 0 && timeout == 0) return 0;
    // Interrupted, or woken a little early by the clock's rounding: wait on.
    if (ready == 0 && PollClock::now() >= deadline) return 0;
  }
}

bool waitForEvents(int fd, short events, PollClock::time_point deadline) {
  pollfd one{fd, events, 0};
  return pollUntil({&one, 1}, deadline) > 0;
}
