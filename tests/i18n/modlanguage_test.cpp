#include "i18n/modlanguage.h"

#include "language_files.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

using i18ntest::writeLanguageFile;

namespace {

// A control with whichever of Caption and Text it is given.
class FakeControl : public Translatable {
 public:
  static std::unique_ptr<FakeControl> label(const QString& caption) {
    auto control = std::make_unique<FakeControl>();
    control->m_caption = caption;
    return control;
  }
  static std::unique_ptr<FakeControl> textBox(const QString& text) {
    auto control = std::make_unique<FakeControl>();
    control->m_text = text;
    return control;
  }

  std::optional<QString> Caption() const override { return m_caption; }
  bool setCaption(const QString& caption) override {
    if (m_failAssignments) throw std::runtime_error("property refused");
    if (!m_caption) return false;
    m_caption = caption;
    return true;
  }
  std::optional<QString> Text() const override { return m_text; }
  bool setText(const QString& text) override {
    if (m_failAssignments) throw std::runtime_error("property refused");
    if (!m_text) return false;
    m_text = text;
    return true;
  }
  QString Tag() const override { return m_tag; }
  void setTag(const QString& tag) override { m_tag = tag; }

  std::optional<QString> m_caption;
  std::optional<QString> m_text;
  QString m_tag;
  bool m_failAssignments = false;
};

class FakeWindow : public TranslatableWindow {
 public:
  QString windowName() const override { return "FrmMain"; }
  QString Caption() const override { return m_caption; }
  void setCaption(const QString& caption) override { m_caption = caption; }
  QString Tag() const override { return m_tag; }
  void setTag(const QString& tag) override { m_tag = tag; }
  std::vector<Translatable*> translatableControls() const override {
    std::vector<Translatable*> controls;
    for (const auto& control : m_controls) controls.push_back(control.get());
    return controls;
  }

  FakeControl* add(std::unique_ptr<FakeControl> control) {
    m_controls.push_back(std::move(control));
    return m_controls.back().get();
  }

  QString m_caption = "Vantrel - port forwarding tester";
  QString m_tag;
  std::vector<std::unique_ptr<FakeControl>> m_controls;
};

const QStringList kFrench = {
    "[FrmMain]",
    "1:{FrmMain} \"Vantrel - port forwarding tester\" | \"Vantrel - testeur\"",
    "2:{Command3} \"Begin\" | \"Démarrer\"",
    "3:{Text18} \"Port\" | \"Port\"",
};
const QStringList kGerman = {
    "[FrmMain]",
    "1:{FrmMain} \"Vantrel - port forwarding tester\" | \"Vantrel - Tester\"",
    "2:{Command3} \"Begin\" | \"Starten\"",
    "3:{Text18} \"Port\" | \"Anschluss\"",
    "4:{Command2} \"Remove\" | \"Entfernen\"",
};

class ModLanguage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    writeLanguageFile(m_dir.path(), "French.lng", kFrench);
    writeLanguageFile(m_dir.path(), "German.lng", kGerman);
    configure(m_translator);
    m_begin = m_window.add(FakeControl::label("Begin"));
    m_remove = m_window.add(FakeControl::label("Remove"));
    m_port = m_window.add(FakeControl::textBox("Port"));
    m_log = m_window.add(FakeControl::textBox(""));
    m_timer = m_window.add(std::make_unique<FakeControl>());
    m_timer->m_tag = "TTFF*/";
  }

  void configure(Translator& translator) const {
    translator.setLanguageFilePath(m_dir.path());
    translator.setLookUpMethod(3);
    translator.setUseFormName(m_window.windowName());
    translator.setBaseLanguage("English");
    translator.setUsingBase(true);
  }

  QTemporaryDir m_dir;
  Translator m_translator;
  FakeWindow m_window;
  FakeControl* m_begin = nullptr;
  FakeControl* m_remove = nullptr;
  FakeControl* m_port = nullptr;
  FakeControl* m_log = nullptr;
  FakeControl* m_timer = nullptr;
};

}  // namespace

TEST_F(ModLanguage, StoreDefaultTextsKeepsEachBuiltInTextInTheTag) {
  FakeControl* both = m_window.add(FakeControl::label("caption"));
  both->m_text = "text";
  StoreDefaultTexts(m_window);
  EXPECT_EQ(m_begin->m_tag, "Begin");
  EXPECT_EQ(m_port->m_tag, "Port");
  EXPECT_EQ(m_log->m_tag, "");
  EXPECT_EQ(both->m_tag, "text");
  EXPECT_EQ(m_timer->m_tag, "TTFF*/");
  EXPECT_EQ(m_window.m_tag, "Vantrel - port forwarding tester");
}

TEST_F(ModLanguage, ApplyTranslatesControlsAndWindowCaption) {
  StoreDefaultTexts(m_window);
  ApplyLanguage("German", m_window, m_translator);
  EXPECT_EQ(m_begin->m_caption, "Starten");
  EXPECT_EQ(m_remove->m_caption, "Entfernen");
  EXPECT_EQ(m_port->m_text, "Anschluss");
  EXPECT_EQ(m_window.m_caption, "Vantrel - Tester");
  // The stored base texts stay the keys for the next switch.
  EXPECT_EQ(m_begin->m_tag, "Begin");
  EXPECT_EQ(m_window.m_tag, "Vantrel - port forwarding tester");
}

