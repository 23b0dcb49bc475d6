// A tiny STUN binding responder for the router lab: it answers every binding
// request with the address and port the request came from.
//
// Why the lab needs it: the router daemon refuses to forward while its WAN
// address lies in a reserved range (the documentation ranges and 100.64.0.0/10
// that the lab must use) unless it learns, through STUN, the address the
// outside sees and that nothing between filters incoming traffic. Standing
// right next to the router's WAN side, this responder sees the router's own
// address, which is exactly what a real STUN server would report for a router
// with a public address.
//
// Usage: StunResponder ADDRESS PORT   (runs until SIGTERM or SIGINT)

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint16_t kBindingRequest = 0x0001;
constexpr std::uint16_t kBindingSuccess = 0x0101;
constexpr std::uint32_t kMagicCookie = 0x2112A442;
constexpr std::uint16_t kMappedAddress = 0x0001;
constexpr std::uint16_t kXorMappedAddress = 0x0020;
constexpr std::uint8_t kFamilyIpv4 = 0x01;
constexpr std::size_t kHeaderSize = 20;            // type, length, cookie, 12-byte transaction id
constexpr std::size_t kAddressAttributeSize = 12;  // 4 header + 8 value

volatile std::sig_atomic_t g_stop = 0;  // set by the signal handler only
void onSignal(int) { g_stop = 1; }

std::uint16_t read16(const unsigned char* at) {
  return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}
std::uint32_t read32(const unsigned char* at) {
  return std::uint32_t{at[0]} << 24 | std::uint32_t{at[1]} << 16 | std::uint32_t{at[2]} << 8 |
         at[3];
}
void write16(unsigned char* at, std::uint16_t value) {
  at[0] = static_cast<unsigned char>(value >> 8);
  at[1] = static_cast<unsigned char>(value);
}
void write32(unsigned char* at, std::uint32_t value) {
  write16(at, static_cast<std::uint16_t>(value >> 16));
  write16(at + 2, static_cast<std::uint16_t>(value));
}

// One address attribute; the XOR form hides the address from NATs that rewrite
// addresses they find in payloads, the plain form serves older clients.
unsigned char* putAddress(unsigned char* at, std::uint16_t type, std::uint16_t port,
                          std::uint32_t address) {
  write16(at, type);
  write16(at + 2, 8);
  at[4] = 0;
  at[5] = kFamilyIpv4;
  write16(at + 6, port);
  write32(at + 8, address);
  return at + kAddressAttributeSize;
}

// The answer to a binding request, or 0 when `request` is not one.
std::size_t answer(const unsigned char* request, std::size_t length, const sockaddr_in& from,
                   std::array<unsigned char, 64>& reply) {
  if (length < kHeaderSize || read16(request) != kBindingRequest ||
      read32(request + 4) != kMagicCookie)
    return 0;
  std::memcpy(reply.data(), request, kHeaderSize);
  write16(reply.data(), kBindingSuccess);
  write16(reply.data() + 2, 2 * kAddressAttributeSize);
  const std::uint16_t port = ntohs(from.sin_port);
  const std::uint32_t address = ntohl(from.sin_addr.s_addr);
  unsigned char* at = putAddress(reply.data() + kHeaderSize, kMappedAddress, port, address);
  putAddress(at, kXorMappedAddress, port ^ static_cast<std::uint16_t>(kMagicCookie >> 16),
             address ^ kMagicCookie);
  return kHeaderSize + 2 * kAddressAttributeSize;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s ADDRESS PORT\n", argv[0]);
    return 2;
  }
  sockaddr_in self{};
  self.sin_family = AF_INET;
  self.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[2])));
  if (inet_pton(AF_INET, argv[1], &self.sin_addr) != 1) {
    std::fprintf(stderr, "stun: bad address %s\n", argv[1]);
    return 2;
  }
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&self), sizeof self) != 0) {
    std::fprintf(stderr, "stun: cannot serve %s:%s: %s\n", argv[1], argv[2], std::strerror(errno));
    return 1;
  }
  std::signal(SIGTERM, onSignal);
  std::signal(SIGINT, onSignal);
  std::array<unsigned char, 1500> request{};
  std::array<unsigned char, 64> reply{};
  while (!g_stop) {
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, 200) <= 0) continue;  // short wakes so a signal is seen
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t got = recvfrom(fd, request.data(), request.size(), 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (got <= 0) continue;
    if (const std::size_t size = answer(request.data(), static_cast<std::size_t>(got), from, reply))
      sendto(fd, reply.data(), size, 0, reinterpret_cast<const sockaddr*>(&from), fromLength);
  }
  close(fd);
  return 0;
}
