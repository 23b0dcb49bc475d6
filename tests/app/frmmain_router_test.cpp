// The real window's router help where no router answers: the search runs
// beside the window and the window says that none was found; a row that fails
// is explained in the status box and its tooltip, with the public address
// the result page names. The program runs in a network namespace of its own
// with loopback only, so its search never leaves this test (it needs root;
// elsewhere it skips). Behind the provider's NAT a failed row is offered a
// test over the computer's IPv6 address. Screenshots in two languages are saved for a look.
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <QTreeWidget>

#include "app/frmmain.h"
#include "app/routerhelp.h"
#include "messageboxanswerer.h"
#include "persist/modini.h"
#include "test_support.h"
#include "testsite.h"

namespace {

// Moves the process into a new network namespace with only loopback, up.
// Before the application starts, so that every thread and helper process of
// the browser is made inside it.
bool isolateNetwork() { return unshare(CLONE_NEWNET) == 0 && testsupport::bringUpLoopback(); }

bool copyFolder(const QString& from, const QString& to) {
  if (!QDir().mkpath(to)) return false;
  for (const QString& name : QDir(from).entryList(QDir::Files)) {
    QFile::remove(to + QLatin1Char('/') + name);
    if (!QFile::copy(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name)) return false;
  }
  return true;
}

QString screenshotFolder() {
  const QString folder =
      qEnvironmentVariable("VANTREL_BINARY_DIR", QDir::tempPath()) + "/screenshots";
  QDir().mkpath(folder);
  return folder;
}

// The newest line of the one-line status box.
QString newestLine(const UniText& text) { return text.Text().split(QStringLiteral("\r\n")).last(); }

// A port nothing listens on right now.
int freePort() {
  QTcpServer server;
  return server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0;
}

}  // namespace

class RouterHelpTest : public QObject {
  Q_OBJECT

 public:
  explicit RouterHelpTest(bool isolated) : m_isolated(isolated) {}

 private slots:
  void init() {
    if (!m_isolated)
      QSKIP(
          "needs a network namespace of its own (root), so that no search reaches a real network");
    QVERIFY(m_folder.isValid());
  }
  void cleanup() { m_window.reset(); }

  void noRouterIsShownWithoutHoldingTheWindow() {
    start(QStringLiteral("English | English"));
    RouterHelp& help = m_window->routerHelp();
    QVERIFY(!help.searched());

    MessageBoxAnswerer answerer(QMessageBox::Ok);
    // What a click on the link does. It comes back before any answer: the
    // search runs beside the window.
    help.showRouter();
    QVERIFY(help.searching());
    QCOMPARE(newestLine(m_window->Text2), m_window->Text33.Text());

    // Within the task's own limits (discovery plus the answer's), with room.
    QTRY_COMPARE_WITH_TIMEOUT(answerer.boxesAnswered(), 1, 30000);
    QVERIFY(help.searched());
    QVERIFY(!help.gateway().found());
    QCOMPARE(answerer.seen().text, QStringLiteral("Router: none found"));
    QCOMPARE(answerer.seen().title, QStringLiteral("Router..."));
    QCOMPARE(newestLine(m_window->Text2), QStringLiteral("Router: none found"));
    QCOMPARE(m_window->Label9.label()->toolTip(), QStringLiteral("Router: none found"));
    QVERIFY(m_window->grab().save(screenshotFolder() + "/frmmain_router_English.png"));
  }

