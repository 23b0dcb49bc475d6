#pragma once
// The embedded web browser: a QWebEngineView behind the operations and events
// the main window uses. Everything happens on the window's thread: events are
// raised while the program processes events, and the document operations run
// as scripts in the page and wait for their answer while processing events,
// each wait bounded so that a dead page cannot hang the caller.
#include <QHostAddress>
#include <QString>
#include <QUrl>
#include <QVariant>

#include "app/outside/htmldocument.h"
#include "app/outside/unicontrol.h"

class QWebEngineView;

// The browser engine refuses to start as root with its sandbox on. Turns the
// sandbox off for this process only when it runs as root; call it before the
// first browser is created (the browser's constructor also does).
void allowBrowserEngineAsRoot();

class QWebEngineCertificateError;
class QWebEngineLoadingInfo;
class BrowserPage;

class WebBrowser : public UniControl {
  Q_OBJECT

 public:
  static constexpr int kDefaultScriptTimeoutMs = 5000;

  explicit WebBrowser(QWidget* parent);
  ~WebBrowser() override;

  void Navigate2(const QString& url);
  void Stop();
  // While silent, the page's script dialogs are answered without showing
  // them and its console messages are dropped.
  bool Silent() const { return m_silent; }
  void setSilent(bool silent) { m_silent = silent; }
  // The loaded document, for element search and automation.
  HtmlDocument Document();
  QUrl currentUrl() const;

  // Runs a script in the page, away from the page's own scripts, and returns
  // its result; an invalid QVariant when the page gave no answer within the
  // time limit or went away.
  QVariant evaluate(const QString& script);
  int scriptTimeoutMs() const { return m_scriptTimeoutMs; }
  void setScriptTimeoutMs(int milliseconds) { m_scriptTimeoutMs = milliseconds; }

  QWebEngineView* view() const { return m_view; }

  // A site reached at a numeric address in place of its name (to test an
  // IPv6 address, say) shows a certificate for its name, which the engine
  // refuses for the address. Pages from `address` may then show a
  // certificate that is valid for `name`, checked against the system's
  // trusted authorities. An empty name takes the permission back.
  void setNameForAddress(const QString& address, const QString& name);

 signals:
  // The browser's status texts: the address of a hovered link ("" when the
  // pointer leaves it) and the progress texts of loading.
  void StatusTextChange(const QString& text);
  // A top-level navigation is about to start; setting cancel stops it.
  void BeforeNavigate2(const QUrl& url, bool& cancel);
  // The page asked for a new window. None is ever opened.
  void NewWindow2(bool& cancel);
  // A top-level document finished loading successfully.
  void DocumentComplete(const QUrl& url);
  // A top-level navigation failed: an HTTP status, or a moniker code for a
  // network failure. No error page is shown.
  void NavigateError(const QUrl& url, int statusCode, bool& cancel);

 private:
  friend class BrowserPage;
  void onLoadingChanged(const QWebEngineLoadingInfo& info);
  void onCertificateError(const QWebEngineCertificateError& error);

  QWebEngineView* m_view;
  BrowserPage* m_page;
  bool m_silent = false;
  int m_scriptTimeoutMs = kDefaultScriptTimeoutMs;
  QHostAddress m_namedAddress;
  QString m_nameForAddress;
};
