#include "platform/twips.h"

#include <gtest/gtest.h>

TEST(TwipsConversion, FifteenTwipsMakeOnePixel) {
  EXPECT_EQ(twipsToPixels(15), 1);
  EXPECT_EQ(twipsToPixels(11985), 799);
  EXPECT_EQ(twipsToPixels(8700), 580);
  EXPECT_EQ(pixelsToTwips(799), 11985);
}

TEST(TwipsConversion, RoundsToTheNearestPixel) {
  EXPECT_EQ(twipsToPixels(7), 0);
  EXPECT_EQ(twipsToPixels(8), 1);
  EXPECT_EQ(twipsToPixels(195), 13);
  EXPECT_EQ(twipsRect(660, 90, 1275, 195), QRect(44, 6, 85, 13));
}
