#include "net/socketfd.h"

#include "net/syserror.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

SocketFd& SocketFd::operator=(SocketFd&& other) noexcept {
  if (this != &other) {
    reset();
    m_fd = other.release();
  }
  return *this;
}

int SocketFd::release() {
  const int fd = m_fd;
  m_fd = -1;
  return fd;
}

int SocketFd::reset() {
  if (m_fd < 0) return 0;
  const int fd = release();
  // close() must not be retried after EINTR on Linux: the descriptor is gone.
  if (::close(fd) != 0 && errno != EINTR) return sockerr::fromErrno(errno);
  return 0;
}

namespace sys {
namespace {

int lastError() { return sockerr::fromErrno(errno); }

sockaddr_in toSockaddr(const Endpoint& e) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<std::uint16_t>(e.port));
  sa.sin_addr.s_addr = e.address;
  return sa;
}

Endpoint fromSockaddr(const sockaddr_in& sa) {
  return Endpoint{sa.sin_addr.s_addr, ntohs(sa.sin_port)};
}

int intOption(int fd, int level, int name) {
  int value = 0;
  socklen_t len = sizeof value;
  if (::getsockopt(fd, level, name, &value, &len) != 0) return 0;
  return value;
}

}  // namespace

SocketFd openSocket(Kind kind, int* error) {
  const int type = (kind == Kind::Stream ? SOCK_STREAM : SOCK_DGRAM) | SOCK_NONBLOCK | SOCK_CLOEXEC;
  SocketFd fd(::socket(AF_INET, type, kind == Kind::Stream ? IPPROTO_TCP : IPPROTO_UDP));
  *error = fd.valid() ? 0 : lastError();
  return fd;
}

int enableBroadcast(int fd) {
  const int on = 1;
  return ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0 ? 0 : lastError();
}

int receiveBufferSize(int fd) { return intOption(fd, SOL_SOCKET, SO_RCVBUF); }
int sendBufferSize(int fd) { return intOption(fd, SOL_SOCKET, SO_SNDBUF); }

int bindTo(int fd, const Endpoint& at) {
  const sockaddr_in sa = toSockaddr(at);
  return ::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0 ? 0 : lastError();
}

int listenOn(int fd, int backlog) { return ::listen(fd, backlog) == 0 ? 0 : lastError(); }

int startConnect(int fd, const Endpoint& to) {
  const sockaddr_in sa = toSockaddr(to);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) return 0;
  // A non-blocking connect that has started is not a failure.
  if (errno == EINPROGRESS) return sockerr::kWouldBlock;
  return lastError();
}

int pendingError(int fd) {
  int err = 0;
  socklen_t len = sizeof err;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return lastError();
  return sockerr::fromErrno(err);
}

SocketFd acceptFrom(int fd, Endpoint* peer, int* error) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  SocketFd taken(::accept4(fd, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_NONBLOCK | SOCK_CLOEXEC));
  *error = taken.valid() ? 0 : lastError();
  if (taken.valid()) *peer = fromSockaddr(sa);
  return taken;
}

int localEndpoint(int fd, Endpoint* out) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return lastError();
  *out = fromSockaddr(sa);
  return 0;
}

int peerEndpoint(int fd, Endpoint* out) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return lastError();
  *out = fromSockaddr(sa);
  return 0;
}

IoResult receive(int fd, char* into, std::size_t length, bool peek) {
  ssize_t got;
  do {
    got = ::recv(fd, into, length, peek ? MSG_PEEK : 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return IoResult{0, lastError()};
  return IoResult{got, 0};
}

IoResult sendTo(int fd, const char* from, std::size_t length, const Endpoint* to) {
  ssize_t sent;
  do {
    if (to != nullptr) {
      const sockaddr_in sa = toSockaddr(*to);
      sent = ::sendto(fd, from, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    } else {
      // MSG_NOSIGNAL: a peer that went away is an error number, never SIGPIPE.
      sent = ::send(fd, from, length, MSG_NOSIGNAL);
    }
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) return IoResult{0, lastError()};
  return IoResult{sent, 0};
}

IoResult waitingBytes(int fd) {
  int count = 0;
  if (::ioctl(fd, FIONREAD, &count) != 0) return IoResult{0, lastError()};
  return IoResult{count, 0};
}

IoResult nextDatagramSize(int fd) {
  char probe = 0;
  const ssize_t got = ::recv(fd, &probe, 1, MSG_PEEK | MSG_TRUNC);
  if (got < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) return IoResult{-1, 0};
    return IoResult{-1, lastError()};
  }
  return IoResult{got, 0};
}

bool parseDotted(const QString& text, std::uint32_t* address) {
  const QByteArray latin = text.trimmed().toLatin1();
  in_addr parsed{};
  if (latin.isEmpty() || ::inet_aton(latin.constData(), &parsed) == 0) return false;
  *address = parsed.s_addr;
  return true;
}

QString dotted(std::uint32_t address) {
  const auto* b = reinterpret_cast<const unsigned char*>(&address);
  return QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]);
}

}  // namespace sys
