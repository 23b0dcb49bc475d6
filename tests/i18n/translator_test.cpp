#include "i18n/translator.h"

#include "language_files.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using i18ntest::writeBytes;
using i18ntest::writeLanguageFile;

namespace {

const QStringList kGerman = {
    "' Deutsch",
    "[FrmMain]",
    "1:{Command3} \"Begin\" | \"Starten\"",
    "2:{Command1} \"Add\" | \"Hinzufügen\"",
    "3:{Label7} \"(1~65535)\" | \"\"",
    "4:{Text15} \"Übersicht\" | \"Überblick\"",
};
const QStringList kFrench = {
    "[FrmMain]",
    "1:{Command3} \"Begin\" | \"Démarrer\"",
};

class TranslatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    writeLanguageFile(m_dir.path(), "German.lng", kGerman);
    writeLanguageFile(m_dir.path(), "French.lng", kFrench);
    m_translator.setLanguageFilePath(m_dir.path());
    m_translator.setLookUpMethod(3);
    m_translator.setBaseLanguage("English");
    m_translator.setUsingBase(true);
  }

  QTemporaryDir m_dir;
  Translator m_translator;
};

using TranslatorLanguageFilePath = TranslatorTest;
using TranslatorLanguageFile = TranslatorTest;
using TranslatorLookUp = TranslatorTest;

}  // namespace

TEST_F(TranslatorLanguageFilePath, IsStoredWithOneTrailingSeparator) {
  EXPECT_EQ(m_translator.LanguageFilePath(), m_dir.path() + "/");
  m_translator.setLanguageFilePath(m_dir.path() + "/");
  EXPECT_EQ(m_translator.LanguageFilePath(), m_dir.path() + "/");
}

TEST_F(TranslatorLanguageFilePath, ListsOnlyLanguageFilesSortedByName) {
  writeLanguageFile(m_dir.path(), "aardvark.lng", kFrench);
  writeLanguageFile(m_dir.path(), "notes.txt", kFrench);
  writeLanguageFile(m_dir.path(), "German.lng.bak", kFrench);
  ASSERT_TRUE(QDir(m_dir.path()).mkdir("Folder.lng"));
  m_translator.setLanguageFilePath(m_dir.path());
  EXPECT_EQ(m_translator.languageFiles(),
            QStringList({"aardvark.lng", "French.lng", "German.lng"}));
}

TEST_F(TranslatorLanguageFilePath, MissingFolderListsNothing) {
  m_translator.setLanguageFilePath(m_dir.filePath("absent"));
  EXPECT_TRUE(m_translator.languageFiles().isEmpty());
  EXPECT_EQ(m_translator.LanguageFilePath(), m_dir.filePath("absent") + "/");
}

TEST_F(TranslatorLanguageFile, OtherLanguageLoadsItsFileAndAnswersTranslations) {
  EXPECT_EQ(m_translator.setLanguageFile("German"), Translator::LoadResult::Loaded);
  EXPECT_EQ(m_translator.LanguageFile(), "German.lng");
  EXPECT_FALSE(m_translator.UsingBase());
  EXPECT_EQ(m_translator.Say("Begin"), "Starten");
  EXPECT_EQ(m_translator.table().entries().size(), 5u);
}

TEST_F(TranslatorLanguageFile, BaseLanguageAnswersFromTheFirstListedFile) {
  ASSERT_EQ(m_translator.setLanguageFile("German"), Translator::LoadResult::Loaded);
  EXPECT_EQ(m_translator.setLanguageFile("eNGLISH"), Translator::LoadResult::Loaded);
  EXPECT_TRUE(m_translator.UsingBase());
  EXPECT_EQ(m_translator.LanguageFile(), "French.lng");
  EXPECT_EQ(m_translator.Say("BEGIN"), "Begin");
  // "Add" is not in the first file, so the base language has no answer for it.
  EXPECT_EQ(m_translator.Say("Add"), "");
}

TEST_F(TranslatorLanguageFile, BaseLanguageWithoutFilesFailsAndKeepsTheTable) {
  ASSERT_EQ(m_translator.setLanguageFile("German"), Translator::LoadResult::Loaded);
  m_translator.setLanguageFilePath(m_dir.filePath("absent"));
  EXPECT_EQ(m_translator.setLanguageFile("English"), Translator::LoadResult::NoLanguageFiles);
  EXPECT_TRUE(m_translator.UsingBase());
  EXPECT_EQ(m_translator.LanguageFile(), "German.lng");
  EXPECT_EQ(m_translator.Say("begin"), "Begin");
}