  void aFailedRowIsExplainedInTheStatusBoxAndItsTooltip() {
    start(QStringLiteral("Deutsch | German"));
    const QString port = QString::number(freePort());
    QVERIFY(port != QStringLiteral("0"));
    m_window->Combo1.setText(QStringLiteral("127.0.0.1"));
    m_window->Text1.setText(port);
    QTest::mouseClick(m_window->Command1.button(), Qt::LeftButton);
    QCOMPARE(m_window->ListView1.ListItems().Count(), 1);

    QTest::mouseClick(m_window->Command3.button(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->running, 60000);
    const UniListItem row = m_window->ListView1.ListItems().Item(1);
    QCOMPARE(row.SubItems(3), m_window->Text16.Text());

    // No router answers here: the cause stays unknown, and says why.
    const QString reason = m_window->Text41.Text() + ": " + m_window->Text50.Text() + " (" +
                           m_window->Text42.Text() + " " + TestSite::kAddressTested + ")";
    QTreeWidgetItem* item = m_window->ListView1.treeWidget()->topLevelItem(0);
    QTRY_COMPARE_WITH_TIMEOUT(item->toolTip(3), reason, 30000);
    QCOMPARE(item->toolTip(0), reason);
    QCOMPARE(newestLine(m_window->Text2),
             port + " TCP: " + m_window->Text16.Text() + " - " + reason);
    QCOMPARE(m_window->Text41.Text(), QStringLiteral("Ursache unbekannt"));
    QVERIFY(m_window->grab().save(screenshotFolder() + "/frmmain_router_German.png"));
  }

  void behindTheProvidersNatAFailedRowIsOfferedAnIpv6Test() {
    start(QStringLiteral("English | English"));
    UniCombo& chooser = m_window->Combo1;
    chooser.AddItem(QStringLiteral("192.0.2.7"));
    chooser.AddItem(QStringLiteral("2001:db8::7 (temporary)"));
    chooser.AddItem(QStringLiteral("2001:db8::8"));
    chooser.setListIndex(0);
    m_window->Text1.setText(QStringLiteral("4000"));
    QTest::mouseClick(m_window->Command1.button(), Qt::LeftButton);
    QTreeWidget* tree = m_window->ListView1.treeWidget();
    // The list kept from the earlier cases is loaded too.
    const QList<QTreeWidgetItem*> rows = tree->findItems(QStringLiteral("4000"), Qt::MatchExactly);
    QCOMPARE(rows.size(), 1);
    QTreeWidgetItem* item = rows.first();
    item->setText(3, m_window->Text16.Text());  // as a test that failed leaves it
    tree->clearSelection();
    item->setSelected(true);

    m_window->routerHelp().showDiagnosis(QStringLiteral("4000"), QStringLiteral("TCP"),
                                         router::Diagnosis::Cgnat, {},
                                         router::Ipv4::parse(QStringLiteral("100.64.0.9")));
    const QString reason = m_window->Text39.Text() + " (" + m_window->Text42.Text() +
                           " 100.64.0.9); " + m_window->Text55.Text() + " 2001:db8::7";
    QCOMPARE(item->toolTip(3), reason);
    QCOMPARE(newestLine(m_window->Text2), "4000 TCP: " + m_window->Text16.Text() + " - " + reason);

    // The menu's last entry chooses that address, and nothing more.
    QStringList entries;
    QTimer menuCloser;
    menuCloser.setInterval(20);
    connect(&menuCloser, &QTimer::timeout, [&] {
      QMenu* menu = tree->findChild<QMenu*>();
      if (menu == nullptr || !menu->isVisible()) return;
      for (QAction* entry : menu->actions()) entries << entry->text();
      menu->actions().last()->trigger();
      menu->close();
    });
    menuCloser.start();
    emit tree->customContextMenuRequested(QPoint(1, 1));
    QCOMPARE(entries.value(3), m_window->Text56.Text());
    QCOMPARE(m_window->Combo1.Text(), QStringLiteral("2001:db8::7 (temporary)"));
    QVERIFY(!m_window->running);
  }

 private:
  void start(const QString& language) {
    QVERIFY(copyFolder(testsupport::sourceDir() + QStringLiteral("/Languages"),
                       m_folder.filePath(QStringLiteral("Languages"))));
    const QString settings = m_folder.filePath(QStringLiteral("settings.ini"));
    QVERIFY(WriteIniValue("main", "site", m_site.url(QString()), settings));
    QVERIFY(WriteIniValue("main", "language", language, settings));
    QVERIFY(WriteIniValue("main", "page_timeout_s", "30", settings));
    m_window = std::make_unique<FrmMain>(m_folder.path());
    m_window->Form_Load();
    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get(), 10000));
  }

  bool m_isolated;
  TestSite m_site;
  QTemporaryDir m_folder;
  std::unique_ptr<FrmMain> m_window;
};

int main(int argc, char** argv) {
  const bool isolated = isolateNetwork();
  QApplication application(argc, argv);
  RouterHelpTest test(isolated);
  return QTest::qExec(&test, argc, argv);
}

#include "frmmain_router_test.moc"
