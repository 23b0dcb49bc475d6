// The port test run: a click on "Begin" tests every row of the port list in
// turn. For each row a fresh socket listens on the chosen local address, the
// test page is loaded, the port typed in and the form sent; the test site then
// tries to reach this computer on that port. The row reads "Success" exactly
// when the socket saw a connection request or datagram before the result page
// had loaded.
//
// The run is one long handler on the window's thread. It lets pending events
// run at fixed points, so socket and browser events reach their handlers
// inside it; it talks to them only through the window's flags.
//
// Every row comes to an end: a page that fails to load, does not complete in
// time or is not a test page fails the row with the cause in its status, and
// "Stop" (or Escape) ends the run and gives the window back.
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <optional>
#include <utility>

#include "app/autosizecolumns.h"
#include "app/engine/portlistener.h"
#include "app/engine/portverdict.h"
#include "app/engine/siteroute.h"
#include "app/engine/testedport.h"
#include "app/frmmain.h"
#include "app/outside/formautomation.h"
#include "app/routerhelp.h"
#include "app/runsettings.h"
#include "controls/animationbar.h"
#include "net/modgetip.h"
#include "net/privilegedbind.h"
#include "platform/doevents.h"
#include "sitecontract/sitecontract.h"

namespace {

const QString kProtocolTcp = QStringLiteral("TCP");
const QString kSuccessful = QStringLiteral("(Successful)");
const QString kNotFound = QStringLiteral("(Failed - Object Not Found)");
constexpr int kAnimationStyle = 4;  // two bars crossing in the middle
constexpr int kWaitRoundMs = 10;
// HTTP answers carry their status as the navigation failure's code; network
// failures carry negative codes.
constexpr int kFirstHttpStatus = 100;
constexpr int kLastHttpStatus = 599;

// Columns after the port number.
constexpr int kProtocolColumn = 1;
constexpr int kStatusColumn = 2;
constexpr int kOpenColumn = 3;

}  // namespace

// One round of a wait loop: 10 ms in which the thread sleeps unless events
// come in, which then run at once. A plain sleep would hold every browser
// event back for up to a round, and a page load passes through the window's
// thread many times (a TCP row took about 2.3 s instead of 0.3 s). The round
// ends as soon as an event has given the wait something to see (the page
// loaded or failed, a stop, a shutdown): otherwise each wait would notice it
// up to a whole round late.
void FrmMain::waitRound() {
  if (waitHasNews()) return;
  QEventLoop round;
  QTimer::singleShot(kWaitRoundMs, &round, &QEventLoop::quit);
  QEventLoop* const outer = std::exchange(m_waitRound, &round);
  round.exec();
  m_waitRound = outer;
}

bool FrmMain::waitHasNews() const {
  return pageLoaded || navigationFailure || stopRequested || closing || abortRequested;
}

void FrmMain::endWaitRound() {
  if (m_waitRound != nullptr) m_waitRound->quit();
}

void FrmMain::Command3_Click() {
  Command3.setValue(0);
  // During a run the button reads "Stop"; the run sees the request at its
  // next check.
  if (running) {
    requestStop();
    return;
  }
  DoEvents();
  if (ListView1.ListItems().Count() == 0) {
    UniMsgBox1.Reset();
    UniMsgBox1.Show(Text9.Text(), UniMsgBox::kStyleInformation);
    UniMsgBox1.Result(1);
    Text1.SetFocus();
    return;
  }

  WebBrowser1.setVisible(true);
  DoEvents();
  Command1.setEnabled(false);
  Command2.setEnabled(false);
  beginRunning();
  DoEvents();
  ListView1.setEnabled(false);
  Label6.setVisible(true);
  Label6.setCaption(Text10.Text());
  DoEvents();
  dBar1->setStyle(kAnimationStyle);
  dBar1->BeginDisplay();
  DoEvents();

  arrivalSeen = false;
  m_pageTimeoutSeconds = PageTimeoutSeconds(settingsFile());
  AutoSizeColumns(ListView1);
  ListView1.Refresh();

  const int rowCount = ListView1.ListItems().Count();
  bool stopped = false;
  for (int index = 1; index <= rowCount && !stopped; ++index) {
    const RowEnd end = stopRequested ? RowEnd::Stopped : testPortRow(index);
    // A shutdown ends the run where it stands; nothing is restored.
    if (end == RowEnd::Ended) {
      running = false;
      return;
    }
    stopped = end == RowEnd::Stopped;
  }

  Label6.setCaption(stopped ? Text32.Text() : Text17.Text());
  DoEvents();
  ListView1.setEnabled(true);
  dBar1->EndDisplay();
  DoEvents();
  Command1.setEnabled(true);
  Command2.setEnabled(true);
  endRunning(m_beginCaption);
  DoEvents();
}

