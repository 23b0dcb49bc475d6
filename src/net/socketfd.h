#pragma once
// A thin, owning layer over the POSIX socket calls (IPv4 and IPv6) the
// socket object needs. Every descriptor lives in a SocketFd, so no path can leak one, and
// every failure comes back as a socket-library error number (see syserror.h).

#include "posix/uniquefd.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

// An endpoint with the port in host order. IPv4 (the socket object's own
// family) keeps its address in network byte order in `address`; an IPv6
// endpoint sets `ipv6` and keeps its 16 bytes and scope in the fields after.
struct Endpoint {
  std::uint32_t address = 0;
  int port = 0;
  bool ipv6 = false;
  std::array<std::uint8_t, 16> address6{};
  std::uint32_t scopeId = 0;

  bool sameAddress(const Endpoint& other) const {
    return ipv6 == other.ipv6 && (ipv6 ? address6 == other.address6 && scopeId == other.scopeId
                                       : address == other.address);
  }
};

// A socket descriptor: the one descriptor owner of the tree underneath, plus
// the close that reports its error as a socket-library number.
class SocketFd {
 public:
  SocketFd() = default;
  explicit SocketFd(int fd) : m_fd(fd) {}

  int get() const { return m_fd.get(); }
  bool valid() const { return m_fd.valid(); }
  int release() { return m_fd.release(); }
  // Closes the descriptor; returns 0 or the error number of the close.
  int reset();

 private:
  UniqueFd m_fd;
};

// Result of a call that yields a count: either the count or an error number.
struct IoResult {
  long long count = 0;
  int error = 0;
  bool ok() const { return error == 0; }
};

namespace sys {

enum class Kind { Stream, Datagram };

// A non-blocking, close-on-exec socket; error number in *error on failure.
// An IPv6 socket is IPv6 only, so that binding it never takes an IPv4 port too.
SocketFd openSocket(Kind kind, int* error, bool ipv6 = false);
// Whether the socket is an IPv6 one.
bool isIpv6Socket(int fd);
int enableBroadcast(int fd);
// The buffer sizes the system gives the socket (receive, send); 0 when unknown.
int receiveBufferSize(int fd);
int sendBufferSize(int fd);
// The largest datagram a UDP socket can carry.
constexpr int kMaxDatagram = 65507;

int bindTo(int fd, const Endpoint& at);
int listenOn(int fd, int backlog);
// Starts a connection; 0, kWouldBlock-equivalent or an error number.
int startConnect(int fd, const Endpoint& to);
// The error a finished non-blocking connect left on the socket.
int pendingError(int fd);
SocketFd acceptFrom(int fd, Endpoint* peer, int* error);
int localEndpoint(int fd, Endpoint* out);
int peerEndpoint(int fd, Endpoint* out);

IoResult receive(int fd, char* into, std::size_t length, bool peek);
IoResult sendTo(int fd, const char* from, std::size_t length, const Endpoint* to);
// Size of the next waiting datagram (0 when none) for UDP; waiting bytes for TCP.
IoResult waitingBytes(int fd);
// Size of the next datagram, including an empty one; -1 in count when none waits.
IoResult nextDatagramSize(int fd);

// Dotted-quad parsing and formatting of addresses in network byte order.
bool parseDotted(const QString& text, std::uint32_t* address);
QString dotted(std::uint32_t address);

// A numeric address of either family: a dotted IPv4 text as parseDotted takes
// it, else an IPv6 text (brackets and a "%scope" suffix allowed). Sets only
// the address fields of *out; the port is left alone.
bool parseNumeric(const QString& text, Endpoint* out);
// The address in its usual text: dotted for IPv4, the compressed RFC 5952
// form for IPv6 (with "%scope" when it has one).
QString addressText(const Endpoint& endpoint);

}  // namespace sys
