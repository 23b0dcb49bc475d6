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
#include <QEventLoop>
#include <QTimer>
#include <QVariant>
#include <array>
#include <optional>

#include "app/autosizecolumns.h"
#include "app/frmmain.h"
#include "controls/animationbar.h"
#include "net/unisock.h"
#include "platform/doevents.h"

namespace {

const QString kProtocolTcp = QStringLiteral("TCP");
const QString kSuccessful = QStringLiteral("(Successful)");
const QString kNotFound = QStringLiteral("(Failed - Object Not Found)");
constexpr int kAnimationStyle = 4;  // two bars crossing in the middle
constexpr int kWaitRoundMs = 10;

// Columns after the port number.
constexpr int kProtocolColumn = 1;
constexpr int kStatusColumn = 2;
constexpr int kOpenColumn = 3;

// Socket calls that are not valid at the moment throw; in a run such a step is
// skipped and the next one runs.
template <typename Step>
void skipOnFailure(Step&& step) {
  try {
    step();
  } catch (const UniSockError&) {
  }
}

// One round of a wait loop: 10 ms in which the thread sleeps unless events
// come in, which then run at once. A plain sleep would hold every browser
// event back for up to a round, and a page load passes through the window's
// thread many times (a TCP row took about 2.3 s instead of 0.3 s).
void idleRound() {
  QEventLoop round;
  QTimer::singleShot(kWaitRoundMs, &round, &QEventLoop::quit);
  round.exec();
}

using ElementText = QString (HtmlElement::*)() const;

// The first element of the form whose text (read by `read`) equals the wanted
// name, ignoring case.
std::optional<HtmlElement> findInForm(const HtmlFormElements& elements, ElementText read, const QString& wanted) {
  const int count = elements.length();
  for (int i = 0; i < count; ++i) {
    HtmlElement element = elements.item(i);
    if ((element.*read)().toLower() == wanted) return element;
  }
  return std::nullopt;
}

// The last resort: the document's element with that id, when its id really is
// the wanted name.
std::optional<HtmlElement> findById(const HtmlDocument& document, const QString& name) {
  const QString wanted = name.toLower();
  HtmlElement element = document.getElementById(name);
  if (wanted.isEmpty() || element.getAttribute(QStringLiteral("id"), 0).toString().toLower() != wanted) {
    return std::nullopt;
  }
  return element;
}

}  // namespace

void FrmMain::Command3_Click() {
  Command3.setValue(0);
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
  Command3.setEnabled(false);
  DoEvents();
  ListView1.setEnabled(false);
  Label6.setVisible(true);
  Label6.setCaption(Text10.Text());
  DoEvents();
  dBar1->setStyle(kAnimationStyle);
  dBar1->BeginDisplay();
  DoEvents();

  arrivalSeen = false;
  AutoSizeColumns(ListView1);
  ListView1.Refresh();

  const int rowCount = ListView1.ListItems().Count();
  for (int index = 1; index <= rowCount; ++index) {
    // A shutdown ends the run where it stands; nothing is restored.
    if (!testPortRow(index)) return;
  }

  Label6.setCaption(Text17.Text());
  DoEvents();
  ListView1.setEnabled(true);
  dBar1->EndDisplay();
  DoEvents();
  Command1.setEnabled(true);
  Command2.setEnabled(true);
  Command3.setEnabled(true);
  DoEvents();
}

bool FrmMain::testPortRow(int index) {
  UniListItem row = ListView1.ListItems().Item(index);
  const QString portText = row.Text();
  const QString protocolText = row.SubItems(kProtocolColumn);

  openWinsock(protocolText == kProtocolTcp, portText);
  DoEvents();

  const bool opened = Winsock && Winsock->State() != UniSock::sckClosed;
  if (opened) {
    row.setSubItems(kStatusColumn, Text11.Text());
    row.setSubItems(kOpenColumn, QString());
    DoEvents();
    if (!checkListeningPort(row, portText, protocolText)) return false;
  } else {
    // Someone else holds the port: say so and go on with the next row
    // without loading a page for this one.
    row.setSubItems(kStatusColumn, Text23.Text());
    row.setSubItems(kOpenColumn, Text22.Text());
    DoEvents();
  }

  AutoSizeColumns(ListView1);
  ListView1.Refresh();
  closeWinsock();
  return true;
}

