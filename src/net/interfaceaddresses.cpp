#include "net/interfaceaddresses.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <ifaddrs.h>
#include <netinet/in.h>

namespace {

// The kernel's flag for a privacy address (IFA_F_TEMPORARY in linux/if_addr.h).
constexpr unsigned kTemporaryFlag = 0x01;
constexpr int kHexDigitsOfAddress = 32;
constexpr qint64 kLongestAddressTable = 1 << 20;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<Ipv6Bytes> hexAddress(QByteArrayView field) {
  if (field.size() != kHexDigitsOfAddress) return std::nullopt;
  Ipv6Bytes bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int high = hexValue(field[static_cast<qsizetype>(2 * i)]);
    const int low = hexValue(field[static_cast<qsizetype>(2 * i + 1)]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return bytes;
}

std::vector<QByteArrayView> fieldsOf(QByteArrayView line) {
  std::vector<QByteArrayView> fields;
  qsizetype start = -1;
  for (qsizetype i = 0; i <= line.size(); ++i) {
    const bool blank = i == line.size() || line[i] == ' ' || line[i] == '\t';
    if (!blank && start < 0) start = i;
    if (blank && start >= 0) {
      fields.push_back(line.sliced(start, i - start));
      start = -1;
    }
  }
  return fields;
}

std::vector<Ipv6Bytes> temporaryAddressesOfThisComputer() {
  QFile table(QStringLiteral("/proc/net/if_inet6"));
  if (!table.open(QIODevice::ReadOnly)) return {};
  return temporaryIpv6Addresses(table.read(kLongestAddressTable));
}

}  // namespace

std::vector<InterfaceAddress> addressesOf(const ifaddrs* interfaces,
                                          const std::vector<Ipv6Bytes>& temporary) {
  std::vector<InterfaceAddress> addresses;
  for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr) continue;
    InterfaceAddress found;
    if (entry->ifa_addr->sa_family == AF_INET) {
      sockaddr_in address{};
      std::memcpy(&address, entry->ifa_addr, sizeof address);
      found.address.address = address.sin_addr.s_addr;
    } else if (entry->ifa_addr->sa_family == AF_INET6) {
      sockaddr_in6 address{};
      std::memcpy(&address, entry->ifa_addr, sizeof address);
      found.address.ipv6 = true;
      std::memcpy(found.address.address6.data(), address.sin6_addr.s6_addr,
                  found.address.address6.size());
      found.address.scopeId = address.sin6_scope_id;
      found.temporary =
          std::find(temporary.begin(), temporary.end(), found.address.address6) != temporary.end();
    } else {
      continue;
    }
    addresses.push_back(found);
  }
  return addresses;
}

std::optional<std::vector<InterfaceAddress>> interfaceAddresses(GetIfAddrsFunction getAddresses,
                                                                FreeIfAddrsFunction freeAddresses) {
  ifaddrs* interfaces = nullptr;
  if (getAddresses(&interfaces) != 0) return std::nullopt;
  std::vector<InterfaceAddress> addresses =
      addressesOf(interfaces, temporaryAddressesOfThisComputer());
  if (interfaces != nullptr) freeAddresses(interfaces);
  return addresses;
}

std::optional<std::vector<InterfaceAddress>> interfaceAddresses() {
  return interfaceAddresses(&::getifaddrs, &::freeifaddrs);
}

std::vector<Ipv6Bytes> temporaryIpv6Addresses(QByteArrayView table) {
  std::vector<Ipv6Bytes> temporary;
  while (!table.isEmpty()) {
    const qsizetype end = table.indexOf('\n');
    const QByteArrayView line = end < 0 ? table : table.first(end);
    table = end < 0 ? QByteArrayView() : table.sliced(end + 1);
    const std::vector<QByteArrayView> fields = fieldsOf(line);
    if (fields.size() < 6) continue;
    const std::optional<Ipv6Bytes> address = hexAddress(fields[0]);
    bool isNumber = false;
    const unsigned flags = fields[4].toByteArray().toUInt(&isNumber, 16);
    if (address && isNumber && (flags & kTemporaryFlag) != 0) temporary.push_back(*address);
  }
  return temporary;
}

bool isLoopback(const Endpoint& address) {
  if (!address.ipv6) return (ntohl(address.address) >> 24) == 127;
  static constexpr Ipv6Bytes kLoopback6{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  return address.address6 == kLoopback6;
}

bool reachableFromOutside(const Endpoint& address) {
  if (!address.ipv6) return !isLoopback(address) && address.address != 0;
  const Ipv6Bytes& b = address.address6;
  // Global unicast is 2000::/3 today; everything else is local or special
  // (fe80::/10 link-local, fc00::/7 unique-local, ff00::/8 multicast, and
  // the ::/8 block with loopback, unspecified and IPv4-mapped addresses).
  return (b[0] & 0xE0) == 0x20;
}
