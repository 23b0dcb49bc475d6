#include "site/request_log.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(RequestLog, LineHoldsTimeRequesterPathPortVerdictAndMilliseconds) {
  const std::chrono::system_clock::time_point when{std::chrono::seconds(1765200000) + 42ms};
  EXPECT_EQ(
      site::formatLogLine(when, "203.0.113.7", "POST", "/port_test.php", 200, "8080", "open", 12ms),
      "2025-12-08T13:20:00.042Z 203.0.113.7 \"POST /port_test.php\" 200 port=8080 verdict=open "
      "ms=12");
}

TEST(RequestLog, VisitorTextCannotForgeLines) {
  EXPECT_EQ(site::sanitizeForLog("/a\r\n2025 fake \"line\""), "/a%0D%0A2025%20fake%20%22line%22");
  EXPECT_EQ(site::sanitizeForLog("%41\\\x7f\xff"), "%2541%5C%7F%FF");
  EXPECT_EQ(site::sanitizeForLog(""), "-");
  EXPECT_EQ(site::sanitizeForLog(std::string(500, 'a'), 10), "aaaaaaaaaa...");
}
