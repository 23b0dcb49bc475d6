#include "net/textlines.h"

#include <gtest/gtest.h>

namespace {

QByteArray utf16(const QString& text) {
  return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

}  // namespace

TEST(TextLinesBytes, SplitsAtCrLfAndKeepsTheRest) {
  QByteArray buffered("ab\r\ncd");
  const auto lines = takeTextLines(&buffered);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, "ab");
  EXPECT_EQ(lines[0].lineEnding, 1);
  EXPECT_FALSE(lines[0].rawBytes);
  EXPECT_EQ(buffered, "cd");
}

TEST(TextLinesBytes, SplitsAtLfWhenNoCrLf) {
  QByteArray buffered("x\ny");
  const auto lines = takeTextLines(&buffered);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, "x");
  EXPECT_EQ(lines[0].lineEnding, 2);
  EXPECT_EQ(buffered, "y");
}

TEST(TextLinesBytes, SplitsAtCrAloneAndEmptiesAFinishedBuffer) {
  QByteArray buffered("one\rtwo\r");
  const auto lines = takeTextLines(&buffered);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].text, "two");
  EXPECT_EQ(lines[1].lineEnding, 3);
  EXPECT_TRUE(buffered.isEmpty());
}

TEST(TextLinesBytes, OnlyTheFirstKindOfEndingFoundSplits) {
  // With CR LF present, a lone LF stays inside the line.
  QByteArray buffered("a\nb\r\nc");
  const auto lines = takeTextLines(&buffered);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, "a\nb");
  EXPECT_EQ(buffered, "c");
}

TEST(TextLinesBytes, WithoutEndingEverythingWaits) {
  QByteArray buffered("no end yet");
  EXPECT_TRUE(takeTextLines(&buffered).empty());
  EXPECT_EQ(buffered, "no end yet");
}

TEST(TextLinesBytes, Utf8IsConverted) {
  QByteArray buffered(
      "gr\xC3\xBC\xC3\x9F"
      "e\n");
  const auto lines = takeTextLines(&buffered);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, QString::fromUtf8("grüße"));
  EXPECT_FALSE(lines[0].rawBytes);
}

TEST(TextLinesBytes, InvalidUtf8IsPassedRawByteForByte) {
  QByteArray buffered("ok\xFF\x80\n");
  const auto lines = takeTextLines(&buffered);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].rawBytes);
  EXPECT_EQ(lines[0].text.toLatin1(), QByteArray("ok\xFF\x80"));
}

TEST(TextLinesBytes, LongLineWithLateFaultStaysIntactAsRaw) {
  QByteArray line(3000, 'a');
  line[2500] = char(0xFF);
  QByteArray buffered = line + "\n";
  const auto lines = takeTextLines(&buffered);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].rawBytes);
  EXPECT_EQ(lines[0].text.toLatin1(), line);
}

TEST(TextLinesWide, Utf16TextIsSplitFirst) {
  QByteArray buffered = utf16(QStringLiteral("hi\r\nthere\r\nrest"));
  const auto lines = takeTextLines(&buffered);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "hi");
  EXPECT_EQ(lines[1].text, "there");
  EXPECT_EQ(lines[1].lineEnding, 1);
  EXPECT_EQ(buffered, utf16(QStringLiteral("rest")));
}

TEST(TextLinesWide, OddTrailingByteWaitsWithTheRest) {
  QByteArray buffered = utf16(QStringLiteral("a\nb")) + 'z';
  const auto lines = takeTextLines(&buffered);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].lineEnding, 2);
  EXPECT_EQ(buffered, utf16(QStringLiteral("b")) + 'z');
}

TEST(Utf8Prefix, FollowsTheLeadByteRules) {
  EXPECT_TRUE(isUtf8Prefix("plain", 2048));
  EXPECT_TRUE(isUtf8Prefix("\xE2\x82\xAC", 2048));
  EXPECT_FALSE(isUtf8Prefix("", 2048));
  EXPECT_FALSE(isUtf8Prefix("abc", 0));
  EXPECT_FALSE(
      isUtf8Prefix("\x80"
                   "abc",
                   2048));
  EXPECT_FALSE(isUtf8Prefix("\xFE", 2048));
  EXPECT_FALSE(
      isUtf8Prefix("\xC3"
                   "A",
                   2048));
  // Only the first n bytes are judged.
  EXPECT_TRUE(isUtf8Prefix("ab\xFF", 2));
}
