#include "persist/inidocument.h"
#include "persist/modini.h"

#include "filefaults.h"
#include "persist_test_files.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
  QString folder() const { return m_dir.path(); }
  QString settingsPath() const { return m_dir.filePath(QStringLiteral("settings.ini")); }

  QTemporaryDir m_dir;
};

using SettingsRead = SettingsFileTest;
using SettingsWrite = SettingsFileTest;

TEST_F(SettingsRead, MissingFileSectionOrKeyReadsEmpty) {
  EXPECT_EQ(ReadIniValue("main", "language", settingsPath()), QString());
  ASSERT_TRUE(
      writeBytes(settingsPath(), "[other]\r\nlanguage=Deutsch | German\r\n[main]\r\nsite=x\r\n"));
  EXPECT_EQ(ReadIniValue("main", "language", settingsPath()), QString());
  EXPECT_EQ(ReadIniValue("absent", "site", settingsPath()), QString());
}

TEST_F(SettingsRead, FindsNamesWithoutRegardToCaseOrBlanks) {
  ASSERT_TRUE(writeBytes(settingsPath(), "  [ MaIn ]  \n\t LANGUAGE \t=   Deutsch | German  \t\n"));
  EXPECT_EQ(ReadIniValue("main", "language", settingsPath()), QString("Deutsch | German"));
  EXPECT_EQ(ReadIniValue(" MAIN", "Language ", settingsPath()), QString("Deutsch | German"));
}

TEST_F(SettingsRead, CutsLongValuesTo254Characters) {
  const QString longValue(300, QChar(u'x'));
  ASSERT_TRUE(WriteIniValue("main", "language", longValue, settingsPath()));
  EXPECT_TRUE(readBytes(settingsPath()).contains(longValue.toUtf8()));
  EXPECT_EQ(ReadIniValue("main", "language", settingsPath()), longValue.left(254));

  const QString exact(254, QChar(u'y'));
  ASSERT_TRUE(WriteIniValue("main", "language", exact, settingsPath()));
  EXPECT_EQ(ReadIniValue("main", "language", settingsPath()), exact);
}

TEST_F(SettingsRead, CutNeverSplitsACharacterInTwo) {
  // 253 letters and then a character outside the basic plane (two UTF-16 units).
  const QString value = QString(253, QChar(u'a')) + QString::fromUtf8("\xF0\x9F\x98\x80") + "tail";
  ASSERT_TRUE(WriteIniValue("main", "language", value, settingsPath()));
  EXPECT_EQ(ReadIniValue("main", "language", settingsPath()), QString(253, QChar(u'a')));
}

TEST_F(SettingsRead, DropsOnePairOfEnclosingQuotes) {
  ASSERT_TRUE(writeBytes(settingsPath(), "[main]\nlanguage=\"English | English\"\nsite='x\"\n"));
  EXPECT_EQ(ReadIniValue("main", "language", settingsPath()), QString("English | English"));
  EXPECT_EQ(ReadIniValue("main", "site", settingsPath()), QString("'x\""));
}

TEST_F(SettingsRead, FirstOfRepeatedNamesCounts) {
  ASSERT_TRUE(writeBytes(
      settingsPath(), "[main]\nlanguage=first\nlanguage=second\n[MAIN]\nlanguage=third\nsite=s\n"));
  EXPECT_EQ(ReadIniValue("main", "language", settingsPath()), QString("first"));
  EXPECT_EQ(ReadIniValue("main", "site", settingsPath()), QString("s"));
}

TEST_F(SettingsRead, CommentsAndStrayLinesAreNotKeys) {
  ASSERT_TRUE(writeBytes(settingsPath(), "[main]\n;language=commented\n#site=also\nlanguage\n"));
  EXPECT_EQ(ReadIniValue("main", "language", settingsPath()), QString());
  EXPECT_EQ(ReadIniValue("main", "site", settingsPath()), QString());
}

TEST_F(SettingsWrite, FirstWriteCreatesFileWithSectionAndKey) {
  ASSERT_TRUE(WriteIniValue("main", "language", "Deutsch | German", settingsPath()));
  EXPECT_EQ(readBytes(settingsPath()), QByteArray("[main]\r\nlanguage=Deutsch | German\r\n"));
  EXPECT_EQ(ReadIniValue("main", "language", settingsPath()), QString("Deutsch | German"));
  EXPECT_EQ(folderEntries(folder()), QStringList{"settings.ini"});
}

TEST_F(SettingsWrite, HandWrittenFileKeepsEverythingElse) {
  const QByteArray handWritten =
      "; Vantrel settings, edited by hand\r\n"
      "\r\n"
      "[Window]\r\n"
      "Language = kept\r\n"
      "\r\n"
      "[MAIN]   ; odd case\r\n"
      "  Site = http://example.test:8380  \r\n"
      "LANGUAGE =   English | English\r\n"
      "# a note\r\n"
      "\r\n"
      "[Extra]\r\n"
      "key=value";
  ASSERT_TRUE(writeBytes(settingsPath(), handWritten));
  ASSERT_TRUE(WriteIniValue("main", "language", "Français | French", settingsPath()));
  QByteArray expected = handWritten;
  expected.replace("LANGUAGE =   English | English", "LANGUAGE =   Français | French");
  EXPECT_EQ(readBytes(settingsPath()), expected);
  EXPECT_EQ(ReadIniValue("window", "language", settingsPath()), QString("kept"));
  EXPECT_EQ(ReadIniValue("main", "site", settingsPath()), QString("http://example.test:8380"));
}

