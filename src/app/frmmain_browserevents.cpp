// What the window hears from the embedded browser: when a page has loaded (the
// only signal a test run waits for), the browser's status texts for the page
// status line, and navigation failures for the error line. The browser is
// kept quiet: no script dialogs, no pop-up windows, no error pages.
#include <QUrl>

#include "app/frmmain.h"
#include "app/weberrortext.h"
#include "platform/doevents.h"

namespace {

const QString kLineBreak = QStringLiteral("\r\n");

// Appends a line to a one-line-high text and puts the caret at the start of
// that line, so that the newest line is the one in view.
void appendNewestLine(UniText& text, const QString& line) {
  text.setText(text.Text() + kLineBreak + line);
  text.setSelStart(static_cast<int>(text.Text().size() - line.size()));
}

}  // namespace

void FrmMain::WebBrowser1_BeforeNavigate2(const QUrl&, bool&) {
  WebBrowser1.setSilent(true);
  pageLoaded = false;
  DoEvents();
}

void FrmMain::WebBrowser1_DocumentComplete(const QUrl&) {
  abortRequested = false;
  pageLoaded = true;
  endWaitRound();
  DoEvents();
}

void FrmMain::WebBrowser1_NewWindow2(bool& cancel) { cancel = true; }

void FrmMain::WebBrowser1_StatusTextChange(const QString& text) {
  if (text == lastStatusText || text.isEmpty()) return;
  lastStatusText = text;
  appendNewestLine(Text2, Text5.Text() + text);
  DoEvents();
}

void FrmMain::WebBrowser1_NavigateError(const QUrl& url, int statusCode, bool& cancel) {
  appendErrorLine(Text4.Text() + WebBrowserErrorText(statusCode) + QStringLiteral(" (") +
                  url.toString() + QLatin1Char(')'));
  DoEvents();
  // No error page: a failed load never completes, and the line above says
  // why. A run waiting for the page gives its row up with this code.
  navigationFailure = statusCode;
  endWaitRound();
  cancel = true;
  DoEvents();
}

void FrmMain::appendErrorLine(const QString& line) { appendNewestLine(Text3, line); }