TEST_F(ModLanguage, SwitchesFromLanguageToLanguageAndBackToTheBase) {
  StoreDefaultTexts(m_window);
  ApplyLanguage("German", m_window, m_translator);
  ApplyLanguage("French", m_window, m_translator);
  EXPECT_EQ(m_begin->m_caption, "Démarrer");
  EXPECT_EQ(m_port->m_text, "Port");
  EXPECT_EQ(m_window.m_caption, "Vantrel - testeur");
  // "Remove" has no French entry, so it keeps the German it showed.
  EXPECT_EQ(m_remove->m_caption, "Entfernen");

  ApplyLanguage("German", m_window, m_translator);
  ApplyLanguage("English", m_window, m_translator);
  // The base language answers from the first file (French.lng): whatever it
  // lists goes back to English, the rest keeps its current text.
  EXPECT_EQ(m_begin->m_caption, "Begin");
  EXPECT_EQ(m_port->m_text, "Port");
  EXPECT_EQ(m_window.m_caption, "Vantrel - port forwarding tester");
  EXPECT_EQ(m_remove->m_caption, "Entfernen");
}

TEST_F(ModLanguage, OverwritesATranslatedTextWhateverItHolds) {
  StoreDefaultTexts(m_window);
  m_port->m_text = "typed by the user";
  m_log->m_text = "Attempted connection from 127.0.0.1";
  ApplyLanguage("German", m_window, m_translator);
  EXPECT_EQ(m_port->m_text, "Anschluss");
  // An empty stored text has no translation, so the log is left alone.
  EXPECT_EQ(m_log->m_text, "Attempted connection from 127.0.0.1");
}

TEST_F(ModLanguage, LeavesControlsWithoutCaptionOrTextAlone) {
  StoreDefaultTexts(m_window);
  ApplyLanguage("German", m_window, m_translator);
  EXPECT_FALSE(m_timer->m_caption.has_value());
  EXPECT_FALSE(m_timer->m_text.has_value());
  EXPECT_EQ(m_timer->m_tag, "TTFF*/");
}

TEST_F(ModLanguage, LanguageThatCannotBeLoadedKeepsThePreviousTranslations) {
  StoreDefaultTexts(m_window);
  ApplyLanguage("German", m_window, m_translator);
  m_begin->m_caption = "changed";
  ApplyLanguage("Klingon", m_window, m_translator);
  EXPECT_EQ(m_begin->m_caption, "Starten");
}

TEST_F(ModLanguage, BaseLanguageWithNoFilesLeavesTheWindowAsItIs) {
  StoreDefaultTexts(m_window);
  Translator empty;
  configure(empty);
  empty.setLanguageFilePath(m_dir.filePath("absent"));
  ApplyLanguage("English", m_window, empty);
  EXPECT_EQ(m_begin->m_caption, "Begin");
  EXPECT_EQ(m_window.m_caption, "Vantrel - port forwarding tester");
}

TEST_F(ModLanguage, AFailingControlDoesNotStopTheWalk) {
  StoreDefaultTexts(m_window);
  m_begin->m_failAssignments = true;
  ApplyLanguage("German", m_window, m_translator);
  EXPECT_EQ(m_begin->m_caption, "Begin");
  EXPECT_EQ(m_remove->m_caption, "Entfernen");
  EXPECT_EQ(m_window.m_caption, "Vantrel - Tester");
}

TEST_F(ModLanguage, ApplyWithoutTranslatorUsesTheProgramWideOne) {
  configure(Translator::programWide());
  StoreDefaultTexts(m_window);
  ApplyLanguage("German", m_window);
  EXPECT_EQ(m_begin->m_caption, "Starten");
  EXPECT_EQ(Translator::programWide().LanguageFile(), "German.lng");
}

TEST(ConfigureTranslator, PointsAtTheLanguagesFolderAndLooksUpBaseTexts) {
  QTemporaryDir programFolder;
  ASSERT_TRUE(QDir(programFolder.path()).mkdir("Languages"));
  writeLanguageFile(programFolder.filePath("Languages"), "German.lng", kGerman);
  Translator translator;
  ConfigureTranslator(translator, programFolder.path(), "FrmMain");
  EXPECT_EQ(translator.LanguageFilePath(), programFolder.filePath("Languages") + "/");
  EXPECT_EQ(translator.languageFiles(), QStringList({"German.lng"}));
  EXPECT_EQ(translator.LookUpMethod(), 3);
  EXPECT_EQ(translator.UseFormName(), "FrmMain");
  EXPECT_EQ(translator.BaseLanguage(), "English");
  EXPECT_TRUE(translator.UsingBase());
  ASSERT_EQ(translator.setLanguageFile("German"), Translator::LoadResult::Loaded);
  EXPECT_EQ(translator.Say("begin"), "Starten");
}

TEST(LanguageNameOfItem, IsTheSecondPieceOfTheChooserItem) {
  EXPECT_EQ(LanguageNameOfItem("Deutsch | German"), "German");
  EXPECT_EQ(LanguageNameOfItem("English | English"), "English");
  EXPECT_EQ(LanguageNameOfItem("A | B | C"), "B");
  EXPECT_EQ(LanguageNameOfItem(" | "), "");
  EXPECT_EQ(LanguageNameOfItem("English"), std::nullopt);
  EXPECT_EQ(LanguageNameOfItem("Deutsch |German"), std::nullopt);
  EXPECT_EQ(LanguageNameOfItem(""), std::nullopt);
}
