#include "router/routeranswers.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using router::Failure;
using router::Ipv4;

TEST(RouterAnswerAddress, OnlyAStrictDottedQuadIsAnAddress) {
  EXPECT_EQ(Ipv4::parse(std::string_view("203.0.113.7"))->text(), "203.0.113.7");
  for (std::string_view bad : {"", "1.2.3", "1.2.3.4 ", " 1.2.3.4", "01.2.3.4", "1.2.3.256",
                               "0x1.2.3.4", "1.2.3.4.5", "0.0.0.0", "::ffff:1.2.3.4", "1.2.3.4/24"})
    EXPECT_FALSE(Ipv4::parse(bad)) << bad;
  EXPECT_FALSE(Ipv4::parse(std::string_view("1.2.3.4\0junk", 12)));
}

TEST(RouterAnswerFields, UnterminatedBufferIsReadToItsEndOnly) {
  const std::array<char, 6> full{'6', '5', '5', '3', '5', '9'};
  EXPECT_EQ(router::fieldText(full.data(), full.size()), "655359");
  const std::array<char, 6> terminated{'8', '0', '\0', '9', '9', '9'};
  EXPECT_EQ(router::fieldText(terminated.data(), terminated.size()), "80");
}

TEST(RouterAnswerEntry, ReadsAWholeEntryAndDropsControlCharacters) {
  const auto rule = router::readUpnpEntry(
      8080, router::Transport::Udp, {"192.168.1.20", "8081", "game\x01\n server", "1", "3600"});
  ASSERT_TRUE(rule);
  EXPECT_EQ(rule->internalClient.text(), "192.168.1.20");
  EXPECT_EQ(rule->internalPort, 8081);
  EXPECT_EQ(rule->externalPort, 8080);
  EXPECT_EQ(rule->description, "game server");
  EXPECT_EQ(rule->leaseSeconds, 3600);
  EXPECT_TRUE(rule->enabled);
  // Left-out lease and flag: permanent and enabled.
  const auto sparse =
      router::readUpnpEntry(1, router::Transport::Tcp, {"10.0.0.2", "1", "", "", ""});
  ASSERT_TRUE(sparse);
  EXPECT_EQ(sparse->leaseSeconds, 0);
  EXPECT_TRUE(sparse->enabled);
  EXPECT_FALSE(
      router::readUpnpEntry(1, router::Transport::Tcp, {"10.0.0.2", "1", "", "0", ""})->enabled);
}

TEST(RouterAnswerEntry, AnyUnreadableFieldMakesTheEntryUnreadable) {
  for (std::string_view port : {"0", "65536", "80x", "-1", "", "+80", "99999999999999"})
    EXPECT_FALSE(router::readUpnpEntry(1, router::Transport::Tcp, {"10.0.0.2", port, "", "1", "0"}))
        << port;
  EXPECT_FALSE(router::readUpnpEntry(1, router::Transport::Tcp, {"host.lan", "80", "", "1", "0"}));
  EXPECT_FALSE(
      router::readUpnpEntry(1, router::Transport::Tcp, {"10.0.0.2", "80", "", "1", "forever"}));
  EXPECT_FALSE(
      router::readUpnpEntry(1, router::Transport::Tcp, {"10.0.0.2", "80", "", "1", "4294967296"}));
}

TEST(RouterAnswerCodes, RouterRefusalsKeepTheirMeaning) {
  EXPECT_EQ(router::upnpOutcome(718).failure, Failure::Conflict);
  EXPECT_EQ(router::upnpOutcome(606).failure, Failure::NotAuthorised);
  EXPECT_EQ(router::upnpOutcome(-3).failure, Failure::NoAnswer);
  EXPECT_EQ(router::upnpOutcome(-4).failure, Failure::BadAnswer);
  const router::Outcome other = router::upnpOutcome(501);
  EXPECT_EQ(other.failure, Failure::Refused);
  EXPECT_EQ(router::describe(other), "the router refused (error 501)");
  EXPECT_EQ(router::pmpOutcome(-51).failure, Failure::NotAuthorised);
  EXPECT_EQ(router::pmpOutcome(-7).failure, Failure::NoAnswer);
}

TEST(RouterAnswerNatPmp, MappingMustBeTheOneAskedFor) {
  using router::checkPmpMapping;
  const auto tcp = router::Transport::Tcp;
  EXPECT_TRUE(checkPmpMapping({2, 5000, 5000, 3600}, tcp, 5000, false).ok());
  // The router chose another public port: of no use for a port test.
  EXPECT_EQ(checkPmpMapping({2, 5000, 5001, 3600}, tcp, 5000, false).failure, Failure::Conflict);
  EXPECT_EQ(checkPmpMapping({1, 5000, 5000, 3600}, tcp, 5000, false).failure, Failure::BadAnswer);
  EXPECT_EQ(checkPmpMapping({2, 5001, 5000, 3600}, tcp, 5000, false).failure, Failure::BadAnswer);
  EXPECT_EQ(checkPmpMapping({2, 5000, 5000, 0}, tcp, 5000, false).failure, Failure::Refused);
  EXPECT_TRUE(checkPmpMapping({2, 5000, 0, 0}, tcp, 5000, true).ok());
}

}  // namespace
