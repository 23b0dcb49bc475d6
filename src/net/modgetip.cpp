#include "net/modgetip.h"

#include <cstring>
#include <ifaddrs.h>
#include <netinet/in.h>

namespace {

std::array<std::uint8_t, 4> addressBytes(const sockaddr_in& address) {
  std::array<std::uint8_t, 4> bytes{};
  static_assert(sizeof(address.sin_addr.s_addr) == bytes.size());
  std::memcpy(bytes.data(), &address.sin_addr.s_addr, bytes.size());
  return bytes;
}

// Loopback addresses and the unspecified address are never reached from outside.
bool usable(const std::array<std::uint8_t, 4>& bytes) {
  const bool unspecified = bytes == std::array<std::uint8_t, 4>{0, 0, 0, 0};
  const bool loopback = bytes[0] == 127;
  return !unspecified && !loopback;
}

}  // namespace

QString dottedAddress(const std::array<std::uint8_t, 4>& bytes) {
  return QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
}

std::vector<LocalAddress> usableAddresses(const ifaddrs* interfaces) {
  std::vector<LocalAddress> addresses;
  int row = 0;
  for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    sockaddr_in address{};
    std::memcpy(&address, entry->ifa_addr, sizeof(address));
    const std::array<std::uint8_t, 4> bytes = addressBytes(address);
    if (usable(bytes)) addresses.push_back({dottedAddress(bytes), row});
    ++row;
  }
  return addresses;
}

LocalAddressQuery queryLocalAddresses(GetIfAddrsFunction getAddresses, FreeIfAddrsFunction freeAddresses) {
  LocalAddressQuery query;
  ifaddrs* interfaces = nullptr;
  if (getAddresses(&interfaces) != 0) {
    query.failed = true;
    return query;
  }
  query.addresses = usableAddresses(interfaces);
  if (interfaces != nullptr) freeAddresses(interfaces);
  return query;
}

LocalAddressQuery queryLocalAddresses() { return queryLocalAddresses(&::getifaddrs, &::freeifaddrs); }

bool fillAddressList(AddressChooser& chooser, const LocalAddressQuery& query) {
  if (query.failed) return false;
  for (const LocalAddress& address : query.addresses) chooser.AddItem(address.text, address.row);
  chooser.setListIndex(0);
  return true;
}

std::int32_t fieldCount(QStringView text, QStringView separator) {
  std::int32_t count = 1;
  if (separator.size() != 1) return count;
  const QChar wanted = separator.front();
  for (const QChar c : text) {
    if (c == wanted) ++count;
  }
  return count;
}

std::uint8_t fieldCountWithDefault(QStringView text, QStringView separator) {
  const std::int32_t count = fieldCount(text, separator.isEmpty() ? QStringView(u" ") : separator);
  return static_cast<std::uint8_t>(count > 255 ? 255 : count);
}
