#include "app/outside/webbrowser.h"

#include <QEventLoop>
#include <QSslCertificate>
#include <QSslError>
#include <QTimer>
#include <QWebEngineCertificateError>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <memory>
#include <unistd.h>

#include "app/outside/navigationerror.h"

// The page behind the view: it refuses new windows, keeps quiet while the
// browser is silent, and asks the browser's owner before every top-level
// navigation.
class BrowserPage : public QWebEnginePage {
 public:
  BrowserPage(WebBrowser& browser, QObject* parent) : QWebEnginePage(parent), m_browser(browser) {}

 protected:
  QWebEnginePage* createWindow(WebWindowType) override {
    bool cancel = true;
    emit m_browser.NewWindow2(cancel);
    return nullptr;  // no pop-up is ever opened, whatever the answer
  }

  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
    if (!isMainFrame) return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    bool cancel = false;
    emit m_browser.BeforeNavigate2(url, cancel);
    return !cancel;
  }

  void javaScriptAlert(const QUrl& origin, const QString& message) override {
    if (!m_browser.Silent()) QWebEnginePage::javaScriptAlert(origin, message);
  }

  bool javaScriptConfirm(const QUrl& origin, const QString& message) override {
    return !m_browser.Silent() && QWebEnginePage::javaScriptConfirm(origin, message);
  }

  bool javaScriptPrompt(const QUrl& origin, const QString& message, const QString& defaultValue,
                        QString* result) override {
    return !m_browser.Silent() &&
           QWebEnginePage::javaScriptPrompt(origin, message, defaultValue, result);
  }

  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                int line, const QString& source) override {
    if (!m_browser.Silent()) QWebEnginePage::javaScriptConsoleMessage(level, message, line, source);
  }

 private:
  WebBrowser& m_browser;
};

void allowBrowserEngineAsRoot() {
  if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

namespace {

QWebEngineView* createView(QWidget* parent) {
  allowBrowserEngineAsRoot();
  return new QWebEngineView(parent);
}

}  // namespace

WebBrowser::WebBrowser(QWidget* parent) : UniControl(createView(parent)) {
  m_view = static_cast<QWebEngineView*>(widget());
  m_page = new BrowserPage(*this, m_view);
  // Failures are reported through NavigateError; the engine's own error pages
  // would only hide the page the program is waiting for.
  m_page->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
  m_page->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
  m_view->setPage(m_page);

  connect(m_page, &QWebEnginePage::loadingChanged, this, &WebBrowser::onLoadingChanged);
  connect(m_page, &QWebEnginePage::certificateError, this, &WebBrowser::onCertificateError);
  connect(m_page, &QWebEnginePage::linkHovered, this,
          [this](const QString& url) { emit StatusTextChange(url); });
}

WebBrowser::~WebBrowser() = default;

void WebBrowser::Navigate2(const QString& url) {
  const QUrl target = QUrl::fromUserInput(url);
  if (!target.isValid()) {
    bool cancel = true;
    emit NavigateError(QUrl(url), moniker::kInvalidUrl, cancel);
    return;
  }
  m_page->load(target);
}

void WebBrowser::Stop() { m_page->triggerAction(QWebEnginePage::Stop); }

void WebBrowser::setNameForAddress(const QString& address, const QString& name) {
  m_namedAddress = QHostAddress(address);
  m_nameForAddress = m_namedAddress.isNull() ? QString() : name;
}

void WebBrowser::onCertificateError(const QWebEngineCertificateError& error) {
  QWebEngineCertificateError answer = error;
  // The chain is checked again in full against the name (dates, authority,
  // name), as if the page had been asked for by its name.
  const bool fromNamedAddress =
      !m_nameForAddress.isEmpty() && QHostAddress(error.url().host()) == m_namedAddress;
  if (fromNamedAddress &&
      QSslCertificate::verify(error.certificateChain(), m_nameForAddress).isEmpty()) {
    answer.acceptCertificate();
  } else {
    answer.rejectCertificate();
  }
}

HtmlDocument WebBrowser::Document() { return HtmlDocument(this); }

QUrl WebBrowser::currentUrl() const { return m_page->url(); }

void WebBrowser::onLoadingChanged(const QWebEngineLoadingInfo& info) {
  switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
      emit StatusTextChange(QStringLiteral("Opening page %1...").arg(info.url().toString()));
      break;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
      emit StatusTextChange(QStringLiteral("Done"));
      emit DocumentComplete(info.url());
      break;
    case QWebEngineLoadingInfo::LoadFailedStatus: {
      if (isAbortedLoad(info.errorDomain(), info.errorCode())) break;
      bool cancel = true;
      emit NavigateError(info.url(), navigateErrorCode(info.errorDomain(), info.errorCode()),
                         cancel);
      break;
    }
    case QWebEngineLoadingInfo::LoadStoppedStatus:
      break;
  }
}

namespace {

// What a script call waits for; shared with the engine's callback, which may
// arrive after the caller stopped waiting.
struct ScriptAnswer {
  bool done = false;
  QVariant value;
  QEventLoop* loop = nullptr;
};

}  // namespace

QVariant WebBrowser::evaluate(const QString& script) {
  auto answer = std::make_shared<ScriptAnswer>();
  QPointer<WebBrowser> self(this);
  QPointer<QWebEnginePage> page(m_page);
  page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [answer](const QVariant& value) {
    answer->value = value;
    answer->done = true;
    if (answer->loop != nullptr) answer->loop->quit();
  });
  if (!answer->done) {
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(page, &QObject::destroyed, &loop, &QEventLoop::quit);
    answer->loop = &loop;
    limit.start(m_scriptTimeoutMs);
    loop.exec();
    answer->loop = nullptr;
  }
  if (self.isNull() || !answer->done) return {};
  return answer->value;
}
