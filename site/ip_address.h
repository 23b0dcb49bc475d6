#pragma once
// Numeric IPv4 and IPv6 addresses as the site meets them: peers of accepted
// connections, entries of a forwarded-for header, and command-line options.

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace site {

class IpAddress {
 public:
  // Numeric text only (no names are ever looked up), and all of the text: an
  // address followed by a NUL and more is not an address. An IPv4 address written
  // as an IPv4-mapped IPv6 address ("::ffff:192.0.2.1") is taken as IPv4, so
  // one visitor has one address whatever socket family served them.
  static std::optional<IpAddress> parse(std::string_view text);
  static std::optional<IpAddress> fromSockaddr(const sockaddr* address, socklen_t length);

  int family() const { return m_family; }
  bool isV4() const { return m_family == AF_INET; }
  // Canonical text: dotted quad, or RFC 5952 IPv6.
  const std::string& text() const { return m_text; }
  // The key under which visitors are counted: the address itself for IPv4,
  // the /64 network for IPv6, because one home line holds a whole /64.
  std::string visitorKey() const;
  // False for what can never name one host: the unspecified address (and the
  // rest of 0.0.0.0/8, "this network"), multicast, and the IPv4 broadcast.
  bool isUnicast() const;
  // A socket address for this address and the given port.
  socklen_t toSockaddr(std::uint16_t port, sockaddr_storage& out) const;

  bool operator==(const IpAddress& other) const { return m_text == other.m_text; }

 private:
  int m_family = AF_INET;
  in_addr m_v4{};
  in6_addr m_v6{};
  std::string m_text;
};

}  // namespace site