void FrmMain::beginRunning() {
  running = true;
  stopRequested = false;
  m_beginCaption = Command3.Caption();
  Command3.setCaption(Text31.Text());
  Command3.setEnabled(true);
  if (m_stopShortcut == nullptr) {
    m_stopShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(m_stopShortcut, &QShortcut::activated, this, &FrmMain::requestStop);
  }
  m_stopShortcut->setEnabled(true);
}

void FrmMain::endRunning(const QString& caption) {
  running = false;
  stopRequested = false;
  if (m_stopShortcut != nullptr) m_stopShortcut->setEnabled(false);
  Command3.setCaption(caption);
  Command3.setEnabled(true);
}

void FrmMain::requestStop() {
  if (!running) return;
  stopRequested = true;
  endWaitRound();
  // The page under way has nothing more to tell this run.
  WebBrowser1.Stop();
}

FrmMain::RowEnd FrmMain::testPortRow(int index) {
  UniListItem row = ListView1.ListItems().Item(index);
  const QString portText = row.Text();
  const QString protocolText = row.SubItems(kProtocolColumn);
  // A stopped run leaves the row as it found it.
  const QString statusBefore = row.SubItems(kStatusColumn);
  const QString openBefore = row.SubItems(kOpenColumn);
  arrivalSeen = false;

  RowEnd end = RowEnd::Tested;
  // Blanks around a typed number are tolerated, as in the port list file.
  const std::optional<int> port = portNumberOf(portText.trimmed());
  const TestSite site = windowTestSite(settingsFile(), addressOfChooserText(Combo1.Text()));
  WebBrowser1.setNameForAddress(QUrl(site.base).host(), site.certificateName);
  if (!port) {
    // Nothing to listen on and nothing to ask the site about.
    failRow(row, Text28.Text());
  } else if (!site.error.isEmpty()) {
    // An IPv6 address with a site that has none: no page could test it.
    failRow(row, Text24.Text());
    appendErrorLine(site.error);
  } else {
    const PortOpening opening = openWinsock(protocolText == kProtocolTcp, *port);
    DoEvents();
    if (opening.listening()) {
      row.setSubItems(kStatusColumn, Text11.Text());
      row.setSubItems(kOpenColumn, QString());
      DoEvents();
      end = checkListeningPort(row, portText, protocolText, site.base);
      if (end == RowEnd::Ended) return end;
    } else if (opening.outcome == PortOpening::Outcome::NoPermission) {
      reportMissingPermission(row);
    } else {
      // Someone else holds the port: say so and go on with the next row
      // without loading a page for this one.
      row.setSubItems(kStatusColumn, Text23.Text());
      row.setSubItems(kOpenColumn, Text22.Text());
      DoEvents();
    }
  }
  if (end == RowEnd::Stopped) {
    row.setSubItems(kStatusColumn, statusBefore);
    row.setSubItems(kOpenColumn, openBefore);
  }

  AutoSizeColumns(ListView1);
  ListView1.Refresh();
  closeWinsock();
  return end;
}

PortOpening FrmMain::openWinsock(bool tcp, int port) {
  auto listener = std::make_shared<PortListener>(tcp ? PortProtocol::Tcp : PortProtocol::Udp);
  // The window logs each arrival before the socket is closed (frmmain_arrival.cpp).
  listener->setCloseOnArrival(false);
  connect(listener.get(), &PortListener::arrived, this, &FrmMain::recordArrival,
          Qt::DirectConnection);
  Winsock = listener;
  return listener->open(port, addressOfChooserText(Combo1.Text()));
}

void FrmMain::failRow(UniListItem& row, const QString& cause) {
  row.setSubItems(kStatusColumn, cause);
  row.setSubItems(kOpenColumn, Text16.Text());
  // An arrival for a row without a verdict must not decide the next one.
  arrivalSeen = false;
  DoEvents();
}

void FrmMain::reportMissingPermission(UniListItem& row) {
  failRow(row, Text29.Text());
  appendErrorLine(Text30.Text() + QStringLiteral(" sudo setcap cap_net_bind_service=+ep ") +
                  privilegedbind::helperPath());
  DoEvents();
}

