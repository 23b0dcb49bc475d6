#include "site/requester.h"

#include <gtest/gtest.h>

using site::findRequester;
using site::IpAddress;

namespace {
IpAddress ip(const char* text) { return *IpAddress::parse(text); }
}  // namespace

TEST(Requester, IsThePeerWithoutATrustedProxy) {
  const auto found = findRequester(ip("203.0.113.7"), {"198.51.100.1"}, std::nullopt);
  ASSERT_TRUE(found.address);
  EXPECT_EQ(found.address->text(), "203.0.113.7");
}

TEST(Requester, IgnoresForwardedForFromAnyoneButTheProxy) {
  const auto found = findRequester(ip("203.0.113.7"), {"198.51.100.1"}, ip("10.0.0.1"));
  EXPECT_EQ(found.address->text(), "203.0.113.7");
}

TEST(Requester, TakesOnlyTheEntryTheProxyAppended) {
  // The client wrote "192.0.2.66, 192.0.2.67"; the proxy appended the real peer.
  const auto found =
      findRequester(ip("10.0.0.1"), {"192.0.2.66", "192.0.2.67 , 203.0.113.9"}, ip("10.0.0.1"));
  ASSERT_TRUE(found.address);
  EXPECT_EQ(found.address->text(), "203.0.113.9");
  const auto v6 = findRequester(ip("10.0.0.1"), {"[2001:db8::5]"}, ip("10.0.0.1"));
  ASSERT_TRUE(v6.address);
  EXPECT_EQ(v6.address->text(), "2001:db8::5");
}

TEST(Requester, RefusesAProxyRequestWithoutAUsableEntry) {
  EXPECT_FALSE(findRequester(ip("10.0.0.1"), {}, ip("10.0.0.1")).address);
  EXPECT_FALSE(findRequester(ip("10.0.0.1"), {"203.0.113.9, example.com"}, ip("10.0.0.1")).address);
  EXPECT_FALSE(findRequester(ip("10.0.0.1"), {"203.0.113.9,"}, ip("10.0.0.1")).address);
  // Only a whole address that names one host: nothing after a NUL, no
  // unspecified, multicast or broadcast address.
  for (const std::string& entry :
       {std::string("203.0.113.9\0junk", 16), std::string("0.0.0.0"), std::string("0.1.2.3"),
        std::string("::"), std::string("::ffff:0.0.0.0"), std::string("224.0.0.1"),
        std::string("239.255.255.250"), std::string("255.255.255.255"), std::string("[ff02::1]")}) {
    const auto found = findRequester(ip("10.0.0.1"), {entry}, ip("10.0.0.1"));
    EXPECT_FALSE(found.address) << entry.c_str();
    EXPECT_FALSE(found.problem.empty());
  }
  EXPECT_TRUE(findRequester(ip("10.0.0.1"), {"223.255.255.254"}, ip("10.0.0.1")).address);
}

TEST(IpAddressText, NormalisesMappedAddressesAndGroupsIpv6ByNetwork) {
  EXPECT_EQ(ip("::ffff:192.0.2.1").text(), "192.0.2.1");
  EXPECT_TRUE(ip("::ffff:192.0.2.1").isV4());
  EXPECT_EQ(ip("2001:DB8:0:0:1::1").text(), "2001:db8::1:0:0:1");
  EXPECT_EQ(ip("2001:db8:1:2:aaaa::1").visitorKey(), ip("2001:db8:1:2:bbbb::9").visitorKey());
  EXPECT_NE(ip("2001:db8:1:2::1").visitorKey(), ip("2001:db8:1:3::1").visitorKey());
  EXPECT_FALSE(IpAddress::parse("localhost"));
  EXPECT_FALSE(IpAddress::parse("1.2.3"));
  EXPECT_FALSE(IpAddress::parse(""));
  EXPECT_FALSE(IpAddress::parse(std::string_view("192.0.2.1\0", 10)));
}
