#include "net/modgetip.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <deque>

namespace {

// A hand-made interface list in the shape getifaddrs returns.
class FakeInterfaces {
 public:
  void addIPv4(const char* name, const char* dotted) {
    sockaddr_storage& storage = m_addresses.emplace_back();
    auto* address = reinterpret_cast<sockaddr_in*>(&storage);
    address->sin_family = AF_INET;
    ::inet_pton(AF_INET, dotted, &address->sin_addr);
    append(name, reinterpret_cast<sockaddr*>(&storage));
  }
  void addIPv6(const char* name, const char* text) {
    sockaddr_storage& storage = m_addresses.emplace_back();
    auto* address = reinterpret_cast<sockaddr_in6*>(&storage);
    address->sin6_family = AF_INET6;
    ::inet_pton(AF_INET6, text, &address->sin6_addr);
    append(name, reinterpret_cast<sockaddr*>(&storage));
  }
  void addWithoutAddress(const char* name) { append(name, nullptr); }
  const ifaddrs* list() const { return m_nodes.empty() ? nullptr : &m_nodes.front(); }

 private:
  void append(const char* name, sockaddr* address) {
    ifaddrs& node = m_nodes.emplace_back();
    node.ifa_name = const_cast<char*>(name);
    node.ifa_addr = address;
    if (m_nodes.size() > 1) m_nodes[m_nodes.size() - 2].ifa_next = &node;
  }
  // deques keep their elements in place as they grow, so the links stay valid.
  std::deque<ifaddrs> m_nodes;
  std::deque<sockaddr_storage> m_addresses;
};

class RecordingChooser : public AddressChooser {
 public:
  void AddItem(const QString& text, int itemData) override { items.push_back({text, itemData}); }
  void setListIndex(int index) override { listIndex = index; }

