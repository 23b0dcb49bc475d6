#pragma once
// An IPv4 address as the router help reads and compares it, and the address
// blocks that tell a home router's WAN side apart from the public internet.

#include <QString>

#include <compare>
#include <cstdint>
#include <optional>
#include <string_view>

namespace router {

struct Ipv4 {
  std::uint32_t value = 0;  // host byte order: 10.0.0.1 is 0x0A000001

  // A strict dotted quad ("203.0.113.7"): four decimal parts, no spaces, no
  // shorthand; anything else, including the unspecified 0.0.0.0 that some
  // routers send while they have no address, is no address.
  static std::optional<Ipv4> parse(std::string_view text);
  static std::optional<Ipv4> parse(const QString& text);

  QString text() const;

  // 100.64.0.0/10, the block providers use for their own NAT in front of
  // their customers' routers.
  bool isShared() const;
  // Blocks that only ever sit behind another NAT: RFC 1918, loopback,
  // link-local, "this network" and the IETF protocol block 192.0.0.0/24.
  // The documentation blocks are not among them: no real router has one
  // on its WAN side, so they stand for public addresses in test networks.
  bool isPrivate() const;

  friend auto operator<=>(const Ipv4&, const Ipv4&) = default;
};

}  // namespace router
