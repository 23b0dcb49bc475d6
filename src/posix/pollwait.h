#pragma once
// The one "wait until ready or until the deadline" loop. A signal that
// interrupts poll() does not end the wait early and does not extend it: the
// time left is worked out again from the deadline.
#include <poll.h>

#include <chrono>
#include <span>

using PollClock = std::chrono::steady_clock;

// Waits until one of `fds` has an event or `deadline` passes; fills in their
// revents. Returns the number of descriptors with events, 0 once the deadline
// has passed, -1 on an error other than EINTR (errno says which).
int pollUntil(std::span<pollfd> fds, PollClock::time_point deadline);

// The same for one descriptor: true when it has any of `events` (or an error
// or hang-up, which the next read or write will report) before `deadline`.
bool waitForEvents(int fd, short events, PollClock::time_point deadline);

// A deadline that is never reached, for a wait that only an event ends.
constexpr PollClock::time_point kNoDeadline = PollClock::time_point::max();