  std::vector<LocalAddress> items;
  int listIndex = -1;
};

QStringList texts(const std::vector<LocalAddress>& addresses) {
  QStringList list;
  for (const LocalAddress& address : addresses) list << address.text;
  return list;
}

// The IPv4 addresses `ip -4 addr` shows, in its order, loopback excluded.
QStringList addressesShownByIpCommand(bool& available) {
  const QString ip =
      QStandardPaths::findExecutable("ip", {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
  available = !ip.isEmpty();
  if (!available) return {};
  QProcess process;
  process.start(ip, {"-4", "-o", "addr", "show"});
  available = process.waitForFinished(30000) && process.exitCode() == 0;
  if (!available) return {};
  QStringList addresses;
  static const QRegularExpression inet(QStringLiteral("\\binet (\\d+\\.\\d+\\.\\d+\\.\\d+)"));
  for (const QString& line : QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n')) {
    const QRegularExpressionMatch match = inet.match(line);
    if (!match.hasMatch()) continue;
    const QString address = match.captured(1);
    if (!address.startsWith("127.")) addresses << address;
  }
  return addresses;
}

TEST(LocalAddressList, MatchesWhatTheIpCommandShowsWithoutLoopback) {
  bool available = false;
  const QStringList expected = addressesShownByIpCommand(available);
  if (!available) GTEST_SKIP() << "the ip command is not available";
  const LocalAddressQuery query = queryLocalAddresses();
  ASSERT_FALSE(query.failed);
  QStringList ipv4;
  for (const QString& text : texts(query.addresses)) {
    if (!text.contains(QLatin1Char(':'))) ipv4 << text;
  }
  EXPECT_EQ(ipv4, expected);
}

TEST(LocalAddressList, SkipsLoopbackUnspecifiedAndOtherFamilies) {
  FakeInterfaces interfaces;
  interfaces.addWithoutAddress("lo");
  interfaces.addIPv4("lo", "127.0.0.1");
  interfaces.addIPv4("lo", "127.0.1.1");
  interfaces.addIPv4("eth0", "192.168.1.20");
  interfaces.addIPv6("eth0", "fe80::1");
  interfaces.addIPv4("dummy0", "0.0.0.0");
  interfaces.addIPv4("wlan0", "10.0.0.7");
  EXPECT_EQ(usableAddresses(interfaces.list()),
            (std::vector<LocalAddress>{{"192.168.1.20", 2}, {"10.0.0.7", 4}}));
}

TEST(LocalAddressList, GlobalIpv6FollowsTheIpv4AddressesAndTemporaryOnesAreMarked) {
  FakeInterfaces interfaces;
  interfaces.addIPv6("lo", "::1");
  interfaces.addIPv6("eth0", "2001:db8:1::20");
  interfaces.addIPv4("eth0", "192.168.1.20");
  interfaces.addIPv6("eth0", "fe80::1");
  interfaces.addIPv6("eth0", "fd00::5");
  interfaces.addIPv6("eth0", "2001:db8:1::abcd");
  interfaces.addIPv4("wlan0", "10.0.0.7");
  // The kernel's address table: flags 0x80 permanent, 0x01 temporary; the last line is not one.
  const std::vector<Ipv6Bytes> temporary = temporaryIpv6Addresses(
      "20010db8000100000000000000000020 02 40 00 80     eth0\n"
      "20010db800010000000000000000abcd 02 40 00 01     eth0\n"
      "20010db80001000000000000000000zz 02 40 00 01     eth0\n");
  const std::vector<LocalAddress> addresses = usableAddresses(interfaces.list(), temporary);
  EXPECT_EQ(texts(addresses), (QStringList{"192.168.1.20", "10.0.0.7", "2001:db8:1::20",
                                           "2001:db8:1::abcd (temporary)"}));
  EXPECT_EQ(addressOfChooserText(addresses.back().text), QString("2001:db8:1::abcd"));
  EXPECT_EQ(addressOfChooserText("10.0.0.7"), QString("10.0.0.7"));
}

TEST(LocalAddressList, ListsEveryAddressHoweverMany) {
  FakeInterfaces interfaces;
  interfaces.addIPv4("lo", "127.0.0.1");
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) names.push_back("veth" + std::to_string(i));
  for (int i = 0; i < 12; ++i) {
    interfaces.addIPv4(names[static_cast<size_t>(i)].c_str(),
                       ("172.17.0." + std::to_string(i + 1)).c_str());
  }
  const std::vector<LocalAddress> addresses = usableAddresses(interfaces.list());
  ASSERT_EQ(addresses.size(), 12u);
  EXPECT_EQ(addresses.front().text, QString("172.17.0.1"));
  EXPECT_EQ(addresses.back().text, QString("172.17.0.12"));
}

TEST(LocalAddressList, OnlyLoopbackGivesAnEmptyChooserWithIndexZero) {
  FakeInterfaces interfaces;
  interfaces.addIPv4("lo", "127.0.0.1");
  LocalAddressQuery query;
  query.addresses = usableAddresses(interfaces.list());
  RecordingChooser chooser;
  EXPECT_TRUE(fillAddressList(chooser, query));
  EXPECT_TRUE(chooser.items.empty());
  EXPECT_EQ(chooser.listIndex, 0);
}

TEST(LocalAddressList, FillsTheChooserInOrderAndChoosesTheFirst) {
  LocalAddressQuery query;
  query.addresses = {{"192.168.1.20", 1}, {"10.8.0.2", 3}};
  RecordingChooser chooser;
  EXPECT_TRUE(fillAddressList(chooser, query));
  EXPECT_EQ(chooser.items, query.addresses);
  EXPECT_EQ(chooser.listIndex, 0);
}

int failingQuery(ifaddrs** result) {
  *result = nullptr;
  return -1;
}

void neverCalled(ifaddrs*) { ADD_FAILURE() << "nothing to free after a failed query"; }

TEST(LocalAddressList, FailedSystemQueryIsReportedAndAddsNothing) {
  const LocalAddressQuery query = queryLocalAddresses(&failingQuery, &neverCalled);
  EXPECT_TRUE(query.failed);
  EXPECT_TRUE(query.addresses.empty());
  RecordingChooser chooser;
  EXPECT_FALSE(fillAddressList(chooser, query));
  EXPECT_TRUE(chooser.items.empty());
  EXPECT_EQ(chooser.listIndex, -1);
}

TEST(DottedAddress, WritesTheBytesInMemoryOrder) {
  EXPECT_EQ(dottedAddress({192, 168, 1, 20}), QString("192.168.1.20"));
  EXPECT_EQ(dottedAddress({0, 0, 0, 0}), QString("0.0.0.0"));
  EXPECT_EQ(dottedAddress({255, 255, 255, 255}), QString("255.255.255.255"));
}

TEST(FieldCount, CountsOneMoreThanTheSeparators) {
  EXPECT_EQ(fieldCount(u"192.168.1.20", u"."), 4);
  EXPECT_EQ(fieldCount(u"", u"."), 1);
  EXPECT_EQ(fieldCount(u"...", u"."), 4);
  EXPECT_EQ(fieldCount(u"1.2", u"x"), 1);
}

TEST(FieldCount, SeparatorOfSeveralCharactersNeverMatches) {
  EXPECT_EQ(fieldCount(u"a..b..c", u".."), 1);
  EXPECT_EQ(fieldCount(u"a b", u""), 1);
}

TEST(FieldCount, DefaultSeparatorIsASpaceAndTheCountFitsAByte) {
  EXPECT_EQ(fieldCountWithDefault(u"a b", u""), 2);
  EXPECT_EQ(fieldCountWithDefault(u"a.b.c", u"."), 3);
  const QString manySpaces(400, QChar(u' '));
  EXPECT_EQ(fieldCountWithDefault(manySpaces, u""), 255);
  EXPECT_EQ(fieldCountWithDefault(QString(254, QChar(u' ')), u""), 255);
}

}  // namespace
