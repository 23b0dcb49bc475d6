// Building the main window: its controls, their places, built-in texts, Tags
// and the list view's columns. Positions are in twips, converted once here.
#include <QFont>
#include <QLabel>
#include <QPalette>

#include "app/frmmain.h"
#include "controls/animationbar.h"
#include "image/control/aicalphaimage.h"
#include "platform/twips.h"

namespace {

// Client area of the window, in twips.
constexpr int kClientWidthTwips = 11985;
constexpr int kClientHeightTwips = 8700;

// Anchor codes read by the anchor control: left, top, right, bottom, then "*/".
const QString kAnchorTopLeft = QStringLiteral("TTFF*/");
const QString kAnchorAllSides = QStringLiteral("TTTT*/");
const QString kAnchorBottomWide = QStringLiteral("TFTT*/");

const QString kDefaultCaption = QStringLiteral("Vantrel - Port Forwarding Check by Vantrel Labs");

void place(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(twipsRect(left, top, width, height));
}

void place(UniControl& control, int left, int top, int width, int height) {
  place(control.widget(), left, top, width, height);
}

void styleAsLink(UniLabel& label) {
  QPalette linkPalette = label.label()->palette();
  linkPalette.setColor(QPalette::WindowText, QColor(0, 0, 0xcc));
  label.label()->setPalette(linkPalette);
  QFont linkFont = label.label()->font();
  linkFont.setUnderline(true);
  label.label()->setFont(linkFont);
  label.label()->setCursor(Qt::PointingHandCursor);
}

QFont windowFont() {
  QFont font(QStringLiteral("Verdana"));
  // Verdana is rarely installed on Linux; DejaVu Sans has the same wide build.
  font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
  font.setPointSizeF(7.5);
  return font;
}

}  // namespace

void FrmMain::createControls() {
  setObjectName(windowName());
  setFont(windowFont());
  setWindowTitle(kDefaultCaption);
  setTag(QString());

  dBar1 = new AnimationBar(this);
  dBar1->setObjectName(QStringLiteral("dBar1"));
  aicAlphaImage1 = new aicAlphaImage(this);
  aicAlphaImage1->setObjectName(QStringLiteral("aicAlphaImage1"));

  const std::pair<UniControl*, const char*> names[] = {
      {&Label1, "Label1"},     {&Combo1, "Combo1"},       {&Label4, "Label4"},
      {&Label8, "Label8"},     {&Frame1, "Frame1"},       {&Label2, "Label2"},
      {&Text1, "Text1"},       {&Label7, "Label7"},       {&Combo2, "Combo2"},
      {&Command1, "Command1"}, {&Command3, "Command3"},   {&Label6, "Label6"},
      {&Label5, "Label5"},     {&ListView1, "ListView1"}, {&Command2, "Command2"},
      {&Combo3, "Combo3"},     {&Label3, "Label3"},       {&WebBrowser1, "WebBrowser1"},
      {&Text2, "Text2"},       {&Text3, "Text3"},         {&Label9, "Label9"},
  };
  for (const auto& [control, name] : names)
    control->widget()->setObjectName(QString::fromLatin1(name));

  setBuiltInTexts();
  createMessageTexts();
  createColumns();
  placeControls();

  Combo2.AddItem(QStringLiteral("TCP"));
  Combo2.AddItem(QStringLiteral("UDP"));
  Combo2.setLocked(true);
  Combo3.setLocked(true);
  Text2.setLocked(true);
  Text3.setLocked(true);

  // The help link and the router link look and feel like links.
  styleAsLink(Label8);
  styleAsLink(Label9);

  Label6.setVisible(false);
  WebBrowser1.setVisible(false);
}

void FrmMain::setBuiltInTexts() {
  Label1.setCaption(QStringLiteral("IP To Listen On:"));
  Label4.setCaption(QStringLiteral("Router updated ok but port forwarding still fails?"));
  Label8.setCaption(QStringLiteral("Click Here For Help"));
  Frame1.setCaption(QStringLiteral("Add/Remove Port"));
  Label2.setCaption(QStringLiteral("Port #:"));
  Label7.setCaption(QStringLiteral("(1~65535)"));
  Command1.setCaption(QStringLiteral("Add"));
  Command3.setCaption(QStringLiteral("Begin"));
  Label6.setCaption(QStringLiteral("Checking Port:"));
  Label5.setCaption(
      QStringLiteral("Note: Make sure you have applied all ports to your router for port "
                     "forwarding or the tests will "
                     "fail for those ports."));
  Command2.setCaption(QStringLiteral("Remove"));
  Label3.setCaption(QStringLiteral("<-- Click Begin To Test The Selected Ports"));
  Label9.setCaption(QStringLiteral("Router..."));

  UniControl* anchoredTopLeft[] = {&Label1,    &Combo1,   &Label4,   &Label8,   &Frame1, &Label2,
                                   &Text1,     &Label7,   &Command1, &Command3, &Label6, &Label5,
                                   &ListView1, &Command2, &Label3,   &Label9};
  for (UniControl* control : anchoredTopLeft) control->setTag(kAnchorTopLeft);
  WebBrowser1.setTag(kAnchorAllSides);
  Text2.setTag(kAnchorBottomWide);
  Text3.setTag(kAnchorBottomWide);
}

