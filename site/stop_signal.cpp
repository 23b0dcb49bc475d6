#include "site/stop_signal.h"

#include "posix/pollwait.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

namespace site {

StopSignal::StopSignal() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (!m_fd) throw std::runtime_error("cannot create the stop signal (eventfd)");
}

void StopSignal::raise() {
  const std::uint64_t one = 1;
  // A full counter (impossible in practice) still leaves the descriptor readable.
  [[maybe_unused]] ssize_t written = write(m_fd.get(), &one, sizeof one);
}

bool StopSignal::raised() const { return waitForEvents(m_fd.get(), POLLIN, PollClock::now()); }

}  // namespace site
