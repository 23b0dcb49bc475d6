#include "net/errortexts.h"

#include <gtest/gtest.h>

TEST(SockErrorTexts, DescribesSystemAndOwnNumbers) {
  EXPECT_EQ(SockErrorText(10035), "Resource temporarily unavailable.");
  EXPECT_EQ(SockErrorText(40020), "Invalid operation at current state.");
  EXPECT_EQ(SockErrorText(6), "Specified event object handle is invalid.");
  EXPECT_EQ(SockErrorText(10092), "Winsock.dll version out of range.");
  EXPECT_EQ(SockErrorText(40026), "Wrong protocol for the requested transaction or request.");
  EXPECT_EQ(SockErrorText(11031), "Reserved policy QOS element type.");
}

TEST(SockErrorTexts, TwoNumbersShareNoMoreResults) {
  EXPECT_EQ(SockErrorText(10102), "No more results.");
  EXPECT_EQ(SockErrorText(10110), "No more results.");
}

TEST(SockErrorTexts, UnknownNumbersGiveEmptyText) {
  for (int number : {0, -1, 10000, 12345, 40000, 65535}) {
    EXPECT_TRUE(SockErrorText(number).isEmpty()) << number;
  }
}

TEST(SockErrorTexts, TableHoldsOneHundredAndSixNumbers) {
  // 105 rows, one of which names two numbers.
  int known = 0;
  for (int number = 0; number <= 41000; ++number) {
    if (!SockErrorText(number).isEmpty()) ++known;
  }
  EXPECT_EQ(known, 106);
}