void FrmMain::createMessageTexts() {
  const std::pair<UniText*, const char*> messages[] = {
      {&Text4, "Last Error Status Code:"},
      {&Text5, "Page Status:"},
      {&Text6, "This Port is already in the Port List, Please choose another."},
      {&Text7, "Are You Sure Yo Want To Delete This Entry?"},
      {&Text8, "Confirm Delete:"},
      {&Text9, "You must have at least 1 port in the port list to continue."},
      {&Text10, "Checking Port: Working..."},
      {&Text11, "Listening..."},
      {&Text12, "Checking..."},
      {&Text13, "Checking Port:"},
      {&Text14, "Page Status: Waiting For Port Results..."},
      {&Text15, "Success"},
      {&Text16, "Failed"},
      {&Text17, "Checking Port: DONE!"},
      {&Text18, "Port"},
      {&Text19, "Status"},
      {&Text20, "Open?"},
      {&Text21, ""},
      {&Text22, "Unable to check the port, close any programs using the port and try again."},
      {&Text23, "Port in use."},
      {&Text24, "Test site unreachable"},
      {&Text25, "Test site answered"},
      {&Text26, "No answer from the test site"},
      {&Text27, "Not a test page"},
      {&Text28, "Not a port number"},
      {&Text29, "Ports below 1024 need permission"},
      {&Text30, "To test ports below 1024, run as administrator:"},
      {&Text31, "Stop"},
      {&Text32, "Checking Port: Stopped."},
      {&Text33, "Router: searching..."},
      {&Text34, "Router: none found"},
      {&Text35, "Router:"},
      {&Text36, "External address:"},
      {&Text37, "No forwarding rule on the router for this port"},
      {&Text38, "The router forwards this port to another computer or port"},
      {&Text39, "The provider's NAT is in front of the router: no rule at home can open this port"},
      {&Text40, "Another NAT sits between the router and the internet"},
      {&Text41, "Cause unknown"},
      {&Text42, "Public address seen by the test site:"},
      {&Text43, "Forward and test again"},
      {&Text44, "Remove the forwarding rules added by this program"},
      {&Text45, "Forwarded on the router:"},
      {&Text46, "Could not forward:"},
      {&Text47, "Forwarding rules removed from the router."},
      {&Text48, "Could not remove the forwarding rules:"},
      {&Text49, "Forwarding rules added by this program:"},
      {&Text50, "no router answered"},
      {&Text51, "the router did not answer properly"},
      {&Text52, "the port is already forwarded to another computer"},
      {&Text53, "the router refused"},
      {&Text54, "the router is not reached from the chosen address"},
      {&Text55, "an IPv6 test is possible with this computer's IPv6 address"},
      {&Text56, "Choose the IPv6 address for an IPv6 test"},
  };
  int number = 4;
  for (const auto& [text, message] : messages) {
    text->widget()->setObjectName(QStringLiteral("Text%1").arg(number++));
    text->setText(QString::fromUtf8(message));
    text->setVisible(false);
  }
}

void FrmMain::createColumns() {
  UniColumnHeaders headers = ListView1.ColumnHeaders();
  headers.Add(QStringLiteral("Port"));
  headers.Add(QString());  // protocol; its header stays blank in every language
  headers.Add(QStringLiteral("Status"));
  headers.Add(QStringLiteral("Open?"));
}

void FrmMain::placeControls() {
  resize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));

  place(Label1, 660, 90, 1275, 195);
  place(Combo1, 1980, 60, 1695, 300);
  place(Label4, 150, 390, 3525, 405);
  place(Label8, 60, 780, 3615, 195);
  place(Frame1, 60, 1050, 3615, 1005);
  // Inside the frame, relative to it.
  place(Label2, 105, 270, 600, 195);
  place(Text1, 720, 240, 615, 270);
  place(Label7, 1410, 270, 855, 195);
  place(Combo2, 2550, 240, 765, 300);
  place(Command1, 2340, 630, 1155, 270);

  place(Command3, 2310, 2130, 1365, 375);
  place(Label6, 120, 2220, 2145, 195);
  place(dBar1, 60, 2580, 3585, 195);
  place(Label5, 60, 2850, 3615, 1140);
  place(ListView1, 60, 4020, 3615, 1725);
  place(Command2, 2520, 5820, 1155, 270);
  // The router link in the free space left of "Remove", under the list.
  place(Label9, 60, 5850, 2400, 195);
  place(Combo3, 60, 8340, 2445, 300);
  place(Label3, 3750, 2160, 5595, 285);
  place(WebBrowser1, 3750, 60, 8175, 7935);
  place(Text2, 3750, 8040, 8175, 270);
  place(Text3, 3750, 8370, 8175, 270);
  // The product picture fills the free corner between the list and the
  // language chooser.
  place(aicAlphaImage1, 60, 6180, 3615, 2100);
}
