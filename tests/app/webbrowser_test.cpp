// The embedded browser against a real web site on 127.0.0.1: loading, the
// document operations, form submission, refused pop-ups and navigation errors.
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>
#include <QWidget>

#include "app/outside/formautomation.h"
#include "app/outside/navigationerror.h"
#include "app/outside/webbrowser.h"
#include "test_support.h"
#include "testsite.h"

namespace {

constexpr int kLoadWaitMs = 30000;

// Records the browser's events as they arrive.
struct EventLog {
  explicit EventLog(WebBrowser& browser) {
    // Connections made with the context end with the log.
    QObject* context = &m_context;
    QObject::connect(&browser, &WebBrowser::DocumentComplete, context,
                     [this](const QUrl& url) { completed << url; });
    QObject::connect(&browser, &WebBrowser::BeforeNavigate2, context,
                     [this](const QUrl& url, bool&) { starting << url; });
    QObject::connect(&browser, &WebBrowser::NewWindow2, context, [this](bool& cancel) {
      ++newWindows;
      cancel = true;
    });
    QObject::connect(&browser, &WebBrowser::NavigateError, context,
                     [this](const QUrl& url, int code, bool& cancel) {
                       errors << qMakePair(url, code);
                       cancel = true;
                     });
    QObject::connect(&browser, &WebBrowser::StatusTextChange, context,
                     [this](const QString& text) { statusTexts << text; });
  }

  QList<QUrl> completed;
  QList<QUrl> starting;
  QList<QPair<QUrl, int>> errors;
  QStringList statusTexts;
  int newWindows = 0;

 private:
  QObject m_context;
};

}  // namespace

class WebBrowserTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    m_window = std::make_unique<QWidget>();
    m_window->resize(800, 600);
    m_browser = std::make_unique<WebBrowser>(m_window.get());
    m_browser->view()->setGeometry(0, 0, 800, 600);
    m_browser->setSilent(true);
    m_log = std::make_unique<EventLog>(*m_browser);
  }

  void cleanup() {
    m_log.reset();
    m_browser.reset();
    m_window.reset();
  }

  void hiddenBrowserLoadsTestPage() {
    TestSite site;
    m_browser->setVisible(false);
    m_browser->Navigate2(site.url("/port_test.php"));
    QTRY_COMPARE_WITH_TIMEOUT(m_log->completed.size(), 1, kLoadWaitMs);
    QCOMPARE(m_log->completed.first(), QUrl(site.url("/port_test.php")));
    QCOMPARE(m_log->starting.size(), 1);
    QVERIFY(m_log->errors.isEmpty());
    QVERIFY(m_log->statusTexts.contains(QStringLiteral("Done")));
    QVERIFY(site.requests().contains(QStringLiteral("GET /port_test.php")));
    QVERIFY(!m_browser->Visible());
  }

  void documentFindsElementsByNameValueAndId() {
    TestSite site;
    loadAndWait(site.url("/port_test.php"));
    HtmlDocument document = m_browser->Document();
    QCOMPARE(document.formCount(), 2);
    HtmlFormElements form = document.forms(0);
    QCOMPARE(form.length(), 3);
    QCOMPARE(form.item(0).name(), QStringLiteral("token"));
    QCOMPARE(form.item(0).value(), QStringLiteral("t1"));
    QCOMPARE(form.item(1).name(), QStringLiteral("port"));
    QCOMPARE(form.item(1).id(), QStringLiteral("portfield"));
    QCOMPARE(form.item(2).value(), QStringLiteral("Check Port"));
    QCOMPARE(form.item(2).id(), QStringLiteral("checkbutton"));
    QCOMPARE(form.item(0).id(), QString());
    // Outside the form, or in a form that does not exist, nothing is found.
    QVERIFY(!form.item(3).exists());
    QCOMPARE(form.item(3).name(), QString());
    QCOMPARE(document.forms(7).length(), 0);

    HtmlElement byId = document.getElementById(QStringLiteral("portfield"));
    QVERIFY(byId.exists());
    QCOMPARE(byId.getAttribute(QStringLiteral("id"), 0).toString(), QStringLiteral("portfield"));
    QVERIFY(!document.getElementById(QStringLiteral("nothing-here")).exists());
    // Quotes and backslashes in an id cannot break out of the script.
    QVERIFY(!document.getElementById(QStringLiteral("x');alert('y\\")).exists());
  }

  void settingValueAndClickingSubmitCompletesResultPage() {
    TestSite site;
    loadAndWait(site.url("/port_test.php"));
    HtmlDocument document = m_browser->Document();
    HtmlElement portField = document.forms(0).item(1);
    portField.focus();
    portField.setValue(QStringLiteral("8080"));
    QCOMPARE(portField.value(), QStringLiteral("8080"));
    document.getElementById(QStringLiteral("portfield"))
        .setAttribute(QStringLiteral("value"), QStringLiteral("4242"), 1);
    QCOMPARE(portField.value(), QStringLiteral("4242"));

    m_log->completed.clear();
    document.forms(0).item(2).click();
    QTRY_COMPARE_WITH_TIMEOUT(m_log->completed.size(), 1, kLoadWaitMs);
    QCOMPARE(site.submittedPort(), QStringLiteral("4242"));
    QVERIFY(site.requests().contains(QStringLiteral("POST /port_test.php")));
    QCOMPARE(m_browser->Document()
                 .getElementById(QStringLiteral("result"))
                 .getAttribute(QStringLiteral("id"))
                 .toString(),
             QStringLiteral("result"));
  }

  // The run's element search: name, then value (buttons only), then id in the
  // first form, then the document's element by id; one script each.
  void formSearchTakesNameValueIdThenDocumentId() {
    TestSite site;
    loadAndWait(site.url("/port_test.php"));
    WebBrowser& browser = *m_browser;
    HtmlElement portField = browser.Document().forms(0).item(1);
    QCOMPARE(setFormElementValue(browser, 0, QStringLiteral("PORT"), QStringLiteral("80")),
             FormSearch::ByName);
    QCOMPARE(portField.value(), QStringLiteral("80"));
    QCOMPARE(setFormElementValue(browser, 0, QStringLiteral("portfield"), QStringLiteral("81")),
             FormSearch::ById);
    QCOMPARE(portField.value(), QStringLiteral("81"));
    // In the second form: found by the document's id only, and given the value attribute.
    QCOMPARE(setFormElementValue(browser, 0, QStringLiteral("other"), QStringLiteral("x")),
             FormSearch::ByDocumentId);
    QCOMPARE(browser.Document()
                 .getElementById(QStringLiteral("other"))
                 .getAttribute(QStringLiteral("value"))
                 .toString(),
             QStringLiteral("x"));
    // A field is never found by a button's caption; quotes cannot break out of the script.
    QCOMPARE(setFormElementValue(browser, 0, QStringLiteral("Check Port"), QStringLiteral("1")),
             FormSearch::NotFound);
    QCOMPARE(clickFormElement(browser, 0, QStringLiteral("x');alert('y\\")), FormSearch::NotFound);
    QCOMPARE(clickFormElement(browser, 3, QStringLiteral("go")), FormSearch::NotFound);

    m_log->completed.clear();
    QCOMPARE(clickFormElement(browser, 0, QStringLiteral("check port")), FormSearch::ByValue);
    QTRY_COMPARE_WITH_TIMEOUT(m_log->completed.size(), 1, kLoadWaitMs);
    QCOMPARE(site.submittedPort(), QStringLiteral("81"));
  }

  void windowOpenRaisesNewWindowAndOpensNothing() {
    TestSite site;
    loadAndWait(site.url("/popup"));
    m_browser->Document().getElementById(QStringLiteral("opener")).click();
    QTRY_COMPARE_WITH_TIMEOUT(m_log->newWindows, 1, kLoadWaitMs);
    // The page itself stays; no window appeared and nothing was fetched for it.
    QCOMPARE(m_browser->currentUrl(), QUrl(site.url("/popup")));
    QVERIFY(!site.requests().contains(QStringLiteral("GET /elsewhere")));
    for (QWidget* window : QApplication::topLevelWidgets()) {
      QVERIFY2(window == m_window.get() || !window->isVisible(), "a pop-up window appeared");
    }
  }

  void missingPageRaisesNavigateErrorWithItsStatus() {
    TestSite site;
    m_browser->Navigate2(site.url("/no-such-page"));
    QTRY_COMPARE_WITH_TIMEOUT(m_log->errors.size(), 1, kLoadWaitMs);
    QCOMPARE(m_log->errors.first().second, 404);
    QCOMPARE(m_log->errors.first().first, QUrl(site.url("/no-such-page")));
    QVERIFY(m_log->completed.isEmpty());
  }

  void refusedConnectionRaisesCannotConnect() {
    const int closedPort = testsupport::freeTcpPort();
    QVERIFY(closedPort > 0);
    const QString url = QStringLiteral("http://127.0.0.1:%1/port_test.php").arg(closedPort);
    m_browser->Navigate2(url);
    QTRY_COMPARE_WITH_TIMEOUT(m_log->errors.size(), 1, kLoadWaitMs);
    QCOMPARE(m_log->errors.first().second, moniker::kCannotConnect);
    QVERIFY(m_log->completed.isEmpty());
  }

  void cancelledNavigationLoadsNothing() {
    TestSite site;
    const QMetaObject::Connection refusal =
        QObject::connect(m_browser.get(), &WebBrowser::BeforeNavigate2,
                         [](const QUrl&, bool& cancel) { cancel = true; });
    m_browser->Navigate2(site.url("/port_test.php"));
    QTRY_COMPARE_WITH_TIMEOUT(m_log->starting.size(), 1, kLoadWaitMs);
    // A page loaded after the cancelled one proves the cancelled one is not coming.
    QObject::disconnect(refusal);
    m_log->completed.clear();
    m_browser->Navigate2(site.url("/popup"));
    QTRY_COMPARE_WITH_TIMEOUT(m_log->completed.size(), 1, kLoadWaitMs);
    QVERIFY(!site.requests().contains(QStringLiteral("GET /port_test.php")));
  }

  // A site reached at a numeric address (to test an IPv6 address) shows a
  // certificate for its name. It is taken only after the browser was told
  // that name, and only when it is valid for the name under a trusted
  // authority: here one made for the test and trusted by this process alone.
  void certificateOfANamedSiteAtANumericAddress() {
    QTemporaryDir folder;
    const QString openssl = QStringLiteral(VANTREL_OPENSSL);
    const auto make = [&](const QStringList& arguments) {
      QProcess process;
      process.setWorkingDirectory(folder.path());
      process.start(openssl, arguments);
      return process.waitForFinished(60000) && process.exitCode() == 0;
    };
    QVERIFY(make({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                  "/CN=Test authority", "-keyout", "ca.key", "-out", "ca.pem"}));
    QVERIFY(make({"req",
                  "-x509",
                  "-CA",
                  "ca.pem",
                  "-CAkey",
                  "ca.key",
                  "-newkey",
                  "rsa:2048",
                  "-nodes",
                  "-days",
                  "1",
                  "-subj",
                  "/CN=site.test",
                  "-addext",
                  "subjectAltName=DNS:site.test",
                  "-addext",
                  "basicConstraints=critical,CA:FALSE",
                  "-keyout",
                  "site.key",
                  "-out",
                  "site.pem"}));
    QFile page(folder.filePath(QStringLiteral("page.html")));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<html><body><p id='r'>reached</p></body></html>");
    page.close();
    const QSslConfiguration original = QSslConfiguration::defaultConfiguration();
    const auto restore = qScopeGuard([&] { QSslConfiguration::setDefaultConfiguration(original); });
    QSslConfiguration trusting = original;
    QVERIFY(trusting.addCaCertificates(folder.filePath(QStringLiteral("ca.pem"))));
    QSslConfiguration::setDefaultConfiguration(trusting);

    const int port = testsupport::freeTcpPort();
    QProcess server;
    server.setWorkingDirectory(folder.path());
    server.start(openssl, {"s_server", "-accept", QStringLiteral("[::1]:%1").arg(port), "-cert",
                           "site.pem", "-key", "site.key", "-WWW"});
    const auto stop = qScopeGuard([&] {
      server.kill();
      server.waitForFinished(10000);
    });
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += server.readAllStandardOutput()).contains("ACCEPT"), 10000);

    const QString url = QStringLiteral("https://[::1]:%1/page.html").arg(port);
    for (const QString& name : {QString(), QStringLiteral("other.test")}) {
      m_browser->setNameForAddress(QStringLiteral("::1"), name);
      m_log->errors.clear();
      m_browser->Navigate2(url);
      QTRY_COMPARE_WITH_TIMEOUT(m_log->errors.size(), 1, kLoadWaitMs);
      QVERIFY2(m_log->completed.isEmpty(), qPrintable(name));
    }
    m_browser->setNameForAddress(QStringLiteral("::1"), QStringLiteral("site.test"));
    loadAndWait(url);
    QCOMPARE(m_browser->evaluate(QStringLiteral("document.getElementById('r').textContent")),
             QVariant(QStringLiteral("reached")));
  }

  void scriptOnBlankPageAnswersWithoutWaitingForever() {
    // Before any page loads the document is empty: operations find nothing.
    HtmlDocument document = m_browser->Document();
    QCOMPARE(document.forms(0).length(), 0);
    QVERIFY(!document.getElementById(QStringLiteral("port")).exists());
  }

 private:
  void loadAndWait(const QString& url) {
    m_log->completed.clear();
    m_browser->Navigate2(url);
    QTRY_COMPARE_WITH_TIMEOUT(m_log->completed.size(), 1, kLoadWaitMs);
  }

  std::unique_ptr<QWidget> m_window;
  std::unique_ptr<WebBrowser> m_browser;
  std::unique_ptr<EventLog> m_log;
};

QTEST_MAIN(WebBrowserTest)
#include "webbrowser_test.moc"