FrmMain::RowEnd FrmMain::checkListeningPort(UniListItem& row, const QString& portText,
                                            const QString& protocolText, const QString& siteBase) {
  row.setSubItems(kOpenColumn, Text12.Text());
  Label6.setCaption(Text13.Text() + QLatin1Char(' ') + portText + QLatin1Char(' ') + protocolText);
  DoEvents();
  AutoSizeColumns(ListView1);
  ListView1.Refresh();

  // The test page, loaded afresh.
  WebBrowser1.Stop();
  pageLoaded = false;
  DoEvents();
  navigationFailure.reset();
  // The row's site was chosen once (an IPv6 run may have had to look its name up).
  WebBrowser1.Navigate2(testPageUrlOn(siteBase, protocolText == kProtocolTcp));
  DoEvents();
  if (const PageWait wait = waitForPage(); wait != PageWait::Loaded) return endRowEarly(row, wait);

  // Type the port and send the form; the result page loads once the site has
  // tried the port.
  HtmlDocument document = WebBrowser1.Document();
  DoEvents();
  SetElementValue(document, 0, QString::fromLatin1(sitecontract::kPortField), portText);
  DoEvents();
  pageLoaded = false;
  navigationFailure.reset();
  const bool submitted =
      ClickElement(document, 0, QString::fromLatin1(sitecontract::kSubmitButton)) == kSuccessful;
  DoEvents();
  // Without its button the page sends nothing, and no result would ever come.
  if (!submitted) {
    failRow(row, Text27.Text());
    return RowEnd::Tested;
  }

  const QString waiting = Text14.Text();
  Text2.setText(Text2.Text() + QStringLiteral("\r\n") + waiting);
  Text2.setSelStart(static_cast<int>(Text2.Text().size() - waiting.size()));
  DoEvents();

  if (const PageWait wait = waitForPage(); wait != PageWait::Loaded) return endRowEarly(row, wait);
  document = WebBrowser1.Document();
  DoEvents();
  // An arrival that reached the system just before the page completed counts
  // too, though its socket event has not run yet.
  if (Winsock) Winsock->takeWaitingArrivals();
  const bool arrived = arrivalSeen || (Winsock && Winsock->arrivalSeen());
  row.setSubItems(kOpenColumn,
                  verdictFor(arrived) == PortResult::Open ? Text15.Text() : Text16.Text());
  arrivalSeen = false;
  if (row.SubItems(kStatusColumn) == Text11.Text()) row.setSubItems(kStatusColumn, QString());
  routerHelp().verdictWritten(portText, protocolText, row.SubItems(kOpenColumn) == Text15.Text());
  return RowEnd::Tested;
}

FrmMain::RowEnd FrmMain::endRowEarly(UniListItem& row, PageWait wait) {
  switch (wait) {
    case PageWait::Ended:
      return RowEnd::Ended;
    case PageWait::Stopped:
      return RowEnd::Stopped;
    case PageWait::TimedOut:
      failRow(row, Text26.Text());
      return RowEnd::Tested;
    case PageWait::NavigationFailed:
    case PageWait::Loaded:
      break;
  }
  const int code = navigationFailure.value_or(0);
  if (code >= kFirstHttpStatus && code <= kLastHttpStatus) {
    failRow(row, Text25.Text() + QLatin1Char(' ') + QString::number(code));
  } else {
    failRow(row, Text24.Text());
  }
  return RowEnd::Tested;
}

FrmMain::PageWait FrmMain::waitForPage() {
  // Bounded: a page that fails, never completes, or that the user gives up
  // on ends the wait; the error line tells the user why a load failed.
  const QDeadlineTimer deadline(static_cast<qint64>(m_pageTimeoutSeconds) * 1000);
  for (;;) {
    if (abortRequested) {
      abortRequested = false;
      DoEvents();
      return PageWait::Ended;
    }
    DoEvents();
    if (closing) return PageWait::Ended;
    DoEvents();
    waitRound();
    if (pageLoaded) return PageWait::Loaded;
    if (stopRequested) return PageWait::Stopped;
    if (navigationFailure) return PageWait::NavigationFailed;
    if (deadline.hasExpired()) return PageWait::TimedOut;
  }
}

QString FrmMain::ClickElement(const HtmlDocument& document, int formIndex, const QString& name) {
  WebBrowser* browser = document.browser();
  if (browser == nullptr || clickFormElement(*browser, formIndex, name) == FormSearch::NotFound)
    return kNotFound;
  DoEvents();
  return kSuccessful;
}

QString FrmMain::SetElementValue(const HtmlDocument& document, int formIndex, const QString& name,
                                 const QString& value) {
  WebBrowser* browser = document.browser();
  const FormSearch found = browser == nullptr
                               ? FormSearch::NotFound
                               : setFormElementValue(*browser, formIndex, name, value);
  if (found == FormSearch::NotFound) return kNotFound;
  if (found != FormSearch::ByDocumentId) DoEvents();
  return kSuccessful;
}
