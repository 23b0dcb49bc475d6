#include "router/ipv4.h"

#include <arpa/inet.h>

#include <string>

namespace router {
namespace {

struct Block {
  std::uint32_t base;
  int prefixLength;
  bool contains(std::uint32_t address) const {
    const std::uint32_t mask = prefixLength == 0 ? 0 : ~std::uint32_t{0} << (32 - prefixLength);
    return (address & mask) == base;
  }
};

constexpr Block kShared{0x64400000, 10};  // 100.64.0.0/10
constexpr Block kPrivateBlocks[] = {
    {0x00000000, 8},   // 0.0.0.0/8 "this network"
    {0x0A000000, 8},   // 10.0.0.0/8
    {0x7F000000, 8},   // 127.0.0.0/8
    {0xA9FE0000, 16},  // 169.254.0.0/16 link-local
    {0xAC100000, 12},  // 172.16.0.0/12
    {0xC0000000, 24},  // 192.0.0.0/24 IETF protocol assignments
    {0xC0A80000, 16},  // 192.168.0.0/16
};

}  // namespace

std::optional<Ipv4> Ipv4::parse(std::string_view text) {
  // inet_pton accepts exactly the strict form; it needs a terminated string.
  if (text.empty() || text.size() > 15 || text.find('\0') != std::string_view::npos)
    return std::nullopt;
  const std::string terminated(text);
  in_addr parsed{};
  if (inet_pton(AF_INET, terminated.c_str(), &parsed) != 1 || parsed.s_addr == 0)
    return std::nullopt;
  return Ipv4{ntohl(parsed.s_addr)};
}

std::optional<Ipv4> Ipv4::parse(const QString& text) {
  const QByteArray latin = text.toLatin1();
  return parse(std::string_view(latin.constData(), static_cast<std::size_t>(latin.size())));
}

QString Ipv4::text() const {
  return QStringLiteral("%1.%2.%3.%4")
      .arg(value >> 24)
      .arg((value >> 16) & 0xFF)
      .arg((value >> 8) & 0xFF)
      .arg(value & 0xFF);
}

bool Ipv4::isShared() const { return kShared.contains(value); }

bool Ipv4::isPrivate() const {
  for (const Block& block : kPrivateBlocks)
    if (block.contains(value)) return true;
  return false;
}

}  // namespace router
