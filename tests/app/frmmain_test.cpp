// The main window as built: every control's kind, text, visibility, Tag and
// place, the hidden message texts, the list's columns, start-up on an empty
// program folder, the language chooser, shutdown, and the socket warnings
// shown over the window.
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QTimer>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QWebEngineView>

#include "app/frmmain.h"
#include "messageboxanswerer.h"
#include "net/unisock.h"
#include "platform/twips.h"
#include "test_support.h"
#include "testsite.h"

namespace {

QRect twips(int left, int top, int width, int height) {
  return twipsRect(left, top, width, height);
}

}  // namespace

class FrmMainTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(m_folder.isValid());
    m_window = std::make_unique<FrmMain>(m_folder.path());
  }
  void cleanup() { m_window.reset(); }

  void controlsHaveKindTextVisibilityTagAndPlace_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QRect>("place");
    const QString topLeft = QStringLiteral("TTFF*/");
    auto row = [](const char* name, const char* kind, const char* text, bool visible,
                  const QString& tag, QRect place) {
      QTest::newRow(name) << name << kind << QString::fromUtf8(text) << visible << tag << place;
    };
    row("Label1", "QLabel", "IP To Listen On:", true, topLeft, twips(660, 90, 1275, 195));
    row("Combo1", "QComboBox", "", true, topLeft, twips(1980, 60, 1695, 300));
    row("Label4", "QLabel", "Router updated ok but port forwarding still fails?", true, topLeft,
        twips(150, 390, 3525, 405));
    row("Label8", "QLabel", "Click Here For Help", true, topLeft, twips(60, 780, 3615, 195));
    row("Frame1", "QGroupBox", "Add/Remove Port", true, topLeft, twips(60, 1050, 3615, 1005));
    row("Label2", "QLabel", "Port #:", true, topLeft, twips(105, 270, 600, 195));
    row("Text1", "QLineEdit", "", true, topLeft, twips(720, 240, 615, 270));
    row("Label7", "QLabel", "(1~65535)", true, topLeft, twips(1410, 270, 855, 195));
    row("Combo2", "QComboBox", "", true, QString(), twips(2550, 240, 765, 300));
    row("Command1", "QPushButton", "Add", true, topLeft, twips(2340, 630, 1155, 270));
    row("Command3", "QPushButton", "Begin", true, topLeft, twips(2310, 2130, 1365, 375));
    row("Label6", "QLabel", "Checking Port:", false, topLeft, twips(120, 2220, 2145, 195));
    row("dBar1", "AnimationBar", "", true, QString(), twips(60, 2580, 3585, 195));
    row("Label5", "QLabel",
        "Note: Make sure you have applied all ports to your router for port forwarding or the "
        "tests will fail "
        "for those ports.",
        true, topLeft, twips(60, 2850, 3615, 1140));
    row("ListView1", "QTreeWidget", "", true, topLeft, twips(60, 4020, 3615, 1725));
    row("Command2", "QPushButton", "Remove", true, topLeft, twips(2520, 5820, 1155, 270));
    row("Combo3", "QComboBox", "", true, QString(), twips(60, 8340, 2445, 300));
    row("Label3", "QLabel", "<-- Click Begin To Test The Selected Ports", true, topLeft,
        twips(3750, 2160, 5595, 285));
    row("WebBrowser1", "QWebEngineView", "", false, QStringLiteral("TTTT*/"),
        twips(3750, 60, 8175, 7935));
    row("Text2", "QPlainTextEdit", "", true, QStringLiteral("TFTT*/"),
        twips(3750, 8040, 8175, 270));
    row("Text3", "QPlainTextEdit", "", true, QStringLiteral("TFTT*/"),
        twips(3750, 8370, 8175, 270));
  }

  void controlsHaveKindTextVisibilityTagAndPlace() {
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(bool, visible);
    QFETCH(QString, tag);
    QFETCH(QRect, place);
    auto* widget = m_window->findChild<QWidget*>(name);
    QVERIFY2(widget != nullptr, qPrintable(name));
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), kind);
    QCOMPARE(shownText(widget), text);
    QCOMPARE(!widget->isHidden(), visible);
    QCOMPARE(widget->property("Tag").toString(), tag);
    QCOMPARE(widget->geometry(), place);
  }

  void frameHoldsItsControls() {
    for (const char* name : {"Label2", "Text1", "Label7", "Combo2", "Command1"}) {
      QCOMPARE(m_window->findChild<QWidget*>(name)->parentWidget(), m_window->Frame1.widget());
    }
  }

  void windowHasClientAreaCaptionAndFont() {
    QCOMPARE(m_window->size(), QSize(twipsToPixels(11985), twipsToPixels(8700)));
    QVERIFY(m_window->windowTitle().startsWith(QStringLiteral("Vantrel")));
    QVERIFY(m_window->windowTitle().size() > QStringLiteral("Vantrel").size());
    QCOMPARE(m_window->font().families().value(0), QStringLiteral("Verdana"));
    QVERIFY(m_window->font().families().contains(QStringLiteral("DejaVu Sans")));
    QCOMPARE(m_window->windowName(), QStringLiteral("FrmMain"));
  }

  void hiddenTextsHoldTheMessages() {
    const QStringList expected = {
        "Last Error Status Code:",
        "Page Status:",
        "This Port is already in the Port List, Please choose another.",
        "Are You Sure Yo Want To Delete This Entry?",
        "Confirm Delete:",
        "You must have at least 1 port in the port list to continue.",
        "Checking Port: Working...",
        "Listening...",
        "Checking...",
        "Checking Port:",
        "Page Status: Waiting For Port Results...",
        "Success",
        "Failed",
        "Checking Port: DONE!",
        "Port",
        "Status",
        "Open?",
        "",
        "Unable to check the port, close any programs using the port and try again.",
        "Port in use.",
        "Test site unreachable",
        "Test site answered",
        "No answer from the test site",
        "Not a test page",
        "Not a port number",
        "Ports below 1024 need permission",
        "To test ports below 1024, run as administrator:",
        "Stop",
        "Checking Port: Stopped.",
    };
    const std::vector<Translatable*> controls = m_window->translatableControls();
    for (int i = 0; i < expected.size(); ++i) {
      const QString name = QStringLiteral("Text%1").arg(i + 4);
      auto* widget = m_window->findChild<QWidget*>(name);
      QVERIFY2(widget != nullptr, qPrintable(name));
      QVERIFY2(widget->isHidden(), qPrintable(name));
      // The translation walk reaches them, after the visible controls.
      const Translatable* control = controls.at(static_cast<size_t>(20 + i));
      QCOMPARE(control->Text().value_or(QStringLiteral("<none>")), expected.at(i));
    }
    QCOMPARE(m_window->Text9.Text(), expected.at(5));
    QVERIFY(m_window->Text21.isMultiLine());
  }

  void collectionOrderFollowsTheControlTable() {
    const std::vector<Translatable*> controls = m_window->translatableControls();
    QCOMPARE(controls.size(), size_t{74});
    QCOMPARE(controls.at(0)->Caption().value_or(QString()), QStringLiteral("IP To Listen On:"));
    QVERIFY(controls.at(1)->Text().has_value());  // Combo1
    QCOMPARE(controls.at(4)->Caption().value_or(QString()), QStringLiteral("Add/Remove Port"));
    QCOMPARE(controls.at(9)->Caption().value_or(QString()), QStringLiteral("Add"));
    // The list and the browser have neither caption nor text, only a Tag.
    QVERIFY(!controls.at(13)->Caption() && !controls.at(13)->Text());
    QVERIFY(!controls.at(17)->Caption() && !controls.at(17)->Text());
    QCOMPARE(controls.at(17)->Tag(), QStringLiteral("TTTT*/"));
    // A Tag written through the interface is what the anchor control reads.
    controls.at(0)->setTag(QStringLiteral("IP To Listen On:"));
    QCOMPARE(m_window->Label1.widget()->property("Tag").toString(),
             QStringLiteral("IP To Listen On:"));
    QCOMPARE(m_window->controlWidgets().size(), size_t{76});
  }

  void listViewHasItsColumns() {
    UniColumnHeaders headers = m_window->ListView1.ColumnHeaders();
    QCOMPARE(headers.Count(), 4);
    QCOMPARE(headers.Item(1).Text(), QStringLiteral("Port"));
    QCOMPARE(headers.Item(2).Text(), QString());
    QCOMPARE(headers.Item(3).Text(), QStringLiteral("Status"));
    QCOMPARE(headers.Item(4).Text(), QStringLiteral("Open?"));
    QTreeWidget* tree = m_window->ListView1.treeWidget();
    QCOMPARE(tree->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(!tree->rootIsDecorated());
    QVERIFY(!tree->header()->isHidden());
  }

  void startupOnEmptyFolderCompletes() {
    m_window->show();
    m_window->Form_Load();
    QCOMPARE(m_window->Combo3.ListCount(), 1);
    QCOMPARE(m_window->Combo3.Text(), QStringLiteral("English | English"));
    QCOMPARE(m_window->Combo2.Text(), QStringLiteral("TCP"));
    QCOMPARE(m_window->Combo2.ListCount(), 2);
    QCOMPARE(m_window->Combo2.List(1), QStringLiteral("UDP"));
    QCOMPARE(m_window->ListView1.ListItems().Count(), 0);
    QCOMPARE(m_window->Text3.Text(), QString());
    QVERIFY(!m_window->pageLoaded);
    QVERIFY(!m_window->closing);
    QVERIFY(!m_window->ipProbeSocket);
    QVERIFY(!m_window->WebBrowser1.Visible());
    QVERIFY(m_window->tcpTestPageUrl().endsWith(QStringLiteral("/port_test.php")));
    QVERIFY(
        m_window->helpPageUrl().endsWith(QStringLiteral("/common-problems-fixes-port-forwarding")));
    // Nothing was written into the program folder.
    QVERIFY(QDir(m_folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
  }

  void startupLoadsTestPageOfConfiguredSiteIntoHiddenBrowser() {
    TestSite site;
    QFile settings(m_folder.filePath(QStringLiteral("settings.ini")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(QStringLiteral("[main]\r\nsite=%1/\r\n").arg(site.url(QString())).toUtf8());
    settings.close();
    FrmMain window(m_folder.path());
    QList<QUrl> completed;
    connect(&window.WebBrowser1, &WebBrowser::DocumentComplete, this,
            [&](const QUrl& url) { completed << url; });
    window.Form_Load();
    QCOMPARE(window.tcpTestPageUrl(), site.url(QStringLiteral("/port_test.php")));
    QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 1, 30000);
    QCOMPARE(completed.first(), QUrl(site.url(QStringLiteral("/port_test.php"))));
    QVERIFY(site.requests().contains(QStringLiteral("GET /port_test.php")));
    QVERIFY(!window.WebBrowser1.Visible());
    QCOMPARE(window.WebBrowser1.Document().forms(0).length(), 3);
  }

  void startupWithMissingFolderCompletes() {
    FrmMain window(m_folder.path() + QStringLiteral("/does/not/exist"));
    window.Form_Load();
    QCOMPARE(window.Combo3.Text(), QStringLiteral("English | English"));
  }

  void pickingLanguageRetitlesColumnsButNotProtocol() {
    m_window->Form_Load();
    m_window->Text18.setText(QStringLiteral("Puerto"));
    m_window->Text19.setText(QStringLiteral("Estado"));
    m_window->Text20.setText(QStringLiteral("Abierto?"));
    QComboBox* combo = m_window->Combo3.comboBox();
    emit combo->activated(0);
    UniColumnHeaders headers = m_window->ListView1.ColumnHeaders();
    QCOMPARE(headers.Item(1).Text(), QStringLiteral("Puerto"));
    QCOMPARE(headers.Item(2).Text(), QString());
    QCOMPARE(headers.Item(3).Text(), QStringLiteral("Estado"));
    QCOMPARE(headers.Item(4).Text(), QStringLiteral("Abierto?"));
  }

  void buttonsNeverStayPressed() {
    // "Begin" on an empty list asks for a port in a modal box; answer it.
    QTimer answer;
    int attempts = 0;
    connect(&answer, &QTimer::timeout, this, [&] {
      if (++attempts > 600) answer.stop();
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible())
          box->accept();
      }
    });
    answer.start(50);
    for (UniCheck* button : {&m_window->Command1, &m_window->Command2, &m_window->Command3}) {
      m_window->show();
      QTest::mouseClick(button->button(), Qt::LeftButton);
      QCOMPARE(button->Value(), 0);
    }
  }

  void closingRaisesTheAbortFlags() {
    m_window->Form_Load();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QVERIFY(m_window->close());
    QVERIFY(m_window->abortRequested);
    QVERIFY(m_window->closing);
    QVERIFY(!m_window->Winsock);
    QVERIFY(!m_window->isVisible());
  }

  // Only a socket Error handler that clears cancelDisplay gets a warning: a
  // box over the window, titled with the error's source. Without the window
  // the warning goes to the log.
  void socketWarningsAppearAsBoxesWhileTheWindowLives() {
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QList<int> errors;
    UniSock quiet;
    UniSock loud;
    UniSock late;
    auto record = [&](bool warn) {
      return [&errors, warn](short number, QString&, int, const QString&, const QString&, int,
                             bool& cancelDisplay) {
        errors << number;
        if (warn) cancelDisplay = false;
      };
    };
    connect(&quiet, &UniSock::Error, record(false));
    connect(&loud, &UniSock::Error, record(true));
    connect(&late, &UniSock::Error, record(true));
    MessageBoxAnswerer answerer(QMessageBox::Ok);
    quiet.connect(QStringLiteral("127.0.0.1"), testsupport::freeTcpPort());
    QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, 10000);
    loud.connect(QStringLiteral("127.0.0.1"), testsupport::freeTcpPort());
    QTRY_COMPARE_WITH_TIMEOUT(answerer.boxesAnswered(), 1, 10000);
    QCOMPARE(answerer.seen().title, QStringLiteral("UniSock.WndProc"));
    QCOMPARE(answerer.seen().text, QStringLiteral("Connection refused."));
    QCOMPARE(answerer.seen().icon, QMessageBox::Warning);

    m_window.reset();
    QTest::ignoreMessage(QtWarningMsg, "UniSock.WndProc: Connection refused.");
    late.connect(QStringLiteral("127.0.0.1"), testsupport::freeTcpPort());
    QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 3, 10000);
    QCOMPARE(errors, (QList<int>{10061, 10061, 10061}));
    QCOMPARE(answerer.boxesAnswered(), 1);
  }

 private:
  static QString shownText(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<QPushButton*>(widget)) return button->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
    if (auto* line = qobject_cast<QLineEdit*>(widget)) return line->text();
    if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) return plain->toPlainText();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
    return {};
  }

  QTemporaryDir m_folder;
  std::unique_ptr<FrmMain> m_window;
};

QTEST_MAIN(FrmMainTest)
#include "frmmain_test.moc"