TEST_F(SettingsWrite, MissingKeyGoesAfterTheLastKeyOfItsSection) {
  ASSERT_TRUE(writeBytes(settingsPath(), "[main]\nsite=x\n; about other\n\n[other]\na=1\n"));
  ASSERT_TRUE(WriteIniValue("main", "language", "English | English", settingsPath()));
  EXPECT_EQ(
      readBytes(settingsPath()),
      QByteArray("[main]\nsite=x\nlanguage=English | English\n; about other\n\n[other]\na=1\n"));
}

TEST_F(SettingsWrite, MissingSectionGoesAtTheEnd) {
  ASSERT_TRUE(writeBytes(settingsPath(), "[other]\na=1"));
  ASSERT_TRUE(WriteIniValue("main", "language", "English | English", settingsPath()));
  EXPECT_EQ(readBytes(settingsPath()),
            QByteArray("[other]\na=1\n\n[main]\nlanguage=English | English\n"));
  EXPECT_EQ(ReadIniValue("other", "a", settingsPath()), QString("1"));
}

TEST_F(SettingsWrite, KeepsByteOrderMarkAndUnicodeText) {
  ASSERT_TRUE(writeBytes(settingsPath(), "\xEF\xBB\xBF[main]\r\nlanguage=x\r\n"));
  const QString value = QString::fromUtf8("Русский | Russian");
  ASSERT_TRUE(WriteIniValue("main", "language", value, settingsPath()));
  EXPECT_EQ(readBytes(settingsPath()),
            QByteArray("\xEF\xBB\xBF[main]\r\nlanguage=") + value.toUtf8() + "\r\n");
  EXPECT_EQ(ReadIniValue("main", "language", settingsPath()), value);
}

TEST_F(SettingsWrite, RefusesTextThatWouldBreakTheFileApart) {
  ASSERT_TRUE(writeBytes(settingsPath(), "[main]\nlanguage=English | English\n"));
  const QByteArray before = readBytes(settingsPath());
  EXPECT_FALSE(WriteIniValue("main", "language", "x\r\n[main]\r\nsite=evil", settingsPath()));
  EXPECT_FALSE(WriteIniValue("main", "a=b", "x", settingsPath()));
  EXPECT_FALSE(WriteIniValue("main", "", "x", settingsPath()));
  EXPECT_FALSE(WriteIniValue("main", ";key", "x", settingsPath()));
  EXPECT_FALSE(WriteIniValue("ma]in", "key", "x", settingsPath()));
  EXPECT_FALSE(WriteIniValue(" ", "key", "x", settingsPath()));
  EXPECT_EQ(readBytes(settingsPath()), before);
}

TEST_F(SettingsWrite, FileThatCannotBeReplacedKeepsItsContent) {
  ASSERT_TRUE(WriteIniValue("main", "language", "English | English", settingsPath()));
  const QByteArray before = readBytes(settingsPath());
  {
    RefusedPath refused(settingsPath(), RefusedPath::Kind::File);
    if (!refused.active()) GTEST_SKIP() << "this system cannot make a file immutable";
    EXPECT_FALSE(WriteIniValue("main", "language", "Deutsch | German", settingsPath()));
  }
  EXPECT_EQ(readBytes(settingsPath()), before);
  EXPECT_EQ(folderEntries(folder()), QStringList{"settings.ini"});
}

TEST_F(SettingsWrite, PathThatIsNotAFileIsLeftAlone) {
  ASSERT_TRUE(QDir(folder()).mkdir("settings.ini"));
  EXPECT_FALSE(WriteIniValue("main", "language", "English | English", settingsPath()));
  EXPECT_TRUE(QFileInfo(settingsPath()).isDir());
  EXPECT_EQ(ReadIniValue("main", "language", settingsPath()), QString());
}

TEST(IniDocumentEdit, ValueWrittenReadsBack) {
  IniDocument document(QByteArray("[a]\nk=1\n"));
  ASSERT_TRUE(document.setValue(u"A", u"K", u"2"));
  ASSERT_TRUE(document.setValue(u"b", u"k", u"3"));
  EXPECT_EQ(document.value(u"a", u"k"), QString("2"));
  EXPECT_EQ(document.value(u"B", u"K"), QString("3"));
  EXPECT_EQ(document.bytes(), QByteArray("[a]\nk=2\n\n[b]\nk=3\n"));
}

TEST(IniDocumentEdit, EmptyValueIsStoredAndReadsEmpty) {
  IniDocument document;
  ASSERT_TRUE(document.setValue(u"main", u"language", u""));
  EXPECT_EQ(document.value(u"main", u"language"), QString(""));
  EXPECT_EQ(document.bytes(), QByteArray("[main]\r\nlanguage=\r\n"));
}

}  // namespace