TEST_F(TranslatorLanguageFile, UnreadableFileKeepsThePreviousTable) {
  ASSERT_EQ(m_translator.setLanguageFile("German"), Translator::LoadResult::Loaded);
  EXPECT_EQ(m_translator.setLanguageFile("Klingon"), Translator::LoadResult::KeptPrevious);
  EXPECT_EQ(m_translator.LanguageFile(), "Klingon.lng");
  EXPECT_EQ(m_translator.Say("Begin"), "Starten");

  writeBytes(m_dir.filePath("Empty.lng"), QByteArray());
  EXPECT_EQ(m_translator.setLanguageFile("Empty"), Translator::LoadResult::KeptPrevious);
  EXPECT_EQ(m_translator.Say("Begin"), "Starten");

  ASSERT_TRUE(QDir(m_dir.path()).mkdir("Folder.lng"));
  EXPECT_EQ(m_translator.setLanguageFile("Folder"), Translator::LoadResult::KeptPrevious);
  EXPECT_EQ(m_translator.Say("Begin"), "Starten");
}

TEST_F(TranslatorLanguageFile, ReadableFileReplacesTheWholeTable) {
  ASSERT_EQ(m_translator.setLanguageFile("German"), Translator::LoadResult::Loaded);
  ASSERT_EQ(m_translator.setLanguageFile("French"), Translator::LoadResult::Loaded);
  EXPECT_EQ(m_translator.Say("Begin"), "Démarrer");
  EXPECT_EQ(m_translator.Say("Add"), "");

  writeBytes(m_dir.filePath("MarkOnly.lng"), QByteArray("\xFF\xFE", 2));
  EXPECT_EQ(m_translator.setLanguageFile("MarkOnly"), Translator::LoadResult::Loaded);
  EXPECT_TRUE(m_translator.table().isEmpty());
  EXPECT_EQ(m_translator.Say("Begin"), "");
}

TEST_F(TranslatorLanguageFile, FindsTheFileWhateverTheLetterCaseOfTheName) {
  EXPECT_EQ(m_translator.setLanguageFile("gERMAN"), Translator::LoadResult::Loaded);
  EXPECT_EQ(m_translator.LanguageFile(), "gERMAN.lng");
  EXPECT_EQ(m_translator.Say("Begin"), "Starten");
}

TEST_F(TranslatorLookUp, IgnoresLetterCaseOfKeyAndEntry) {
  m_translator.setLanguageFile("German");
  EXPECT_EQ(m_translator.Say("BEGIN"), "Starten");
  EXPECT_EQ(m_translator.Say("begin"), "Starten");
  EXPECT_EQ(m_translator.Say("übersicht"), "Überblick");
}

TEST_F(TranslatorLookUp, FirstMatchingEntryWins) {
  writeLanguageFile(m_dir.path(), "Twice.lng", {"\"Begin\" | \"first\"", "\"BEGIN\" | \"second\""});
  m_translator.setLanguageFile("Twice");
  EXPECT_EQ(m_translator.Say("Begin"), "first");
}

TEST_F(TranslatorLookUp, UsingBaseAnswersTheBaseColumnAsWritten) {
  m_translator.setLanguageFile("German");
  m_translator.setUsingBase(true);
  EXPECT_EQ(m_translator.Say("BEGIN"), "Begin");
}

TEST_F(TranslatorLookUp, UnmatchedKeyOrEmptyTranslationAnswersNothing) {
  m_translator.setLanguageFile("German");
  EXPECT_EQ(m_translator.Say("Remove"), "");
  EXPECT_EQ(m_translator.Say("(1~65535)"), "");
}

TEST_F(TranslatorLookUp, EmptyKeyMatchesTheFirstEntryWithoutKey) {
  writeLanguageFile(m_dir.path(), "Section.lng", {"[Main]", "\"\" | \"not this\""});
  m_translator.setLanguageFile("Section");
  EXPECT_EQ(m_translator.Say(""), "");

  writeLanguageFile(m_dir.path(), "NoSection.lng", {"\"\" | \"this\"", "\"Begin\" | \"x\""});
  m_translator.setLanguageFile("NoSection");
  EXPECT_EQ(m_translator.Say(""), "this");
}

TEST_F(TranslatorLookUp, MatchesIdOrNameByMethod) {
  m_translator.setLanguageFile("German");
  m_translator.setLookUpMethod(1);
  EXPECT_EQ(m_translator.Say(2), "Hinzufügen");
  EXPECT_EQ(m_translator.Say("1"), "Starten");
  EXPECT_EQ(m_translator.Say("01"), "");
  EXPECT_EQ(m_translator.Say(0), "");  // the section line has id 0 and no value
  m_translator.setLookUpMethod(2);
  EXPECT_EQ(m_translator.Say("command1"), "Hinzufügen");
  EXPECT_EQ(m_translator.Say("Begin"), "");
}

TEST_F(TranslatorLookUp, UnsupportedMethodAnswersNothing) {
  m_translator.setLanguageFile("German");
  for (const int16_t method : {0, 4, -1}) {
    m_translator.setLookUpMethod(method);
    EXPECT_EQ(m_translator.Say("Begin"), "") << method;
  }
  EXPECT_EQ(Translator().Say("Begin"), "");
}

TEST(TranslatorProgramWide, IsOneInstance) {
  EXPECT_EQ(&Translator::programWide(), &Translator::programWide());
}
