#include "net/modgetip.h"

#include <ifaddrs.h>

QString dottedAddress(const std::array<std::uint8_t, 4>& bytes) {
  return QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
}

namespace {

std::vector<LocalAddress> usableAddresses(const std::vector<InterfaceAddress>& all) {
  std::vector<LocalAddress> addresses;
  int row = 0;
  for (const InterfaceAddress& entry : all) {
    if (entry.address.ipv6) continue;
    if (reachableFromOutside(entry.address))
      addresses.push_back({sys::addressText(entry.address), row});
    ++row;
  }
  // IPv6 after every IPv4 address, so that the first choice stays what it was.
  for (const InterfaceAddress& entry : all) {
    if (!entry.address.ipv6) continue;
    if (reachableFromOutside(entry.address)) {
      QString text = sys::addressText(entry.address);
      if (entry.temporary) text += QString::fromUtf16(kTemporaryMark);
      addresses.push_back({text, row});
    }
    ++row;
  }
  return addresses;
}

}  // namespace

std::vector<LocalAddress> usableAddresses(const ifaddrs* interfaces,
                                          const std::vector<Ipv6Bytes>& temporary) {
  return usableAddresses(addressesOf(interfaces, temporary));
}

LocalAddressQuery queryLocalAddresses(GetIfAddrsFunction getAddresses,
                                      FreeIfAddrsFunction freeAddresses) {
  LocalAddressQuery query;
  const std::optional<std::vector<InterfaceAddress>> all =
      interfaceAddresses(getAddresses, freeAddresses);
  if (!all) {
    query.failed = true;
    return query;
  }
  query.addresses = usableAddresses(*all);
  return query;
}

LocalAddressQuery queryLocalAddresses() {
  return queryLocalAddresses(&::getifaddrs, &::freeifaddrs);
}

QString addressOfChooserText(const QString& text) {
  const QString mark = QString::fromUtf16(kTemporaryMark);
  return text.endsWith(mark) ? text.chopped(mark.size()) : text;
}

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
