#include "site/connection_stream.h"

#include "site/stop_signal.h"
#include "posix/pollwait.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace site {

namespace {

constexpr std::chrono::milliseconds kIdleSlice{25};
constexpr std::chrono::milliseconds kQuietBeforeGivingWay{100};
constexpr std::chrono::milliseconds kDrainTime{250};
constexpr std::size_t kDrainBytes = 256 * 1024;

}  // namespace

ConnectionStream::ConnectionStream(UniqueFd fd, IpAddress peer, int peerPort, Limits limits,
                                   const StopSignal& stop)
    : m_fd(std::move(fd)),
      m_peer(std::move(peer)),
      m_peerPort(peerPort),
      m_limits(limits),
      m_stop(stop) {
  beginRequest(true);
}

bool ConnectionStream::waitUntil(short events, Clock::time_point deadline) const {
  pollfd fds[2] = {{m_fd.get(), events, 0}, {m_stop.fd(), POLLIN, 0}};
  return pollUntil(fds, deadline) > 0 && fds[1].revents == 0 && fds[0].revents != 0;
}

bool ConnectionStream::waitForRequest(std::chrono::milliseconds idle,
                                      const std::function<bool()>& giveUp) {
  if (m_begin < m_end) return true;  // a pipelined request is already here
  const auto start = Clock::now();
  const auto deadline = start + idle;
  for (;;) {
    if (waitUntil(POLLIN, std::min(deadline, Clock::now() + kIdleSlice))) return true;
    const auto now = Clock::now();
    if (now >= deadline || m_stop.raised()) return false;
    // Only a connection that has really gone quiet gives way: closing one
    // that is about to send its next request would cost that request.
    if (giveUp && now - start >= kQuietBeforeGivingWay && giveUp()) return false;
  }
}

void ConnectionStream::beginRequest(bool firstOnConnection) {
  m_requestStart = Clock::now();
  m_readDeadline =
      (firstOnConnection ? m_connectionStart : m_requestStart) + m_limits.clientTimeout;
  m_headBytes = 0;
  m_inHead = true;
  m_requestLineDone = false;
  m_headTail = 0;
  m_headTooLarge = false;
  m_body = {};
  m_bodyRead = 0;
  m_bodyTooLarge = false;
  m_timedOut = false;
  m_writtenThisRequest = 0;
}

bool ConnectionStream::fill() {
  if (m_failed) return false;
  for (;;) {
    // Checked before every read, not only when one has to wait: a client
    // that keeps sending never makes it wait.
    if (m_stop.raised() || Clock::now() >= m_readDeadline) {
      m_timedOut = !m_stop.raised();
      m_failed = true;
      return false;
    }
    const ssize_t got = recv(m_fd.get(), m_buffer.data(), m_buffer.size(), MSG_DONTWAIT);
    if (got > 0) {
      m_begin = 0;
      m_end = std::size_t(got);
      return true;
    }
    if (got == 0) {
      m_failed = true;  // the client closed its side
      return false;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      m_failed = true;
      return false;
    }
    if (!waitUntil(POLLIN, m_readDeadline)) {
      m_timedOut = !m_stop.raised();
      m_failed = true;
      return false;
    }
  }
}

std::size_t ConnectionStream::countHeadBytes(const char* data, std::size_t size) {
  static constexpr char kEnd[] = "\r\n\r\n";
  std::size_t i = 0;
  for (; i < size && m_inHead; ++i) {
    if (++m_headBytes > m_limits.maxHeadBytes) {
      m_headTooLarge = true;
      return i;  // deliver what fits; the next read fails
    }
    const char c = data[i];
    if (c == '\n') m_requestLineDone = true;
    if (c == kEnd[m_headTail])
      ++m_headTail;
    else
      m_headTail = (c == '\r') ? 1 : 0;
    if (m_headTail == 4) m_inHead = false;
  }
  return i;  // what follows the head is body, counted apart
}

void ConnectionStream::beginBody(const BodyFraming& framing) {
  // The library may end a head where this stream's own count has not (a line
  // ending in a bare LF), so its word is the one that counts.
  m_inHead = false;
  m_body = framing;
}

std::size_t ConnectionStream::bodyLeft() const {
  switch (m_body.kind) {
    case BodyFraming::Kind::Length:
      return m_body.length - m_bodyRead;
    case BodyFraming::Kind::Chunked:
      return m_limits.maxBodyBytes - std::min(m_bodyRead, m_limits.maxBodyBytes);
    default:
      return 0;
  }
}

bool ConnectionStream::finishBody() {
  if (m_body.kind == BodyFraming::Kind::Chunked) return m_bodyRead > 0;
  char sink[1024];
  while (bodyLeft() > 0) {
    if (read(sink, std::min(sizeof sink, bodyLeft())) <= 0) return false;
  }
  return true;
}

ssize_t ConnectionStream::read(char* ptr, std::size_t size) {
  if (m_headTooLarge || m_bodyTooLarge) return -1;
  if (!m_inHead) {
    const std::size_t left = bodyLeft();
    if (left == 0) {
      if (m_body.kind != BodyFraming::Kind::Chunked)
        return 0;  // the end of this request's body; the next request is not the library's to read
      m_bodyTooLarge = true;
      return -1;
    }
    size = std::min(size, left);
  }
  if (m_begin == m_end && !fill()) return -1;
  std::size_t n = std::min(size, m_end - m_begin);
  if (m_inHead)
    n = countHeadBytes(m_buffer.data() + m_begin, n);
  else
    m_bodyRead += n;
  if (n == 0) return -1;
  std::memcpy(ptr, m_buffer.data() + m_begin, n);
  m_begin += n;
  return ssize_t(n);
}

ssize_t ConnectionStream::write(const char* ptr, std::size_t size) {
  const auto deadline = Clock::now() + m_limits.clientTimeout;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t sent = send(m_fd.get(), ptr + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      done += std::size_t(sent);
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitUntil(POLLOUT, deadline))
      continue;
    return -1;
  }
  m_writtenThisRequest += done;
  return ssize_t(done);
}

bool ConnectionStream::is_readable() const {
  return m_begin < m_end || waitUntil(POLLIN, m_readDeadline);
}

bool ConnectionStream::is_writable() const {
  return waitUntil(POLLOUT, Clock::now() + m_limits.clientTimeout);
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  ip = m_peer.text();
  port = m_peerPort;
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getsockname(m_fd.get(), reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    if (auto local = IpAddress::fromSockaddr(reinterpret_cast<sockaddr*>(&address), length)) {
      ip = local->text();
      port = ntohs(address.ss_family == AF_INET
                       ? reinterpret_cast<sockaddr_in*>(&address)->sin_port
                       : reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
      return;
    }
  }
  ip.clear();
  port = -1;
}

void ConnectionStream::closeGracefully(bool clientMayStillBeSending) {
  if (!m_fd) return;
  shutdown(m_fd.get(), SHUT_WR);
  // Closing with unread input makes the kernel send a reset, which can
  // destroy an answer the client has not read yet; so read it away first.
  const auto deadline =
      Clock::now() + (clientMayStillBeSending ? kDrainTime : std::chrono::milliseconds(0));
  std::size_t drained = 0;
  char sink[4096];
  while (drained < kDrainBytes) {
    const ssize_t got = recv(m_fd.get(), sink, sizeof sink, MSG_DONTWAIT);
    if (got > 0) {
      drained += std::size_t(got);
      continue;
    }
    if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) break;
    if (!waitUntil(POLLIN, deadline)) break;
  }
  m_fd.reset();
}

}  // namespace site
