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

ConnectionStream::ConnectionStream(UniqueFd fd, IpAddress peer, Limits limits,
                                   const StopSignal& stop)
    : m_fd(std::move(fd)),
      m_peer(std::move(peer)),
      m_limits(limits),
      m_stop(stop),
      // A head or body window never takes more than the larger limit, so a
      // read always has its full room past it.
      m_buffer(std::max(limits.maxHeadBytes, limits.maxBodyBytes) +
               std::max<std::size_t>(limits.readBytes, 1)) {
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
  m_requestStarted = m_begin < m_end;
  m_requestLineDone = false;
  m_headTooLarge = false;
  m_body = {};
  m_bodyRead = 0;
  m_inBody = false;
  m_bodyTooLarge = false;
  m_timedOut = false;
  m_writtenThisRequest = 0;
}

bool ConnectionStream::receive() {
  if (m_failed) return false;
  if (m_begin == m_end) {
    m_begin = m_end = 0;
  } else if (m_begin > 0 && m_buffer.size() - m_end < m_limits.readBytes) {
    std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
    m_end -= m_begin;
    m_begin = 0;
  }
  if (m_end == m_buffer.size()) {  // the windows keep this from happening
    m_failed = true;
    return false;
  }
  for (;;) {
    // Checked before every read, not only when one has to wait: a client
    // that keeps sending never makes it wait.
    if (m_stop.raised() || Clock::now() >= m_readDeadline) {
      m_timedOut = !m_stop.raised();
      m_failed = true;
      return false;
    }
    const std::size_t room = std::min(m_buffer.size() - m_end, m_limits.readBytes);
    const ssize_t got = recv(m_fd.get(), m_buffer.data() + m_end, room, MSG_DONTWAIT);
    if (got > 0) {
      m_end += std::size_t(got);
      m_requestStarted = true;
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

bool ConnectionStream::requestLineEndsWithin(std::string_view head) const {
  const std::size_t lineEnd = head.find('\n');
  return lineEnd != std::string_view::npos && lineEnd < m_limits.maxRequestLineBytes;
}

std::string_view ConnectionStream::headWindow() const {
  const std::string_view head = received().substr(0, m_limits.maxHeadBytes);
  return requestLineEndsWithin(head) ? head : head.substr(0, m_limits.maxRequestLineBytes);
}

bool ConnectionStream::receiveHead() {
  const std::string_view head = received().substr(0, m_limits.maxHeadBytes);
  m_requestLineDone = requestLineEndsWithin(head);
  // More is wanted, so the head or its first line would pass its limit.
  if ((!m_requestLineDone && head.size() >= m_limits.maxRequestLineBytes) ||
      head.size() >= m_limits.maxHeadBytes) {
    m_headTooLarge = true;
    return false;
  }
  return receive();
}

void ConnectionStream::beginBody(const BodyFraming& framing) {
  m_requestLineDone = true;
  m_inBody = true;
  m_body = framing;
  m_bodyRead = 0;
}

std::size_t ConnectionStream::bodyLeft() const {
  switch (m_body.kind) {
    case BodyFraming::Kind::Length:
      return m_body.length - std::min(m_bodyRead, m_body.length);
    case BodyFraming::Kind::Chunked:
      return m_limits.maxBodyBytes - std::min(m_bodyRead, m_limits.maxBodyBytes);
    default:
      return 0;
  }
}

std::string_view ConnectionStream::bodyWindow() const { return received().substr(0, bodyLeft()); }

bool ConnectionStream::receiveBody() {
  // More is wanted than the framing leaves room for: only a chunked body
  // can want that, by running on past the limit.
  if (received().size() >= bodyLeft()) {
    m_bodyTooLarge = true;
    return false;
  }
  return receive();
}

void ConnectionStream::consume(std::size_t count) {
  count = std::min(count, m_end - m_begin);
  m_begin += count;
  if (m_inBody) m_bodyRead += count;
}

bool ConnectionStream::write(std::string_view data) {
  const auto deadline = Clock::now() + m_limits.clientTimeout;
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t sent =
        send(m_fd.get(), data.data() + done, data.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      done += std::size_t(sent);
      m_writtenThisRequest += std::size_t(sent);
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitUntil(POLLOUT, deadline))
      continue;
    return false;
  }
  return true;
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
