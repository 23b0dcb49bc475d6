// A port test run as a person does it: the real window, the real vantrel-site
// and the real browser, all on 127.0.0.1. Rows are put into the list, "Begin"
// is clicked, and the results are read from the list view.
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <QUrl>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <memory>

#include "app/frmmain.h"
#include "controls/animationbar.h"
#include "net/privilegedbind.h"
#include "sitefixture.h"
#include "test_support.h"
#include "windowactivation.h"

namespace {

const QString kSuccess = QStringLiteral("Success");
const QString kFailed = QStringLiteral("Failed");
const QString kDone = QStringLiteral("Checking Port: DONE!");

// A port that is free for TCP and for UDP on 127.0.0.1 right now.
int freePortForBoth() {
  for (int attempt = 0; attempt < 50; ++attempt) {
    const int port = testsupport::freeTcpPort();
    QUdpSocket udp;
    if (udp.bind(QHostAddress::LocalHost, static_cast<quint16>(port))) return port;
  }
  return testsupport::freeTcpPort();
}

struct RowView {
  QString port, protocol, status, open;
};

// A web server on 127.0.0.1 that is no test site: it either accepts
// connections and never answers, or answers every request with a page that
// has no form.
class CannedServer {
 public:
  enum class Answer { Nothing, PageWithoutForm };

  explicit CannedServer(Answer answer) {
    m_server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this, answer] {
      while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        ++m_connections;
        if (answer == Answer::Nothing) continue;
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
          if (!socket->readAll().contains("\r\n\r\n")) return;
          const QByteArray page = "<html><body><p>Nothing to test here.</p></body></html>";
          socket->write(
              "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: "
              "close\r\nContent-Length: " +
              QByteArray::number(page.size()) + "\r\n\r\n" + page);
          socket->disconnectFromHost();
        });
      }
    });
  }
  QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
  int connections() const { return m_connections; }

 private:
  QTcpServer m_server;
  int m_connections = 0;
};

// Takes the permission to bind ports below 1024 from the calling thread's
// effective set for the object's life (the permitted set keeps it, so it
// comes back). Only that thread opens sockets in the window.
class WithoutBindPermission {
 public:
  static bool possible() { return effective() & bindBit(); }
  WithoutBindPermission() { m_dropped = set(effective() & ~bindBit()); }
  ~WithoutBindPermission() {
    if (m_dropped) set(effective() | bindBit());
  }
  bool dropped() const { return m_dropped; }

 private:
  static std::uint32_t bindBit() { return 1U << CAP_NET_BIND_SERVICE; }
  static bool read(__user_cap_data_struct* data) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capget, &header, data) == 0;
  }
  static std::uint32_t effective() {
    __user_cap_data_struct data[2] = {};
    return read(data) ? data[0].effective : 0;
  }
  static bool set(std::uint32_t effectiveLow) {
    __user_cap_data_struct data[2] = {};
    if (!read(data)) return false;
    data[0].effective = effectiveLow;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capset, &header, data) == 0;
  }
  bool m_dropped = false;
};

// A port below 1024 free for TCP and UDP on 127.0.0.1.
int freeLowPortForBoth() {
  for (quint16 port = 1023; port > 600; --port) {
    QTcpServer tcp;
    QUdpSocket udp;
    if (tcp.listen(QHostAddress::LocalHost, port) && udp.bind(QHostAddress::LocalHost, port))
      return port;
  }
  return 0;
}

}  // namespace

class PortRunTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(m_folder.isValid());
    m_site = std::make_unique<SiteProcess>();
    QVERIFY2(m_site->waitUntilServing(), qPrintable(m_site->errors()));
    QVERIFY(pointProgramAtSite(m_folder.path(), m_site->url()));

    m_window = std::make_unique<FrmMain>(m_folder.path());
    m_window->Form_Load();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->activateWindow();
    // The test page is loading in the hidden browser since start-up; a person
    // clicks "Begin" once the window is up and the page has come.
    QTRY_VERIFY_WITH_TIMEOUT(m_window->pageLoaded, 60000);
    // The local address list is filled by start-up elsewhere; listen on loopback.
    m_window->Combo1.setText(QStringLiteral("127.0.0.1"));
    connect(&m_window->WebBrowser1, &WebBrowser::BeforeNavigate2, this,
            [this](const QUrl& url, bool&) { m_navigations << url.path(); });
  }

  // Every test starts against the real site, whatever the one before did.
  void init() {
    QVERIFY(pointProgramAtSite(m_folder.path(), m_site->url()));
    privilegedbind::setHelperPath(QString());
  }

  void cleanupTestCase() {
    m_window.reset();
    m_site.reset();
  }

  void emptyListAsksForAPortAndReturnsToThePortEntry() {
    QVERIFY(testsupport::activateWindow(*m_window));
    m_window->Command1.SetFocus();
    QString shownPrompt;
    QTimer answer;
    int attempts = 0;
    connect(&answer, &QTimer::timeout, this, [&] {
      if (++attempts > 600) answer.stop();
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box == nullptr || !box->isVisible()) continue;
        shownPrompt = box->text();
        box->button(QMessageBox::Ok)->click();
        answer.stop();
      }
    });
    answer.start(50);
    m_navigations.clear();

    QTest::mouseClick(m_window->Command3.button(), Qt::LeftButton);

    QCOMPARE(shownPrompt,
             QStringLiteral("You must have at least 1 port in the port list to continue."));
    QCOMPARE(m_window->UniMsgBox1.Result(1), UniMsgBox::kAnswerOk);
    // The port entry is the window's focus widget, which gets the keyboard
    // whenever the window is active again.
    QCOMPARE(m_window->focusWidget(), m_window->Text1.widget());
    // Nothing else happened.
    QVERIFY(m_navigations.isEmpty());
    QVERIFY(!m_window->WebBrowser1.Visible());
    QVERIFY(m_window->Label6.widget()->isHidden());
    QCOMPARE(m_window->dBar1->runningTimerCount(), 0);
    QVERIFY(m_window->Command3.Enabled());
    QCOMPARE(m_window->Command3.Value(), 0);
  }

  // One run: a port someone else holds, then one port tested as TCP and as UDP.
  void openPortsSucceedEachWithItsOwnSocketAndHeldPortIsSkipped() {
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
    const int port = freePortForBoth();
    setRows({{QString::number(holder.serverPort()), QStringLiteral("TCP")},
             {QString::number(port), QStringLiteral("TCP")},
             {QString::number(port), QStringLiteral("UDP")}});
    m_navigations.clear();

    clickBegin();

    QCOMPARE(m_window->Label6.Caption(), kDone);
    const QList<RowView> rows = readRows();
    QCOMPARE(rows.at(0).status, QStringLiteral("Port in use."));
    QCOMPARE(rows.at(0).open,
             QStringLiteral(
                 "Unable to check the port, close any programs using the port and try again."));
    QCOMPARE(rows.at(1).status, QString());
    QCOMPARE(rows.at(1).open, kSuccess);
    QCOMPARE(rows.at(2).status, QString());
    QCOMPARE(rows.at(2).open, kSuccess);
    // Two pages per tested row (test page, result page) and none for the held port.
    QCOMPARE(m_navigations, (QStringList{"/port_test.php", "/port_test.php", "/port_test_udp.php",
                                         "/port_test_udp.php"}));

    // One log line per arrival, each naming the tested port and its protocol code.
    const QStringList log =
        m_window->Text21.Text().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(log.size(), 2);
    qInfo() << "connection log:" << log;
    const QString tcpStart =
        QStringLiteral("Attempted connection from 0.0.0.0 on port %1 0 at ").arg(port);
    const QString udpStart = QStringLiteral(" on port %1 1 at ").arg(port);
    QVERIFY2(log.at(0).startsWith(tcpStart), qPrintable(log.at(0)));
    QVERIFY2(log.at(1).startsWith(QStringLiteral("Attempted connection from ")) &&
                 log.at(1).contains(udpStart),
             qPrintable(log.at(1)));
    QVERIFY(m_window->Text21.Text().endsWith(QStringLiteral("\r\n")));

    // Everything is given back once the run is done.
    QVERIFY(m_window->Command1.Enabled() && m_window->Command2.Enabled() &&
            m_window->Command3.Enabled());
    QVERIFY(m_window->ListView1.Enabled());
    QCOMPARE(m_window->dBar1->runningTimerCount(), 0);
    QVERIFY(!m_window->Winsock);
    QVERIFY(m_window->WebBrowser1.Visible());
    QVERIFY(m_window->Text2.Text().contains(
        QStringLiteral("\r\nPage Status: Waiting For Port Results...")));
    QVERIFY(m_window->Text2.Text().contains(QStringLiteral("\r\nPage Status:Done")));
    QCOMPARE(m_window->Text3.Text(), QString());
    // The ports are free again.
    QTcpServer tcpAgain;
    QVERIFY(tcpAgain.listen(QHostAddress::LocalHost, static_cast<quint16>(port)));
    QUdpSocket udpAgain;
    QVERIFY(udpAgain.bind(QHostAddress::LocalHost, static_cast<quint16>(port)));
  }

  void portsTheSiteCannotReachFail() {
    SiteProcess unreachable({QStringLiteral("--probe-address"), QStringLiteral("127.0.0.2")});
    QVERIFY2(unreachable.waitUntilServing(), qPrintable(unreachable.errors()));
    QVERIFY(pointProgramAtSite(m_folder.path(), unreachable.url()));
    const int port = freePortForBoth();
    setRows({{QString::number(port), QStringLiteral("TCP")},
             {QString::number(port), QStringLiteral("UDP")}});
    const QString logBefore = m_window->Text21.Text();

    clickBegin();
    QVERIFY(pointProgramAtSite(m_folder.path(), m_site->url()));

    QCOMPARE(m_window->Label6.Caption(), kDone);
    const QList<RowView> rows = readRows();
    QCOMPARE(rows.at(0).open, kFailed);
    QCOMPARE(rows.at(1).open, kFailed);
    QCOMPARE(rows.at(0).status, QString());
    QCOMPARE(m_window->Text21.Text(), logBefore);
  }

  // Over IPv6 the window listens on ::1 and loads its pages from a site on
  // ::1, which probes ::1: open ports succeed, one the probe misses fails,
  // and a site with only an IPv4 address fails the row at once, saying why.
  void ipv6PortsAreTestedOverIpv6AndAnIpv4OnlySiteFailsAtOnce() {
    SiteProcess site6({}, QStringLiteral("::1"));
    SiteProcess missing6({QStringLiteral("--probe-address"), QStringLiteral("127.0.0.9")},
                         QStringLiteral("::1"));
    QVERIFY2(site6.waitUntilServing(), qPrintable(site6.errors()));
    QVERIFY2(missing6.waitUntilServing(), qPrintable(missing6.errors()));
    m_window->Combo1.setText(QStringLiteral("::1"));
    const int port = freePortForBoth();
    setRows({{QString::number(port), QStringLiteral("TCP")},
             {QString::number(port), QStringLiteral("UDP")}});
    QList<QStringList> results;
    for (const QString& site : {site6.url(), missing6.url(), m_site->url()}) {
      QVERIFY(pointProgramAtSite(m_folder.path(), site));
      m_window->Text3.setText(QString());
      clickBegin();
      QCOMPARE(m_window->Label6.Caption(), kDone);
      const QList<RowView> rows = readRows();
      results << QStringList{rows.at(0).status, rows.at(0).open, rows.at(1).open};
    }
    const QString errorLine = m_window->Text3.Text();
    m_window->Combo1.setText(QStringLiteral("127.0.0.1"));
    QCOMPARE(results.at(0), (QStringList{QString(), kSuccess, kSuccess}));
    QCOMPARE(results.at(1), (QStringList{QString(), kFailed, kFailed}));
    QCOMPARE(results.at(2),
             (QStringList{QStringLiteral("Test site unreachable"), kFailed, kFailed}));
    QVERIFY2(errorLine.contains(QStringLiteral("has no IPv6 address")), qPrintable(errorLine));
  }

  // A finished run with one open and one closed port, as a picture. The
  // person switches the address to listen on while the run goes, so the
  // second port listens where the site does not knock.
  void finishedRunLooksRight() {
    const int openPort = testsupport::freeTcpPort();
    const int closedPort = testsupport::freeTcpPort();
    setRows({{QString::number(openPort), QStringLiteral("TCP")},
             {QString::number(closedPort), QStringLiteral("TCP")}});
    QTimer switchAddress;
    QPixmap runningShot;
    connect(&switchAddress, &QTimer::timeout, this, [&] {
      // Once the site has reached the first port.
      if (!m_window->Text21.Text().contains(QStringLiteral(" on port %1 0 at ").arg(openPort)))
        return;
      m_window->Combo1.setText(QStringLiteral("127.0.0.3"));
      switchAddress.stop();
      // The run as it goes, with the animation bar working.
      runningShot = m_window->grab();
    });
    switchAddress.start(5);

    clickBegin();
    m_window->Combo1.setText(QStringLiteral("127.0.0.1"));

    const QList<RowView> rows = readRows();
    QCOMPARE(rows.at(0).open, kSuccess);
    QCOMPARE(rows.at(1).open, kFailed);
    const QString path =
        QStringLiteral(PORTRUN_SCREENSHOT_DIR) + QStringLiteral("/finished-run.png");
    QVERIFY(m_window->grab().save(path));
    QVERIFY(runningShot.save(QStringLiteral(PORTRUN_SCREENSHOT_DIR) +
                             QStringLiteral("/running-run.png")));
  }

  void statusLineShowsEachNewTextOnceWithTheNewestLineInView() {
    m_window->Text2.setText(QStringLiteral("older"));
    m_window->lastStatusText.clear();
    WebBrowser& browser = m_window->WebBrowser1;
    emit browser.StatusTextChange(QStringLiteral("http://127.0.0.1/a"));
    emit browser.StatusTextChange(QStringLiteral("http://127.0.0.1/a"));
    emit browser.StatusTextChange(QString());
    emit browser.StatusTextChange(QStringLiteral("Done"));
    QCOMPARE(m_window->Text2.Text(),
             QStringLiteral("older\r\nPage Status:http://127.0.0.1/a\r\nPage Status:Done"));
    QCOMPARE(m_window->Text2.SelStart(),
             m_window->Text2.Text().size() - QStringLiteral("Page Status:Done").size());

    // The page may ask for pop-up windows; none is ever given.
    bool cancel = false;
    emit browser.NewWindow2(cancel);
    QVERIFY(cancel);
  }

  // Every row comes to an end, whatever the site does or the row says.
  void siteDownAndTextsThatAreNoPortFailTheirRowsAndTheRunEnds() {
    auto stopped = std::make_unique<SiteProcess>();
    QVERIFY(stopped->waitUntilServing());
    const QString url = stopped->url();
    stopped.reset();
    QVERIFY(pointProgramAtSite(m_folder.path(), url));
    m_window->Text3.setText(QString());
    const QString port = QString::number(testsupport::freeTcpPort());
    setRows({{QStringLiteral("70000"), QStringLiteral("TCP")}, {port, QStringLiteral("TCP")}});
    m_navigations.clear();

    clickBegin();
    QVERIFY(pointProgramAtSite(m_folder.path(), m_site->url()));

    QCOMPARE(m_window->Label6.Caption(), kDone);
    const QList<RowView> rows = readRows();
    QCOMPARE(rows.at(0).status, QStringLiteral("Not a port number"));
    QCOMPARE(rows.at(0).open, kFailed);
    QCOMPARE(rows.at(1).status, QStringLiteral("Test site unreachable"));
    QCOMPARE(rows.at(1).open, kFailed);
    // No page for the text that is no port; the error line says why the other failed.
    QCOMPARE(m_navigations, QStringList{"/port_test.php"});
    const QString expected =
        QStringLiteral("\r\nLast Error Status Code:CANNOT_CONNECT(-2146697212) (%1/port_test.php)")
            .arg(url);
    QCOMPARE(m_window->Text3.Text(), expected);
    // The caret sits at the start of the newest line, so that line is in view.
    QCOMPARE(m_window->Text3.SelStart(), 2);
    expectIdle();
  }

  void pagesThatAreNoTestPagesFailTheirRows() {
    // A site without the pages answers 404; a page without the form is no test page.
    QVERIFY(pointProgramAtSite(m_folder.path(), m_site->url() + QStringLiteral("/nowhere")));
    setRows({{QString::number(testsupport::freeTcpPort()), QStringLiteral("UDP")}});
    clickBegin();
    QCOMPARE(readRows().at(0).status, QStringLiteral("Test site answered 404"));
    QCOMPARE(readRows().at(0).open, kFailed);

    CannedServer plainPage(CannedServer::Answer::PageWithoutForm);
    QVERIFY(pointProgramAtSite(m_folder.path(), plainPage.url()));
    setRows({{QString::number(testsupport::freeTcpPort()), QStringLiteral("TCP")}});
    clickBegin();
    QVERIFY(pointProgramAtSite(m_folder.path(), m_site->url()));
    QCOMPARE(readRows().at(0).status, QStringLiteral("Not a test page"));
    QCOMPARE(readRows().at(0).open, kFailed);
    expectIdle();
  }

  void aSiteThatNeverAnswersFailsTheRowAfterThePageTimeLimit() {
    CannedServer silent(CannedServer::Answer::Nothing);
    QVERIFY(pointProgramAtSite(m_folder.path(), silent.url(), 5));
    setRows({{QString::number(testsupport::freeTcpPort()), QStringLiteral("TCP")}});
    clickBegin();
    QVERIFY(pointProgramAtSite(m_folder.path(), m_site->url()));
    QCOMPARE(readRows().at(0).status, QStringLiteral("No answer from the test site"));
    QCOMPARE(readRows().at(0).open, kFailed);
    QCOMPARE(m_window->Label6.Caption(), kDone);
    expectIdle();
  }

  // "Begin" reads "Stop" while a run goes; it and Escape end the run at once
  // and leave the rows not yet tested as they were.
  void stopAndEscapeEndTheRunAndLeaveUntestedRowsAlone() {
    CannedServer silent(CannedServer::Answer::Nothing);
    QVERIFY(pointProgramAtSite(m_folder.path(), silent.url()));
    const QString first = QString::number(testsupport::freeTcpPort());
    const QString second = QString::number(testsupport::freeTcpPort());
    for (const bool byEscape : {false, true}) {
      setRows({{first, QStringLiteral("TCP")}, {second, QStringLiteral("UDP")}});
      m_window->ListView1.ListItems().Item(2).setSubItems(3, kSuccess);  // from an earlier run
      QTimer stopWhenWaiting;
      QString captionWhileRunning;
      const int connectionsBefore = silent.connections();
      connect(&stopWhenWaiting, &QTimer::timeout, this, [&] {
        // Once the browser waits for the first row's page, and a key would
        // reach the window.
        if (!m_window->running || silent.connections() == connectionsBefore) return;
        if (byEscape && !m_window->isActiveWindow()) {
          m_window->activateWindow();
          return;
        }
        stopWhenWaiting.stop();
        captionWhileRunning = m_window->Command3.Caption();
        QVERIFY(m_window->Command3.Enabled());
        if (byEscape) {
          QTest::keyClick(m_window.get(), Qt::Key_Escape);
        } else {
          QTest::mouseClick(m_window->Command3.button(), Qt::LeftButton);
        }
      });
      stopWhenWaiting.start(20);

      clickBegin();

      QVERIFY2(!captionWhileRunning.isEmpty(),
               byEscape ? "never pressed Escape" : "never clicked Stop");
      QCOMPARE(captionWhileRunning, QStringLiteral("Stop"));
      QCOMPARE(m_window->Label6.Caption(), QStringLiteral("Checking Port: Stopped."));
      const QList<RowView> rows = readRows();
      QCOMPARE(rows.at(0).status, QString());
      QCOMPARE(rows.at(0).open, QString());
      QCOMPARE(rows.at(1).open, kSuccess);
      QCOMPARE(m_window->Command3.Caption(), QStringLiteral("Begin"));
      expectIdle();
    }
    QVERIFY(pointProgramAtSite(m_folder.path(), m_site->url()));
  }

  // An ordinary user may not open ports below 1024; the permission helper
  // opens them for the program. The test process drops that permission from
  // the thread that opens the sockets, as an ordinary user's program lacks it.
  void portsBelow1024OpenThroughThePermissionHelper() {
    if (!WithoutBindPermission::possible())
      QSKIP("needs the permission to bind low ports in order to drop it");
    const int port = freeLowPortForBoth();
    QVERIFY(port != 0);
    const QString text = QString::number(port);
    WithoutBindPermission ordinary;
    QVERIFY(ordinary.dropped());

    privilegedbind::setHelperPath(QStringLiteral("/nonexistent/vantrel-bind"));
    setRows({{text, QStringLiteral("TCP")}});
    m_window->Text3.setText(QString());
    clickBegin();
    QCOMPARE(readRows().at(0).status, QStringLiteral("Ports below 1024 need permission"));
    QCOMPARE(readRows().at(0).open, kFailed);
    QVERIFY2(m_window->Text3.Text().contains(
                 QStringLiteral("setcap cap_net_bind_service=+ep /nonexistent/vantrel-bind")),
             qPrintable(m_window->Text3.Text()));

    // The helper built beside this test.
    privilegedbind::setHelperPath(QString());
    setRows({{text, QStringLiteral("TCP")}, {text, QStringLiteral("UDP")}});
    clickBegin();
    privilegedbind::setHelperPath(QString());
    const QList<RowView> rows = readRows();
    QCOMPARE(rows.at(0).open, kSuccess);
    QCOMPARE(rows.at(1).open, kSuccess);
    QVERIFY(m_window->Text21.Text().contains(QStringLiteral(" on port %1 0 at ").arg(port)));
  }

  // Last: it closes the window.
  void closingDuringAWaitEndsTheRunAtOnce() {
    CannedServer silent(CannedServer::Answer::Nothing);
    QVERIFY(pointProgramAtSite(m_folder.path(), silent.url()));
    setRows({{QString::number(testsupport::freeTcpPort()), QStringLiteral("TCP")}});

    // The person gives up waiting and closes the window.
    QTimer closeWhenWaiting;
    connect(&closeWhenWaiting, &QTimer::timeout, this, [&] {
      if (silent.connections() == 0) return;
      closeWhenWaiting.stop();
      m_window->close();
    });
    closeWhenWaiting.start(20);

    clickBegin();

    QVERIFY(m_window->closing);
    QVERIFY(!m_window->isVisible());
    QVERIFY(!m_window->Winsock);
    // The run ended where it stood: nothing was restored.
    QCOMPARE(m_window->Label6.Caption(),
             QStringLiteral("Checking Port: ") + readRows().at(0).port + QStringLiteral(" TCP"));
    QVERIFY(!m_window->Command1.Enabled());
  }

 private:
  // The window after step 6 of a run: everything given back.
  void expectIdle() {
    QVERIFY(!m_window->running);
    QVERIFY(m_window->Command1.Enabled() && m_window->Command2.Enabled() &&
            m_window->Command3.Enabled());
    QCOMPARE(m_window->Command3.Caption(), QStringLiteral("Begin"));
    QVERIFY(m_window->ListView1.Enabled());
    QCOMPARE(m_window->dBar1->runningTimerCount(), 0);
    QVERIFY(!m_window->Winsock);
  }

  void setRows(const QList<QPair<QString, QString>>& rows) {
    UniListItems items = m_window->ListView1.ListItems();
    while (items.Count() > 0) items.Remove(1);
    for (const auto& [port, protocol] : rows) items.Add(port).setSubItems(1, protocol);
  }

  QList<RowView> readRows() const {
    QList<RowView> rows;
    const UniListItems items = m_window->ListView1.ListItems();
    for (int i = 1; i <= items.Count(); ++i) {
      const UniListItem item = items.Item(i);
      rows.append({item.Text(), item.SubItems(1), item.SubItems(2), item.SubItems(3)});
    }
    return rows;
  }

  // Clicks "Begin"; the run happens inside the click. Should a run not end,
  // the window is closed, as a person would, and the test's checks fail.
  void clickBegin() {
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, m_window.get(), &QWidget::close);
    watchdog.start(180000);
    QTest::mouseClick(m_window->Command3.button(), Qt::LeftButton);
    watchdog.stop();
  }

  QTemporaryDir m_folder;
  std::unique_ptr<SiteProcess> m_site;
  std::unique_ptr<FrmMain> m_window;
  QStringList m_navigations;
};

QTEST_MAIN(PortRunTest)
#include "portrun_test.moc"
