#include "site/stop_signal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

namespace site {

StopSignal::StopSignal() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_fd < 0)
        throw std::runtime_error("cannot create the stop signal (eventfd)");
}

StopSignal::~StopSignal()
{
    close(m_fd);
}

void StopSignal::raise()
{
    const std::uint64_t one = 1;
    // A full counter (impossible in practice) still leaves the descriptor readable.
    [[maybe_unused]] ssize_t written = write(m_fd, &one, sizeof one);
}

bool StopSignal::raised() const
{
    pollfd p{m_fd, POLLIN, 0};
    return poll(&p, 1, 0) > 0;
}

}  // namespace site
