#include "i18n/languagelist.h"

#include "language_files.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using i18ntest::utf16Le;
using i18ntest::utf16LeWithMark;
using i18ntest::writeBytes;

namespace {

class LanguageList : public ::testing::Test {
 protected:
  QString listFile() const { return m_dir.filePath("_Current_Languages.txt"); }

  QStringList load() const {
    QStringList items;
    LoadLanguageList([&](const QString& item) { items.push_back(item); }, listFile());
    return items;
  }

  QTemporaryDir m_dir;
};

const QString kTwoLanguages = QStringLiteral("Deutsch | German\r\nFrançais | French\r\n");

}  // namespace

TEST_F(LanguageList, AddsEachItemOfAUtf16FileInFileOrder) {
  writeBytes(listFile(),
             utf16LeWithMark({"' chooser items", "", "  Deutsch | German  ", "   ",
                              "   ' Klingon | Klingon", "日本語 | Japanese", "Русский | Russian"}));
  EXPECT_EQ(load(), QStringList({"Deutsch | German", "日本語 | Japanese", "Русский | Russian"}));
}

TEST_F(LanguageList, IgnoresFilesInAnyOtherEncoding) {
  const QByteArray utf8Mark("\xEF\xBB\xBF", 3);
  const QByteArray bigEndianMark("\xFE\xFF", 2);
  QByteArray bigEndianText;
  for (const QChar c : kTwoLanguages) {
    bigEndianText.append(static_cast<char>(c.unicode() >> 8));
    bigEndianText.append(static_cast<char>(c.unicode() & 0xFF));
  }
  for (const QByteArray& bytes : {utf8Mark + kTwoLanguages.toUtf8(), kTwoLanguages.toUtf8(),
                                  utf16Le(kTwoLanguages), bigEndianMark + bigEndianText}) {
    writeBytes(listFile(), bytes);
    EXPECT_TRUE(load().isEmpty()) << bytes.toHex().left(16).toStdString();
  }
}

TEST_F(LanguageList, MissingOrEmptyFileAddsNothing) {
  EXPECT_TRUE(load().isEmpty());
  writeBytes(listFile(), QByteArray());
  EXPECT_TRUE(load().isEmpty());
  writeBytes(listFile(), QByteArray("\xFF\xFE", 2));
  EXPECT_TRUE(load().isEmpty());
}

TEST_F(LanguageList, ItemsAreKeptAsWritten) {
  // The chooser shows items exactly as listed; splitting them is the caller's business.
  writeBytes(listFile(), utf16LeWithMark({"Deutsch|German", "A | B | C"}));
  EXPECT_EQ(load(), QStringList({"Deutsch|German", "A | B | C"}));
}
