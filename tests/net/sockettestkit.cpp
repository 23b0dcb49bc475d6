#include "sockettestkit.h"

#include "platform/doevents.h"
#include "posix/pollwait.h"

#include <QDeadlineTimer>
#include <QDir>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

namespace kit {
namespace {

// A safety limit only: every wait ends as soon as its condition holds.
constexpr int kSafetyLimitMs = 20000;

sockaddr_in loopback(int port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<std::uint16_t>(port));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return sa;
}

bool readable(int fd) {
  return waitForEvents(fd, POLLIN, PollClock::now() + std::chrono::milliseconds(kSafetyLimitMs));
}

}  // namespace

bool waitFor(const std::function<bool()>& done) {
  QDeadlineTimer deadline(kSafetyLimitMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    DoEvents();
    Sleep(1);
  }
  return true;
}

void pump(int rounds) {
  for (int i = 0; i < rounds; ++i) {
    DoEvents();
    Sleep(1);
  }
}

Peer Peer::tcpTo(int port) {
  SocketFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in sa = loopback(port);
  if (fd.valid() && ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0)
    fd.reset();
  return Peer(std::move(fd));
}

Peer Peer::udp() {
  SocketFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  const sockaddr_in sa = loopback(0);
  if (fd.valid() && ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0)
    fd.reset();
  return Peer(std::move(fd));
}

int Peer::localPort() const {
  Endpoint local;
  return sys::localEndpoint(m_fd.get(), &local) == 0 ? local.port : 0;
}

bool Peer::send(const QByteArray& bytes) {
  qsizetype at = 0;
  while (at < bytes.size()) {
    const ssize_t sent = ::send(m_fd.get(), bytes.constData() + at,
                                static_cast<size_t>(bytes.size() - at), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    at += sent;
  }
  return true;
}

bool Peer::sendDatagram(const QByteArray& bytes, int port) {
  const sockaddr_in sa = loopback(port);
  return ::sendto(m_fd.get(), bytes.constData(), static_cast<size_t>(bytes.size()), 0,
                  reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == bytes.size();
}

QByteArray Peer::receive(int n) {
  QByteArray out;
  char buffer[4096];
  while (out.size() < n && readable(m_fd.get())) {
    const ssize_t got = ::recv(m_fd.get(), buffer,
                               qMin<size_t>(sizeof buffer, static_cast<size_t>(n - out.size())), 0);
    if (got <= 0) break;
    out.append(buffer, got);
  }
  return out;
}

bool Peer::sawClose() {
  if (!readable(m_fd.get())) return false;
  char byte = 0;
  const ssize_t got = ::recv(m_fd.get(), &byte, 1, MSG_PEEK);
  return got == 0 || (got < 0 && (errno == ECONNRESET || errno == EPIPE));
}

void Peer::reset() {
  const linger hard{1, 0};
  ::setsockopt(m_fd.get(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  m_fd.reset();
}

int openDescriptors() {
  return static_cast<int>(
      QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

}  // namespace kit
