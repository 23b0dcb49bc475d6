#include "i18n/languagefile.h"

#include "language_files.h"

#include <gtest/gtest.h>

using i18ntest::utf16Le;
using i18ntest::utf16LeWithMark;

namespace {

std::vector<LanguageEntry> parseLines(const QStringList& lines) {
  return ParseLanguageFile(utf16LeWithMark(lines));
}

}  // namespace

TEST(LanguageFileFormat, ReadsIdNameKeyValueAndSectionOfALine) {
  const auto entries = parseLines({"[FrmMain]", "12:{Command3} \"Begin\" | \"Starten\""});
  ASSERT_EQ(entries.size(), 2u);
  const LanguageEntry& line = entries[1];
  EXPECT_EQ(line.id, 12);
  EXPECT_EQ(line.name, "Command3");
  EXPECT_EQ(line.key, "Begin");
  EXPECT_EQ(line.value, "Starten");
  EXPECT_EQ(line.section, "FrmMain");
}

TEST(LanguageFileFormat, SectionLineIsAnEntryCarryingTheNewSection) {
  const auto entries =
      parseLines({"\"before\" | \"x\"", "[First [draft]]", "\"a\" | \"b\"", "[Second]"});
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].section, "");
  EXPECT_EQ(entries[1].section, "First [draft]");
  EXPECT_EQ(entries[1].key, "");
  EXPECT_EQ(entries[1].value, "");
  EXPECT_EQ(entries[2].section, "First [draft]");
  EXPECT_EQ(entries[3].section, "Second");
}

TEST(LanguageFileFormat, SkipsBlankAndCommentLinesAfterTrimmingSpaces) {
  const auto entries = parseLines(
      {"' a comment", "", "      ", "   ' indented comment", "   \"Add\" | \"Ajouter\"   "});
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].key, "Add");
  EXPECT_EQ(entries[0].value, "Ajouter");
}

TEST(LanguageFileFormat, DropsTheFirstCharacterWithoutLookingAtIt) {
  // No byte-order mark: the first real character is lost, as the format says.
  const auto entries = ParseLanguageFile(utf16Le("X\"a\" | \"b\"\r\n\"c\" | \"d\""));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].key, "a");
  EXPECT_EQ(entries[1].key, "c");
}

TEST(LanguageFileFormat, OnlyCrLfEndsALine) {
  const auto entries = ParseLanguageFile(QByteArray("\xFF\xFE", 2) +
                                         utf16Le("\"a\" | \"b\"\n\"c\" | \"d\"\r\"e\" | \"f\""));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].key, "a");
}

TEST(LanguageFileFormat, QuotesInsideTheTextsStayPartOfThem) {
  const auto entries = parseLines({"\"Say \"hi\"\" | \"Sag \"hallo\" | bitte\""});
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].key, "Say \"hi\"");
  EXPECT_EQ(entries[0].value, "Sag \"hallo\" | bitte");
}

TEST(LanguageFileFormat, BarWithoutQuotesGivesEmptyKeyAndValue) {
  const auto entries = parseLines({"Begin | Starten", "\"Add\" | Hinzufuegen"});
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].key, "");
  EXPECT_EQ(entries[0].value, "");
  EXPECT_EQ(entries[1].key, "Add");
  EXPECT_EQ(entries[1].value, "");
}

TEST(LanguageFileFormat, NameIsReadOnlyFromALineWithAColon) {
  const auto entries =
      parseLines({"{Label1} \"a\" | \"b\"", "3:{Label2} \"c\" | \"d\"", "{Label3} \"e:\" | \"f\""});
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "");
  EXPECT_EQ(entries[1].name, "Label2");
  EXPECT_EQ(entries[2].name, "Label3");
}

TEST(LanguageFileFormat, KeepsNonLatinTextsAndOddTrailingByte) {
  QByteArray bytes = utf16LeWithMark({"\"Success\" | \"成功 — Успешно\""});
  bytes.append('\x41');
  const auto entries = ParseLanguageFile(bytes);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].value, QStringLiteral("成功 — Успешно"));
}

TEST(LanguageFileFormat, EmptyOrMarkOnlyInputGivesNoEntries) {
  EXPECT_TRUE(ParseLanguageFile(QByteArray()).empty());
  EXPECT_TRUE(ParseLanguageFile(QByteArray("\xFF\xFE", 2)).empty());
  EXPECT_TRUE(ParseLanguageFile(QByteArray("\xFF", 1)).empty());
}

TEST(LanguageFileId, IsTheRoundedDecimalPrefixOfTheLine) {
  EXPECT_EQ(LeadingNumber(u"12:{Label1}"), 12);
  EXPECT_EQ(LeadingNumber(u" \t 7 rest"), 7);
  EXPECT_EQ(LeadingNumber(u"+8"), 8);
  EXPECT_EQ(LeadingNumber(u"-4.4x"), -4);
  EXPECT_EQ(LeadingNumber(u"2.6"), 3);
  EXPECT_EQ(LeadingNumber(u"1e3:"), 1000);
  EXPECT_EQ(LeadingNumber(u"1D2"), 100);
  EXPECT_EQ(LeadingNumber(u"5e"), 5);
  EXPECT_EQ(LeadingNumber(u".75"), 1);
  EXPECT_EQ(LeadingNumber(u"1.2.3"), 1);
}

TEST(LanguageFileId, HalvesRoundToEven) {
  EXPECT_EQ(LeadingNumber(u"2.5"), 2);
  EXPECT_EQ(LeadingNumber(u"3.5"), 4);
  EXPECT_EQ(LeadingNumber(u"-0.5"), 0);
}

TEST(LanguageFileId, IsZeroWithoutANumberOrBeyond32Bits) {
  EXPECT_EQ(LeadingNumber(u""), 0);
  EXPECT_EQ(LeadingNumber(u"\"Begin\" | \"Starten\""), 0);
  EXPECT_EQ(LeadingNumber(u"-"), 0);
  EXPECT_EQ(LeadingNumber(u"."), 0);
  EXPECT_EQ(LeadingNumber(u"１２"), 0);  // full-width digits are not decimal digits here
  EXPECT_EQ(LeadingNumber(u"2147483647"), 2147483647);
  EXPECT_EQ(LeadingNumber(u"-2147483648"), -2147483647 - 1);
  EXPECT_EQ(LeadingNumber(u"2147483648"), 0);
  EXPECT_EQ(LeadingNumber(u"1e999"), 0);
}
