#include "site/ip_address.h"

#include <arpa/inet.h>

#include <cstring>

namespace site {

namespace {

bool isV4Mapped(const in6_addr& a) {
  static const unsigned char prefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  return std::memcmp(a.s6_addr, prefix, sizeof prefix) == 0;
}

std::string v4Text(const in_addr& a) {
  char buffer[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &a, buffer, sizeof buffer);
  return buffer;
}

std::string v6Text(const in6_addr& a) {
  char buffer[INET6_ADDRSTRLEN] = {};
  inet_ntop(AF_INET6, &a, buffer, sizeof buffer);
  return buffer;
}

}  // namespace

std::optional<IpAddress> IpAddress::parse(std::string_view text) {
  // inet_pton needs a terminated string; anything longer than an IPv6 text is not one.
  if (text.empty() || text.size() >= INET6_ADDRSTRLEN || text.find('\0') != std::string_view::npos)
    return std::nullopt;
  const std::string terminated(text);
  IpAddress result;
  if (inet_pton(AF_INET, terminated.c_str(), &result.m_v4) == 1) {
    result.m_family = AF_INET;
    result.m_text = v4Text(result.m_v4);
    return result;
  }
  in6_addr v6{};
  if (inet_pton(AF_INET6, terminated.c_str(), &v6) != 1) return std::nullopt;
  sockaddr_in6 holder{};
  holder.sin6_family = AF_INET6;
  holder.sin6_addr = v6;
  return fromSockaddr(reinterpret_cast<const sockaddr*>(&holder), sizeof holder);
}

std::optional<IpAddress> IpAddress::fromSockaddr(const sockaddr* address, socklen_t length) {
  IpAddress result;
  if (address->sa_family == AF_INET && length >= socklen_t(sizeof(sockaddr_in))) {
    sockaddr_in v4{};
    std::memcpy(&v4, address, sizeof v4);
    result.m_family = AF_INET;
    result.m_v4 = v4.sin_addr;
    result.m_text = v4Text(result.m_v4);
    return result;
  }
  if (address->sa_family == AF_INET6 && length >= socklen_t(sizeof(sockaddr_in6))) {
    sockaddr_in6 v6{};
    std::memcpy(&v6, address, sizeof v6);
    if (isV4Mapped(v6.sin6_addr)) {
      result.m_family = AF_INET;
      std::memcpy(&result.m_v4, v6.sin6_addr.s6_addr + 12, 4);
      result.m_text = v4Text(result.m_v4);
    } else {
      result.m_family = AF_INET6;
      result.m_v6 = v6.sin6_addr;
      result.m_text = v6Text(result.m_v6);
    }
    return result;
  }
  return std::nullopt;
}

std::string IpAddress::visitorKey() const {
  if (isV4()) return m_text;
  in6_addr network = m_v6;
  std::memset(network.s6_addr + 8, 0, 8);
  return v6Text(network) + "/64";
}

bool IpAddress::isUnicast() const {
  if (isV4()) {
    const std::uint32_t host = ntohl(m_v4.s_addr);
    return (host >> 24) != 0 && (host >> 28) != 0xe && host != 0xffffffffu;
  }
  return !IN6_IS_ADDR_UNSPECIFIED(&m_v6) && !IN6_IS_ADDR_MULTICAST(&m_v6);
}

socklen_t IpAddress::toSockaddr(std::uint16_t port, sockaddr_storage& out) const {
  std::memset(&out, 0, sizeof out);
  if (isV4()) {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&out);
    v4->sin_family = AF_INET;
    v4->sin_port = htons(port);
    v4->sin_addr = m_v4;
    return sizeof(sockaddr_in);
  }
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&out);
  v6->sin6_family = AF_INET6;
  v6->sin6_port = htons(port);
  v6->sin6_addr = m_v6;
  return sizeof(sockaddr_in6);
}

}  // namespace site
