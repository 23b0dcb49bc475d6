#include "site/pages.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(Pages, EscapeEverythingAVisitorCanInfluence) {
  EXPECT_EQ(site::htmlEscape("<a href='x'>\"&"), "&lt;a href=&#39;x&#39;&gt;&quot;&amp;");
  const std::string page = site::errorPage(400, "Bad <b>", "x<script>", "/\"back");
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_EQ(page.find("Bad <b>"), std::string::npos);
  EXPECT_NE(page.find("href=\"/&quot;back\""), std::string::npos);
}

TEST(Pages, ResultSaysAddressPortProtocolAndVerdict) {
  site::ResultView tcp;
  tcp.address = "203.0.113.7";
  tcp.port = 8080;
  tcp.open = true;
  tcp.elapsed = 4ms;
  const std::string open = site::resultPage(tcp);
  for (const char* text : {"203.0.113.7", "8080", "TCP", ": open</h1>", "href=\"/port_test.php\""})
    EXPECT_NE(open.find(text), std::string::npos) << text;

  tcp.open = false;
  EXPECT_EQ(site::verdictText(tcp), "closed or filtered");
  EXPECT_NE(site::resultPage(tcp).find("closed or filtered"), std::string::npos);

  site::ResultView udp;
  udp.protocol = site::Protocol::Udp;
  udp.address = "198.51.100.2";
  udp.port = 53;
  udp.datagramsSent = 3;
  udp.datagramsPlanned = 3;
  udp.token = "00ff00ff00ff00ff";
  const std::string sent = site::resultPage(udp);
  for (const char* text :
       {"datagrams sent", "UDP", "198.51.100.2", "Only the program listening on your side can tell",
        "00ff00ff00ff00ff", "href=\"/port_test_udp.php\""})
    EXPECT_NE(sent.find(text), std::string::npos) << text;
  udp.datagramsSent = 0;
  EXPECT_EQ(site::verdictText(udp), "datagrams not sent");
}
