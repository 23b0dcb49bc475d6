#pragma once
// This computer's addresses, offered to the user as the address to listen
// on, and the field counts the window uses to keep typed text within bounds.
#include "net/interfaceaddresses.h"

#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>
#include <vector>

// The four bytes of an IPv4 address in memory (network) order as decimal
// numbers joined by ".": the bytes 192 168 1 20 give "192.168.1.20".
QString dottedAddress(const std::array<std::uint8_t, 4>& bytes);

// One usable local address and its position among all of the system's
// addresses, IPv4 ones first (kept with the chooser's item; nothing reads it back).
struct LocalAddress {
  QString text;
  int row = 0;

  friend bool operator==(const LocalAddress&, const LocalAddress&) = default;
};

// The result of asking the system for its addresses. `failed` is set only
// when the question itself could not be answered; a computer with nothing
// but the loopback address gives an empty list that did not fail.
struct LocalAddressQuery {
  std::vector<LocalAddress> addresses;
  bool failed = false;
};

// Every IPv4 address of every interface, in interface order, except the
// addresses that cannot receive forwarded traffic: the loopback block
// 127.0.0.0/8 and the unspecified 0.0.0.0. After them, in interface order,
// the global IPv6 addresses (never link-local, unique-local or loopback); a
// temporary privacy address carries kTemporaryMark after the address. There
// is no limit on their number.
LocalAddressQuery queryLocalAddresses();

// The same, with the system calls replaced (tests give a failing query).
LocalAddressQuery queryLocalAddresses(GetIfAddrsFunction getAddresses,
                                      FreeIfAddrsFunction freeAddresses);

// The usable addresses of an interface list as getifaddrs returns it.
std::vector<LocalAddress> usableAddresses(const ifaddrs* interfaces,
                                          const std::vector<Ipv6Bytes>& temporary = {});

// What follows a temporary IPv6 address in the chooser's text.
inline constexpr char16_t kTemporaryMark[] = u" (temporary)";
// The address a chooser text names: the text without a temporary mark.
QString addressOfChooserText(const QString& text);

// The list control the addresses go into: the main window's local IP chooser.
class AddressChooser {
 public:
  virtual ~AddressChooser() = default;
  virtual void AddItem(const QString& text, int itemData) = 0;
  virtual void setListIndex(int index) = 0;
};

// Adds every address of `query` to `chooser` and chooses the first (index 0,
// also on an empty list). Returns false, adding nothing, when the query
// failed; the caller then shows its "ERROR" box.
bool fillAddressList(AddressChooser& chooser, const LocalAddressQuery& query);

// 1 + the number of characters of `text` equal to `separator`. A separator
// that is not exactly one character never matches, so the count is then 1.
std::int32_t fieldCount(QStringView text, QStringView separator);

// fieldCount with an empty separator taken as a single space, held in a byte:
// counts above 255 read as 255.
std::uint8_t fieldCountWithDefault(QStringView text, QStringView separator);
