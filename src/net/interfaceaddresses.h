#pragma once
// One walk over this computer's interface addresses, and the one rule for
// which of them a peer outside could reach. The address chooser and the
// socket object's "first address" both read them from here.

#include "net/socketfd.h"

#include <QByteArrayView>

#include <array>
#include <optional>
#include <vector>

struct ifaddrs;

struct InterfaceAddress {
  Endpoint address;  // port 0
  // An IPv6 privacy address, which the system replaces every day or so.
  bool temporary = false;

  friend bool operator==(const InterfaceAddress& a, const InterfaceAddress& b) {
    return a.address.sameAddress(b.address) && a.temporary == b.temporary;
  }
};

using Ipv6Bytes = std::array<std::uint8_t, 16>;

// Every IPv4 and IPv6 address of every interface, in the order getifaddrs
// gives them; `temporary` lists the IPv6 addresses to mark as temporary.
std::vector<InterfaceAddress> addressesOf(const ifaddrs* interfaces,
                                          const std::vector<Ipv6Bytes>& temporary = {});

// The same for this computer; nothing when the system could not say.
using GetIfAddrsFunction = int (*)(ifaddrs**);
using FreeIfAddrsFunction = void (*)(ifaddrs*);
std::optional<std::vector<InterfaceAddress>> interfaceAddresses(GetIfAddrsFunction getAddresses,
                                                                FreeIfAddrsFunction freeAddresses);
std::optional<std::vector<InterfaceAddress>> interfaceAddresses();

// The IPv6 addresses that the kernel's address table (/proc/net/if_inet6:
// 32 hex digits, index, prefix length, scope, flags and name on each line)
// flags as temporary. Lines that do not have that shape are skipped.
std::vector<Ipv6Bytes> temporaryIpv6Addresses(QByteArrayView table);

// 127.0.0.0/8 and ::1.
bool isLoopback(const Endpoint& address);
// Whether traffic from outside could be forwarded to it: IPv4 other than
// loopback and 0.0.0.0; IPv6 of global scope only (not loopback, link-local,
// unique-local, site-local, multicast, unspecified or IPv4-mapped).
bool reachableFromOutside(const Endpoint& address);
