#include "site/probes.h"

#include "site/stop_signal.h"
#include "sitecontract/sitecontract.h"
#include "posix/pollwait.h"
#include "posix/uniquefd.h"

#include <sys/random.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>

namespace site {

namespace {

using Clock = PollClock;

std::chrono::milliseconds since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

TcpOutcome outcomeOfError(int error) {
  switch (error) {
    case 0:
      return TcpOutcome::Open;
    case ECONNREFUSED:
    case ECONNRESET:
      return TcpOutcome::Refused;
    case ETIMEDOUT:
      return TcpOutcome::TimedOut;
    default:
      return TcpOutcome::Unreachable;
  }
}

// Waits for `fd` to show `events` or for the stop signal, up to `timeout`.
// Returns the poll revents of `fd`, 0 on timeout or error, -1 when stopped.
int waitFor(int fd, short events, std::chrono::milliseconds timeout, const StopSignal& stop) {
  std::array<pollfd, 2> fds{pollfd{fd, events, 0}, pollfd{stop.fd(), POLLIN, 0}};
  if (pollUntil(fds, Clock::now() + timeout) <= 0) return 0;
  return fds[1].revents != 0 ? -1 : fds[0].revents;
}

// Sleeps for `gap` unless the stop signal comes first; true when stopped.
bool pauseUnlessStopped(std::chrono::milliseconds gap, const StopSignal& stop) {
  return waitForEvents(stop.fd(), POLLIN, Clock::now() + gap);
}

}  // namespace

TcpProbeResult probeTcp(const IpAddress& target, std::uint16_t port,
                        std::chrono::milliseconds timeout, const StopSignal& stop) {
  const auto start = Clock::now();
  TcpProbeResult result;
  const UniqueFd socket(::socket(target.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!socket.valid()) {
    result.elapsed = since(start);
    return result;
  }
  sockaddr_storage address{};
  const socklen_t length = target.toSockaddr(port, address);
  int rc;
  do {
    rc = connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), length);
  } while (rc < 0 && errno == EINTR);

  if (rc == 0) {
    result.outcome = TcpOutcome::Open;
  } else if (errno != EINPROGRESS) {
    result.outcome = outcomeOfError(errno);
  } else {
    const int events = waitFor(socket.get(), POLLOUT, timeout, stop);
    if (events < 0) {
      result.outcome = TcpOutcome::Stopped;
    } else if (events == 0) {
      result.outcome = TcpOutcome::TimedOut;
    } else {
      int error = 0;
      socklen_t errorLength = sizeof error;
      if (getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &errorLength) < 0) error = errno;
      result.outcome = outcomeOfError(error);
    }
  }
  // The socket closes here: an open port sees a connection and then an
  // orderly close, never data.
  result.elapsed = since(start);
  return result;
}

UdpProbeResult probeUdp(const IpAddress& target, std::uint16_t port, std::string_view token,
                        int count, std::chrono::milliseconds gap, const StopSignal& stop) {
  const auto start = Clock::now();
  UdpProbeResult result;
  const UniqueFd socket(::socket(target.family(), SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!socket.valid()) {
    result.elapsed = since(start);
    return result;
  }
  sockaddr_storage address{};
  const socklen_t length = target.toSockaddr(port, address);
  for (int n = 1; n <= count; ++n) {
    if (n > 1 && pauseUnlessStopped(gap, stop)) {
      result.stopped = true;
      break;
    }
    const std::string payload = udpProbePayload(token, n);
    // Unconnected sendto: an ICMP "port unreachable" for one datagram must
    // not make the next send fail, every datagram is tried.
    const ssize_t sent = sendto(socket.get(), payload.data(), payload.size(), MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&address), length);
    if (sent == ssize_t(payload.size())) ++result.sent;
  }
  result.elapsed = since(start);
  return result;
}

std::string udpProbePayload(std::string_view token, int sequence) {
  return std::string(sitecontract::kUdpProbeWord) + " " + std::string(token) + " " +
         std::to_string(sequence) + "\n";
}

std::string newProbeToken() {
  std::array<unsigned char, 8> bytes{};
  std::size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
    if (got > 0)
      filled += std::size_t(got);
    else if (errno != EINTR)
      break;  // cannot happen on a kernel that has getrandom; the token stays partly zero
  }
  std::string token;
  token.reserve(16);
  static const char digits[] = "0123456789abcdef";
  for (unsigned char b : bytes) {
    token += digits[b >> 4];
    token += digits[b & 0xf];
  }
  return token;
}

const char* tcpOutcomeName(TcpOutcome outcome) {
  switch (outcome) {
    case TcpOutcome::Open:
      return "open";
    case TcpOutcome::Refused:
      return "refused";
    case TcpOutcome::TimedOut:
      return "timeout";
    case TcpOutcome::Unreachable:
      return "unreachable";
    case TcpOutcome::Stopped:
      return "stopped";
  }
  return "unknown";
}

}  // namespace site
