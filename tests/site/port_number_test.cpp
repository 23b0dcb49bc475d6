#include "site/port_number.h"

#include <gtest/gtest.h>

using site::parsePortNumber;

TEST(PortNumber, AcceptsEveryPortFromOneTo65535) {
  EXPECT_EQ(parsePortNumber("1"), 1);
  EXPECT_EQ(parsePortNumber("80"), 80);
  EXPECT_EQ(parsePortNumber("65535"), 65535);
  EXPECT_EQ(parsePortNumber("08080"), 8080);
}

TEST(PortNumber, RefusesAnythingButPlainDigitsInRange) {
  for (const char* bad :
       {"", "0", "00000", "65536", "99999", "100000", "4294967377", "-1", "+80", " 80", "80 ",
        "8 0", "80abc", "0x50", "8.0", "1e3", "\xd9\xa8\xd9\xa0", "80\n", "\t80"}) {
    EXPECT_FALSE(parsePortNumber(bad).has_value()) << '"' << bad << '"';
  }
  EXPECT_FALSE(parsePortNumber(std::string_view("80\0", 3)).has_value());
}
