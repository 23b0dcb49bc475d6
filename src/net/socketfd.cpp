#include "net/socketfd.h"

#include "net/syserror.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

int SocketFd::reset() {
  if (!m_fd.valid()) return 0;
  // close() must not be retried after EINTR on Linux: the descriptor is gone.
  if (!m_fd.close() && errno != EINTR) return sockerr::fromErrno(errno);
  return 0;
}

namespace sys {
namespace {

int lastError() { return sockerr::fromErrno(errno); }

// A socket address of either family and the length the system calls take.
struct SockAddress {
  sockaddr_storage storage{};
  socklen_t length = sizeof(sockaddr_storage);

  sockaddr* get() { return reinterpret_cast<sockaddr*>(&storage); }
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

SockAddress toSockaddr(const Endpoint& e) {
  SockAddress out;
  if (e.ipv6) {
    sockaddr_in6 sa{};
    sa.sin6_family = AF_INET6;
    sa.sin6_port = htons(static_cast<std::uint16_t>(e.port));
    std::memcpy(sa.sin6_addr.s6_addr, e.address6.data(), e.address6.size());
    sa.sin6_scope_id = e.scopeId;
    std::memcpy(&out.storage, &sa, sizeof sa);
    out.length = sizeof sa;
  } else {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(e.port));
    sa.sin_addr.s_addr = e.address;
    std::memcpy(&out.storage, &sa, sizeof sa);
    out.length = sizeof sa;
  }
  return out;
}

Endpoint fromSockaddr(const SockAddress& from) {
  Endpoint e;
  if (from.storage.ss_family == AF_INET6 && from.length >= socklen_t(sizeof(sockaddr_in6))) {
    sockaddr_in6 sa{};
    std::memcpy(&sa, &from.storage, sizeof sa);
    e.ipv6 = true;
    e.port = ntohs(sa.sin6_port);
    std::memcpy(e.address6.data(), sa.sin6_addr.s6_addr, e.address6.size());
    e.scopeId = sa.sin6_scope_id;
  } else if (from.storage.ss_family == AF_INET && from.length >= socklen_t(sizeof(sockaddr_in))) {
    sockaddr_in sa{};
    std::memcpy(&sa, &from.storage, sizeof sa);
    e.address = sa.sin_addr.s_addr;
    e.port = ntohs(sa.sin_port);
  }
  return e;
}

int intOption(int fd, int level, int name) {
  int value = 0;
  socklen_t len = sizeof value;
  if (::getsockopt(fd, level, name, &value, &len) != 0) return 0;
  return value;
}

}  // namespace

SocketFd openSocket(Kind kind, int* error, bool ipv6) {
  const int type = (kind == Kind::Stream ? SOCK_STREAM : SOCK_DGRAM) | SOCK_NONBLOCK | SOCK_CLOEXEC;
  SocketFd fd(
      ::socket(ipv6 ? AF_INET6 : AF_INET, type, kind == Kind::Stream ? IPPROTO_TCP : IPPROTO_UDP));
  *error = fd.valid() ? 0 : lastError();
  if (fd.valid() && ipv6) {
    const int on = 1;
    if (::setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on) != 0) {
      *error = lastError();
      return SocketFd();
    }
  }
  return fd;
}

bool isIpv6Socket(int fd) {
  SockAddress local;
  return ::getsockname(fd, local.get(), &local.length) == 0 && local.storage.ss_family == AF_INET6;
}

int enableBroadcast(int fd) {
  const int on = 1;
  return ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0 ? 0 : lastError();
}

int receiveBufferSize(int fd) { return intOption(fd, SOL_SOCKET, SO_RCVBUF); }
int sendBufferSize(int fd) { return intOption(fd, SOL_SOCKET, SO_SNDBUF); }

int bindTo(int fd, const Endpoint& at) {
  const SockAddress sa = toSockaddr(at);
  return ::bind(fd, sa.get(), sa.length) == 0 ? 0 : lastError();
}

int listenOn(int fd, int backlog) { return ::listen(fd, backlog) == 0 ? 0 : lastError(); }

int startConnect(int fd, const Endpoint& to) {
  const SockAddress sa = toSockaddr(to);
  if (::connect(fd, sa.get(), sa.length) == 0) return 0;
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
  SockAddress sa;
  SocketFd taken(::accept4(fd, sa.get(), &sa.length, SOCK_NONBLOCK | SOCK_CLOEXEC));
  *error = taken.valid() ? 0 : lastError();
  if (taken.valid()) *peer = fromSockaddr(sa);
  return taken;
}

int localEndpoint(int fd, Endpoint* out) {
  SockAddress sa;
  if (::getsockname(fd, sa.get(), &sa.length) != 0) return lastError();
  *out = fromSockaddr(sa);
  return 0;
}

int peerEndpoint(int fd, Endpoint* out) {
  SockAddress sa;
  if (::getpeername(fd, sa.get(), &sa.length) != 0) return lastError();
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
      const SockAddress sa = toSockaddr(*to);
      sent = ::sendto(fd, from, length, MSG_NOSIGNAL, sa.get(), sa.length);
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

bool parseNumeric(const QString& text, Endpoint* out) {
  std::uint32_t v4 = 0;
  if (parseDotted(text, &v4)) {
    out->ipv6 = false;
    out->address = v4;
    out->address6 = {};
    out->scopeId = 0;
    return true;
  }
  QString trimmed = text.trimmed();
  if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']')))
    trimmed = trimmed.mid(1, trimmed.size() - 2);
  // Only a text with a colon can be IPv6; the numeric look-up never asks a resolver.
  if (!trimmed.contains(QLatin1Char(':'))) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET6;
  hints.ai_flags = AI_NUMERICHOST;
  addrinfo* list = nullptr;
  if (::getaddrinfo(trimmed.toLatin1().constData(), nullptr, &hints, &list) != 0 || list == nullptr)
    return false;
  SockAddress sa;
  const bool fits = list->ai_addrlen <= sizeof sa.storage;
  if (fits) {
    std::memcpy(&sa.storage, list->ai_addr, list->ai_addrlen);
    sa.length = list->ai_addrlen;
  }
  ::freeaddrinfo(list);
  if (!fits) return false;
  const Endpoint parsed = fromSockaddr(sa);
  if (!parsed.ipv6) return false;
  out->ipv6 = true;
  out->address = 0;
  out->address6 = parsed.address6;
  out->scopeId = parsed.scopeId;
  return true;
}

QString addressText(const Endpoint& endpoint) {
  if (!endpoint.ipv6) return dotted(endpoint.address);
  char text[INET6_ADDRSTRLEN] = {};
  in6_addr raw{};
  std::memcpy(raw.s6_addr, endpoint.address6.data(), endpoint.address6.size());
  if (::inet_ntop(AF_INET6, &raw, text, sizeof text) == nullptr) return QString();
  QString result = QString::fromLatin1(text);
  if (endpoint.scopeId != 0) {
    char name[IF_NAMESIZE] = {};
    result += QLatin1Char('%');
    result += ::if_indextoname(endpoint.scopeId, name) != nullptr
                  ? QString::fromLatin1(name)
                  : QString::number(endpoint.scopeId);
  }
  return result;
}

}  // namespace sys
