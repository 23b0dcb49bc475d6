// Checks the language files that ship beside the program against the texts
// the main window keeps for translation.
#include "i18n/languagelist.h"
#include "i18n/modlanguage.h"
#include "i18n/translator.h"
#include "main_window_texts.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <gtest/gtest.h>

namespace {

QString languagesDir() { return testsupport::sourceDir() + "/Languages"; }

QStringList shippedLanguageFiles() {
  return QDir(languagesDir()).entryList({"*.lng"}, QDir::Files, QDir::Name);
}

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

LanguageTable tableOf(const QString& fileName) {
  return LanguageTable(ParseLanguageFile(readAll(languagesDir() + "/" + fileName)));
}

QSet<QString> baseTexts() {
  QSet<QString> texts;
  for (const auto& windowText : i18ntest::mainWindowTexts()) texts.insert(windowText.text);
  return texts;
}

QStringList listedItems() {
  QStringList items;
  LoadLanguageList([&](const QString& item) { items.push_back(item); },
                   languagesDir() + "/_Current_Languages.txt");
  return items;
}

}  // namespace

TEST(ShippedLanguages, EnglishAndAtLeastEightMoreAreShipped) {
  const QStringList files = shippedLanguageFiles();
  EXPECT_TRUE(files.contains("English.lng"));
  EXPECT_GE(files.size(), 9) << files.join(", ").toStdString();
}

TEST(ShippedLanguages, EveryFileIsUtf16LeWithMarkAndCrLfLines) {
  QStringList files = shippedLanguageFiles();
  files.push_back("_Current_Languages.txt");
  for (const QString& fileName : files) {
    SCOPED_TRACE(fileName.toStdString());
    const QByteArray bytes = readAll(languagesDir() + "/" + fileName);
    ASSERT_GE(bytes.size(), 2);
    EXPECT_EQ(bytes.left(2), QByteArray("\xFF\xFE", 2));
    EXPECT_EQ(bytes.size() % 2, 0);
    QString text(bytes.size() / 2 - 1, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
      const auto low = static_cast<unsigned char>(bytes[2 * i + 2]);
      const auto high = static_cast<unsigned char>(bytes[2 * i + 3]);
      text[i] = QChar(static_cast<char16_t>(low | (high << 8)));
    }
    // A lone CR or LF would silently glue two lines into one entry.
    EXPECT_EQ(text.count(u'\n'), text.count(QStringLiteral("\r\n")));
    EXPECT_EQ(text.count(u'\r'), text.count(QStringLiteral("\r\n")));
    EXPECT_FALSE(text.contains(u'\t'));
  }
}

TEST(ShippedLanguages, EveryFileTranslatesEveryWindowText) {
  for (const QString& fileName : shippedLanguageFiles()) {
    SCOPED_TRACE(fileName.toStdString());
    const LanguageTable table = tableOf(fileName);
    for (const auto& [control, text] : i18ntest::mainWindowTexts()) {
      const LanguageEntry* entry = table.find(LookUpField::Key, text);
      ASSERT_NE(entry, nullptr) << text.toStdString();
      // The key must be written exactly, since the base language shows it as is.
      EXPECT_EQ(entry->key, text);
      EXPECT_FALSE(entry->value.isEmpty()) << text.toStdString();
      EXPECT_EQ(entry->value.trimmed(), entry->value) << text.toStdString();
      const LanguageEntry* named = table.find(LookUpField::Name, control);
      ASSERT_NE(named, nullptr) << control.toStdString();
      EXPECT_EQ(named->key, text) << control.toStdString();
    }
  }
}

TEST(ShippedLanguages, NoFileHasATextTheWindowLacks) {
  const QSet<QString> texts = baseTexts();
  for (const QString& fileName : shippedLanguageFiles()) {
    SCOPED_TRACE(fileName.toStdString());
    const LanguageTable table = tableOf(fileName);
    for (const LanguageEntry& entry : table.entries()) {
      if (entry.key.isEmpty()) {
        // Only section lines come without a text; anything else is a broken line.
        EXPECT_TRUE(entry.value.isEmpty() && !entry.section.isEmpty());
        continue;
      }
      EXPECT_TRUE(texts.contains(entry.key)) << entry.key.toStdString();
      // A second entry for the same text would never be read.
      EXPECT_EQ(table.find(LookUpField::Key, entry.key)->value, entry.value)
          << entry.key.toStdString();
    }
  }
}

TEST(ShippedLanguages, EnglishFileTranslatesEachTextToItself) {
  const LanguageTable english = tableOf("English.lng");
  for (const LanguageEntry& entry : english.entries()) {
    EXPECT_EQ(entry.value, entry.key);
  }
}

TEST(ShippedLanguages, ListOffersEveryTranslationOnceAndLeavesEnglishToTheProgram) {
  const QStringList items = listedItems();
  QSet<QString> listedNames;
  QSet<QString> displayNames;
  for (const QString& item : items) {
    SCOPED_TRACE(item.toStdString());
    const std::optional<QString> name = LanguageNameOfItem(item);
    ASSERT_TRUE(name.has_value());
    EXPECT_EQ(item.count(QStringLiteral(" | ")), 1);
    EXPECT_NE(name->toLower(), "english");
    EXPECT_TRUE(QFileInfo::exists(languagesDir() + "/" + *name + ".lng"));
    EXPECT_FALSE(listedNames.contains(*name));
    EXPECT_FALSE(displayNames.contains(item.section(" | ", 0, 0)));
    listedNames.insert(*name);
    displayNames.insert(item.section(" | ", 0, 0));
  }
  QSet<QString> translations;
  for (const QString& fileName : shippedLanguageFiles()) {
    if (fileName != "English.lng") translations.insert(QFileInfo(fileName).completeBaseName());
  }
  EXPECT_EQ(listedNames, translations);
}

TEST(ShippedLanguages, EveryListedLanguageLoadsThroughTheTranslator) {
  Translator translator;
  translator.setLanguageFilePath(languagesDir());
  translator.setLookUpMethod(3);
  translator.setBaseLanguage("English");
  translator.setUsingBase(true);
  QStringList items = listedItems();
  items.push_back("English | English");
  for (const QString& item : items) {
    SCOPED_TRACE(item.toStdString());
    EXPECT_EQ(translator.setLanguageFile(*LanguageNameOfItem(item)),
              Translator::LoadResult::Loaded);
    for (const QString& text : baseTexts()) EXPECT_FALSE(translator.Say(text).isEmpty());
  }
  // Back in the base language every text reads exactly as the window wrote it.
  EXPECT_TRUE(translator.UsingBase());
  for (const QString& text : baseTexts()) EXPECT_EQ(translator.Say(text), text);
}
