#include "i18n/extractbetween.h"

#include <gtest/gtest.h>

TEST(ExtractBetween, TakesTextBetweenFirstOpeningAndLastClosing) {
  EXPECT_EQ(ExtractBetween(u"x \"Begin\" y", u"\""), "Begin");
  EXPECT_EQ(ExtractBetween(u"5:{Label1} \"a\"", u"{}"), "Label1");
  EXPECT_EQ(ExtractBetween(u"[Main [old]] tail", u"[]"), "Main [old]");
}

TEST(ExtractBetween, KeepsDelimitersInsideTheText) {
  EXPECT_EQ(ExtractBetween(u"\"Say \"hi\"\" ", u"\""), "Say \"hi\"");
  EXPECT_EQ(ExtractBetween(u"{a}{b}", u"{}"), "a}{b");
}

TEST(ExtractBetween, IsEmptyWithoutAProperPair) {
  EXPECT_EQ(ExtractBetween(u"no quotes", u"\""), "");
  EXPECT_EQ(ExtractBetween(u"one \" quote", u"\""), "");
  EXPECT_EQ(ExtractBetween(u"}backwards{", u"{}"), "");
  EXPECT_EQ(ExtractBetween(u"{open only", u"{}"), "");
  EXPECT_EQ(ExtractBetween(u"\"\"", u"\""), "");
  EXPECT_EQ(ExtractBetween(u"", u"\""), "");
  EXPECT_EQ(ExtractBetween(u"\"a\"", u""), "");
}
