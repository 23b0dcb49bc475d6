// The real window with the shipped language files: it starts in the language
// settings.ini names, follows the user's picks in the language chooser (which
// it stores), and every control shows the expected text at each step. The
// column headers follow only a pick. The shipped files are checked against the
// texts this very window stores, and screenshots in two non-Latin scripts are
// saved for a look.
#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include "../i18n/main_window_texts.h"
#include "app/frmmain.h"
#include "i18n/languagefile.h"
#include "i18n/languagetable.h"
#include "persist/modini.h"
#include "test_support.h"
#include "windowactivation.h"

namespace {

QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool copyFolder(const QString& from, const QString& to) {
  if (!QDir().mkpath(to)) return false;
  for (const QString& name : QDir(from).entryList(QDir::Files)) {
    const QString target = to + QLatin1Char('/') + name;
    QFile::remove(target);
    if (!QFile::copy(from + QLatin1Char('/') + name, target)) return false;
  }
  return true;
}

QString shippedFolder() { return testsupport::sourceDir() + QStringLiteral("/Languages"); }

// The translations of one shipped file, read independently of the window.
LanguageTable shippedTable(const QString& language) {
  return LanguageTable(
      ParseLanguageFile(readFile(shippedFolder() + QLatin1Char('/') + language + ".lng")));
}

// What a control shows: a caption for labels, frames and buttons, else its text.
QString shownText(QWidget* widget) {
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* button = qobject_cast<QPushButton*>(widget)) return button->text();
  if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
  if (auto* line = qobject_cast<QLineEdit*>(widget)) return line->text();
  if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) return plain->toPlainText();
  if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
  return {};
}

QString screenshotFolder() {
  const QString folder =
      qEnvironmentVariable("VANTREL_BINARY_DIR", QDir::tempPath()) + "/screenshots";
  QDir().mkpath(folder);
  return folder;
}

}  // namespace

class MainWindowLanguageTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(m_folder.isValid());
    QVERIFY(copyFolder(shippedFolder(), m_folder.filePath(QStringLiteral("Languages"))));
  }
  void cleanup() {
    m_window.reset();
    QFile::remove(settingsFile());
  }

  void startsInTheStoredLanguageAndFollowsEveryPick() {
    QVERIFY(WriteIniValue("main", "language", "Deutsch | German", settingsFile()));
    start();
    captureBaseTexts();
    QCOMPARE(m_window->Combo3.Text(), QStringLiteral("Deutsch | German"));
    // The listed languages, then English, added by the program itself.
    QCOMPARE(m_window->Combo3.List(m_window->Combo3.ListCount() - 1),
             QStringLiteral("English | English"));
    QVERIFY(m_window->Combo3.ListCount() >= 9);
    expectLanguage(shippedTable("German"), false);
    // Starting in a language leaves the column headers alone.
    expectHeaders({"Port", "", "Status", "Open?"});

    pickLanguage(QStringLiteral("Français | French"));
    QCOMPARE(ReadIniValue("main", "language", settingsFile()), QStringLiteral("Français | French"));
    const LanguageTable french = shippedTable("French");
    expectLanguage(french, false);
    expectHeaders({french.find(LookUpField::Key, "Port")->value, "",
                   french.find(LookUpField::Key, "Status")->value,
                   french.find(LookUpField::Key, "Open?")->value});
    QVERIFY(m_window->ListView1.ColumnHeaders().Item(3).Text() != QStringLiteral("Status"));

    pickLanguage(QStringLiteral("English | English"));
    QCOMPARE(ReadIniValue("main", "language", settingsFile()), QStringLiteral("English | English"));
    expectLanguage(shippedTable("English"), true);
    expectHeaders({"Port", "", "Status", "Open?"});
    QCOMPARE(m_window->windowTitle(),
             QStringLiteral("Vantrel - Port Forwarding Check by Vantrel Labs"));
  }

  void aStoredValueWithoutBarKeepsTheBuiltInTexts() {
    QVERIFY(WriteIniValue("main", "language", "German", settingsFile()));
    start();
    captureBaseTexts();
    QCOMPARE(m_window->Combo3.Text(), QStringLiteral("German"));
    QCOMPARE(m_window->Command3.Caption(), QStringLiteral("Begin"));
    QCOMPARE(m_window->Text6.Text(),
             QStringLiteral("This Port is already in the Port List, Please choose another."));
  }

  void shippedFilesTranslateExactlyTheTextsTheWindowStores() {
    start();
    QSet<QString> stored{m_window->Tag()};
    for (Translatable* control : m_window->translatableControls()) {
      if (!control->Tag().isEmpty()) stored.insert(control->Tag());
    }
    // The list the language checker works from is the window's own.
    QSet<QString> listed;
    for (const auto& windowText : i18ntest::mainWindowTexts()) listed.insert(windowText.text);
    QCOMPARE(stored, listed);

    const QStringList files = QDir(shippedFolder()).entryList({"*.lng"}, QDir::Files);
    QVERIFY(files.size() >= 9);
    for (const QString& file : files) {
      const LanguageTable table = shippedTable(QFileInfo(file).completeBaseName());
      for (const QString& text : stored) {
        const LanguageEntry* entry = table.find(LookUpField::Key, text);
        QVERIFY2(entry != nullptr && !entry->value.isEmpty(), qPrintable(file + ": " + text));
      }
      for (const LanguageEntry& entry : table.entries()) {
        QVERIFY2(entry.key.isEmpty() || stored.contains(entry.key),
                 qPrintable(file + ": " + entry.key));
      }
    }
  }

  void everyLanguageFitsTheWindow_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QFontDatabase::WritingSystem>("script");
    QTest::newRow("Japanese") << QStringLiteral("日本語 | Japanese") << QFontDatabase::Japanese;
    QTest::newRow("SimplifiedChinese")
        << QStringLiteral("简体中文 | SimplifiedChinese") << QFontDatabase::SimplifiedChinese;
    QTest::newRow("Russian") << QStringLiteral("Русский | Russian") << QFontDatabase::Cyrillic;
    QTest::newRow("Polish") << QStringLiteral("Polski | Polish") << QFontDatabase::Latin;
    QTest::newRow("German") << QStringLiteral("Deutsch | German") << QFontDatabase::Latin;
    QTest::newRow("French") << QStringLiteral("Français | French") << QFontDatabase::Latin;
    QTest::newRow("Spanish") << QStringLiteral("Español | Spanish") << QFontDatabase::Latin;
    QTest::newRow("Italian") << QStringLiteral("Italiano | Italian") << QFontDatabase::Latin;
    QTest::newRow("Dutch") << QStringLiteral("Nederlands | Dutch") << QFontDatabase::Latin;
    QTest::newRow("BrazilianPortuguese")
        << QStringLiteral("Português (Brasil) | BrazilianPortuguese") << QFontDatabase::Latin;
    QTest::newRow("English") << QStringLiteral("English | English") << QFontDatabase::Latin;
  }

  // Screenshots of each are saved; the non-Latin ones are worth a look.
  void everyLanguageFitsTheWindow() {
    QFETCH(QString, item);
    QFETCH(QFontDatabase::WritingSystem, script);
    QVERIFY2(!QFontDatabase::families(script).isEmpty(), "no font for the script is installed");
    QVERIFY(WriteIniValue("main", "language", item, settingsFile()));
    start();
    captureBaseTexts();
    QCOMPARE(m_window->Combo3.Text(), item);
    expectLanguage(shippedTable(item.section(" | ", 1)),
                   item == QStringLiteral("English | English"));
    const QImage shot = m_window->grab().toImage();
    QVERIFY(shot.save(screenshotFolder() + "/frmmain_" +
                      QString::fromLatin1(QTest::currentDataTag()) + ".png"));
    // Every label's and button's text fits its place (word-wrapped labels by
    // height); the progress label counts too, though it shows only during a run.
    QStringList clipped;
    for (QLabel* label : m_window->findChildren<QLabel*>()) {
      if (label->text().isEmpty()) continue;
      const QSize needed = label->wordWrap() ? QSize(0, label->heightForWidth(label->width()))
                                             : QSize(label->sizeHint().width(), 0);
      if (needed.width() > label->width() + 2 || needed.height() > label->height() + 2) {
        clipped << QStringLiteral("%1 needs %2 x %3 in %4 x %5: %6")
                       .arg(label->objectName())
                       .arg(needed.width())
                       .arg(needed.height())
                       .arg(label->width())
                       .arg(label->height())
                       .arg(label->text());
      }
    }
    for (QPushButton* button : m_window->findChildren<QPushButton*>()) {
      const int needed = button->fontMetrics().horizontalAdvance(button->text()) + 8;
      if (needed > button->width()) {
        clipped << QStringLiteral("%1 needs %2 in %3: %4")
                       .arg(button->objectName())
                       .arg(needed)
                       .arg(button->width())
                       .arg(button->text());
      }
    }
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral("\n"))));
  }

 private:
  QString settingsFile() const { return m_folder.filePath(QStringLiteral("settings.ini")); }

  void start() {
    m_window = std::make_unique<FrmMain>(m_folder.path());
    m_window->Form_Load();
    m_window->show();
    QVERIFY(testsupport::activateWindow(*m_window));
  }

  // Each control's base text as StoreDefaultTexts kept it.
  void captureBaseTexts() {
    m_baseTexts.clear();
    for (QWidget* widget : m_window->controlWidgets()) {
      if (widget != nullptr) m_baseTexts.insert(widget, widget->property("Tag").toString());
    }
    m_baseCaption = m_window->Tag();
  }

  // Every control with a base text shows its translation (or, in English, the
  // base text itself); the others show what the program put there.
  void expectLanguage(const LanguageTable& table, bool english) {
    for (auto it = m_baseTexts.cbegin(); it != m_baseTexts.cend(); ++it) {
      QWidget* widget = it.key();
      const QString base = it.value();
      if (base.isEmpty()) continue;
      const LanguageEntry* entry = table.find(LookUpField::Key, base);
      QVERIFY2(entry != nullptr, qPrintable(base));
      const QString expected = english ? base : entry->value;
      QCOMPARE(shownText(widget), expected);
    }
    const LanguageEntry* caption = table.find(LookUpField::Key, m_baseCaption);
    QVERIFY(caption != nullptr);
    QCOMPARE(m_window->windowTitle(), english ? m_baseCaption : caption->value);
    QCOMPARE(m_window->Combo2.Text(), QStringLiteral("TCP"));
    QCOMPARE(m_window->Text1.Text(), QString());
  }

  void expectHeaders(const QStringList& expected) {
    UniColumnHeaders headers = m_window->ListView1.ColumnHeaders();
    for (int column = 1; column <= 4; ++column) {
      QCOMPARE(headers.Item(column).Text(), expected.at(column - 1));
    }
  }

  // Opens the language chooser's list and clicks the item, as a user does.
  void pickLanguage(const QString& item) {
    QComboBox* combo = m_window->Combo3.comboBox();
    const int index = combo->findText(item);
    QVERIFY2(index >= 0, qPrintable(item));
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QTRY_VERIFY_WITH_TIMEOUT(view->isVisible(), 5000);
    const QModelIndex modelIndex = view->model()->index(index, 0);
    view->scrollTo(modelIndex);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(modelIndex).center());
    QTRY_VERIFY_WITH_TIMEOUT(!view->isVisible(), 5000);
    QCOMPARE(m_window->Combo3.Text(), item);
  }

  QTemporaryDir m_folder;
  std::unique_ptr<FrmMain> m_window;
  QHash<QWidget*, QString> m_baseTexts;
  QString m_baseCaption;
};

QTEST_MAIN(MainWindowLanguageTest)
#include "frmmain_language_test.moc"
