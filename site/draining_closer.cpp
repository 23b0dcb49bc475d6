#include "site/draining_closer.h"

#include "site/stop_signal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace site {

DrainingCloser::DrainingCloser(const StopSignal &stop, Limits limits)
    : m_stop(stop), m_limits(limits), m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_wakeFd < 0)
        throw std::runtime_error("cannot create the closer's wake-up (eventfd)");
}

DrainingCloser::~DrainingCloser()
{
    for (const Lingering &connection : m_lingering)
        ::close(connection.fd);
    for (int fd : m_arrived)
        ::close(fd);
    ::close(m_wakeFd);
}

void DrainingCloser::add(int fd)
{
    shutdown(fd, SHUT_WR);
    if (m_held.fetch_add(1) >= m_limits.maxConnections) {
        m_held.fetch_sub(1);
        ::close(fd);
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_arrived.push_back(fd);
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(m_wakeFd, &one, sizeof one);
}

void DrainingCloser::takeArrivals()
{
    std::uint64_t count = 0;
    [[maybe_unused]] ssize_t got = read(m_wakeFd, &count, sizeof count);
    std::vector<int> arrived;
    {
        std::lock_guard lock(m_mutex);
        arrived.swap(m_arrived);
    }
    const auto until = Clock::now() + m_limits.linger;
    for (int fd : arrived)
        m_lingering.push_back({fd, until, 0});
}

bool DrainingCloser::drain(Lingering &connection)
{
    char sink[4096];
    for (;;) {
        const ssize_t got = recv(connection.fd, sink, sizeof sink, MSG_DONTWAIT);
        if (got > 0) {
            connection.drained += std::size_t(got);
            if (connection.drained >= m_limits.maxDrainBytes)
                return true;
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        return got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
    }
}

int DrainingCloser::pollTimeout() const
{
    if (m_lingering.empty())
        return -1;
    const auto soonest = std::min_element(m_lingering.begin(), m_lingering.end(),
                                          [](const Lingering &a, const Lingering &b) { return a.until < b.until; });
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(soonest->until - Clock::now());
    return int(std::max<std::chrono::milliseconds::rep>(0, left.count()));
}

void DrainingCloser::run()
{
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        fds.push_back({m_stop.fd(), POLLIN, 0});
        fds.push_back({m_wakeFd, POLLIN, 0});
        for (const Lingering &connection : m_lingering)
            fds.push_back({connection.fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), pollTimeout()) < 0 && errno != EINTR)
            return;
        if (fds[0].revents != 0)
            return;

        // Walked backwards so that a connection can be removed by moving the last one into its place.
        const auto now = Clock::now();
        for (std::size_t i = m_lingering.size(); i-- > 0;) {
            Lingering &connection = m_lingering[i];
            const bool done = (fds[i + 2].revents != 0 && drain(connection)) || now >= connection.until;
            if (!done)
                continue;
            ::close(connection.fd);
            connection = m_lingering.back();
            m_lingering.pop_back();
            m_held.fetch_sub(1);
        }
        if (fds[1].revents != 0)
            takeArrivals();
    }
}

}  // namespace site
