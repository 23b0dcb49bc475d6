#include "site/draining_closer.h"

#include "site/stop_signal.h"
#include "posix/pollwait.h"

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace site {

DrainingCloser::DrainingCloser(const StopSignal& stop, Limits limits)
    : m_stop(stop), m_limits(limits), m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (!m_wakeFd) throw std::runtime_error("cannot create the closer's wake-up (eventfd)");
}

void DrainingCloser::add(UniqueFd connection) {
  shutdown(connection.get(), SHUT_WR);
  if (m_held.fetch_add(1) >= m_limits.maxConnections) {
    m_held.fetch_sub(1);
    return;  // closed as `connection` goes
  }
  {
    std::lock_guard lock(m_mutex);
    m_arrived.push_back(std::move(connection));
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t written = write(m_wakeFd.get(), &one, sizeof one);
}

void DrainingCloser::takeArrivals() {
  std::uint64_t count = 0;
  [[maybe_unused]] ssize_t got = read(m_wakeFd.get(), &count, sizeof count);
  std::vector<UniqueFd> arrived;
  {
    std::lock_guard lock(m_mutex);
    arrived.swap(m_arrived);
  }
  const auto until = Clock::now() + m_limits.linger;
  for (UniqueFd& fd : arrived) m_lingering.push_back({std::move(fd), until, 0});
}

bool DrainingCloser::drain(Lingering& connection) {
  char sink[4096];
  for (;;) {
    const ssize_t got = recv(connection.fd.get(), sink, sizeof sink, MSG_DONTWAIT);
    if (got > 0) {
      connection.drained += std::size_t(got);
      if (connection.drained >= m_limits.maxDrainBytes) return true;
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    return got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
  }
}

DrainingCloser::Clock::time_point DrainingCloser::soonestEnd() const {
  if (m_lingering.empty()) return kNoDeadline;
  return std::min_element(m_lingering.begin(), m_lingering.end(),
                          [](const Lingering& a, const Lingering& b) { return a.until < b.until; })
      ->until;
}

void DrainingCloser::run() {
  std::vector<pollfd> fds;
  for (;;) {
    fds.clear();
    fds.push_back({m_stop.fd(), POLLIN, 0});
    fds.push_back({m_wakeFd.get(), POLLIN, 0});
    for (const Lingering& connection : m_lingering) fds.push_back({connection.fd.get(), POLLIN, 0});
    if (pollUntil(fds, soonestEnd()) < 0) return;
    if (fds[0].revents != 0) return;

    // Walked backwards so that a connection can be removed by moving the last one into its place.
    const auto now = Clock::now();
    for (std::size_t i = m_lingering.size(); i-- > 0;) {
      Lingering& connection = m_lingering[i];
      const bool done = (fds[i + 2].revents != 0 && drain(connection)) || now >= connection.until;
      if (!done) continue;
      connection = std::move(m_lingering.back());  // closes this one
      m_lingering.pop_back();
      m_held.fetch_sub(1);
    }
    if (fds[1].revents != 0) takeArrivals();
  }
}

}  // namespace site