void FrmMain::openWinsock(bool tcp, const QString& portText) {
  auto socket = std::make_shared<UniSock>();
  connect(socket.get(), &UniSock::ConnectionRequest, this, &FrmMain::Winsock_ConnectionRequest, Qt::DirectConnection);
  connect(socket.get(), &UniSock::DataArrival, this, &FrmMain::Winsock_DataArrival, Qt::DirectConnection);
  Winsock = socket;
  skipOnFailure([&] { socket->setProtocol(tcp ? UniSock::sckTCPProtocol : UniSock::sckUDPProtocol); });

  // A port text that is not a whole number makes the bind step fail; a TCP
  // socket still listens, on a port of its own choosing.
  bool isNumber = false;
  const int port = portText.trimmed().toInt(&isNumber);
  if (isNumber) skipOnFailure([&] { socket->bind(port, Combo1.Text()); });
  // A datagram socket receives once bound; only TCP listens.
  if (tcp) skipOnFailure([&] { socket->listen(); });
}

bool FrmMain::checkListeningPort(UniListItem& row, const QString& portText, const QString& protocolText) {
  row.setSubItems(kOpenColumn, Text12.Text());
  Label6.setCaption(Text13.Text() + QLatin1Char(' ') + portText + QLatin1Char(' ') + protocolText);
  DoEvents();
  AutoSizeColumns(ListView1);
  ListView1.Refresh();

  // The test page, loaded afresh.
  WebBrowser1.Stop();
  pageLoaded = false;
  DoEvents();
  WebBrowser1.Navigate2(protocolText == kProtocolTcp ? tcpTestPageUrl() : udpTestPageUrl());
  DoEvents();
  if (!waitForPage()) return false;

  // Type the port and send the form; the result page loads once the site has
  // tried the port.
  HtmlDocument document = WebBrowser1.Document();
  DoEvents();
  SetElementValue(document, 0, QStringLiteral("port"), portText);
  DoEvents();
  pageLoaded = false;
  ClickElement(document, 0, QStringLiteral("Check Port"));
  DoEvents();

  const QString waiting = Text14.Text();
  Text2.setText(Text2.Text() + QStringLiteral("\r\n") + waiting);
  Text2.setSelStart(static_cast<int>(Text2.Text().size() - waiting.size()));
  DoEvents();

  if (!waitForPage()) return false;
  document = WebBrowser1.Document();
  DoEvents();
  row.setSubItems(kOpenColumn, arrivalSeen ? Text15.Text() : Text16.Text());
  arrivalSeen = false;
  if (row.SubItems(kStatusColumn) == Text11.Text()) row.setSubItems(kStatusColumn, QString());
  return true;
}

bool FrmMain::waitForPage() {
  // No time limit: a page that never completes keeps the run waiting until
  // the window is closed, and the error line tells the user why.
  for (;;) {
    if (abortRequested) {
      abortRequested = false;
      DoEvents();
      return false;
    }
    DoEvents();
    if (closing) return false;
    DoEvents();
    idleRound();
    if (pageLoaded) return true;
  }
}

QString FrmMain::ClickElement(const HtmlDocument& document, int formIndex, const QString& name) {
  const QString wanted = name.toLower();
  const HtmlFormElements elements = document.forms(formIndex);
  const std::array<ElementText, 3> passes = {&HtmlElement::name, &HtmlElement::value, &HtmlElement::id};
  std::optional<HtmlElement> element;
  for (ElementText read : passes) {
    element = findInForm(elements, read, wanted);
    if (element) break;
  }
  if (!element) element = findById(document, name);
  if (!element) return kNotFound;
  element->click();
  DoEvents();
  return kSuccessful;
}

QString FrmMain::SetElementValue(const HtmlDocument& document, int formIndex, const QString& name,
                                 const QString& value) {
  const QString wanted = name.toLower();
  const HtmlFormElements elements = document.forms(formIndex);
  // A button's caption is its value, so the value is no way to find a field.
  for (ElementText read : std::array<ElementText, 2>{&HtmlElement::name, &HtmlElement::id}) {
    if (std::optional<HtmlElement> element = findInForm(elements, read, wanted)) {
      element->focus();
      element->setValue(value);
      DoEvents();
      return kSuccessful;
    }
  }
  if (std::optional<HtmlElement> element = findById(document, name)) {
    element->setAttribute(QStringLiteral("value"), value, 1);
    return kSuccessful;
  }
  return kNotFound;
}
