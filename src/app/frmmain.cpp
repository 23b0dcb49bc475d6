#include "app/frmmain.h"

#include <QPushButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLineEdit>
#include <QPointer>
#include <QUrl>
#include <QVariant>

#include "app/autosizecolumns.h"
#include "app/engine/siteaddress.h"
#include "app/engine/siteroute.h"
#include "app/routerhelp.h"
#include "controls/animationbar.h"
#include "image/control/aicalphaimage.h"
#include "i18n/languagefolder.h"
#include "i18n/modlanguage.h"
#include "net/modgetip.h"
#include "net/unisock.h"
#include "persist/modini.h"
#include "platform/doevents.h"
#include "sitecontract/sitecontract.h"

namespace {

const QString kTcpTestPage = QString::fromLatin1(sitecontract::kTcpTestPage);
const QString kUdpTestPage = QString::fromLatin1(sitecontract::kUdpTestPage);
const QString kHelpPage = QString::fromLatin1(sitecontract::kHelpPage);

}  // namespace

FrmMain::FrmMain(const QString& programFolder, QWidget* parent)
    : QWidget(parent), m_programFolder(programFolder) {
  createControls();
  readFormData();
  connectHandlers();
  m_routerHelp = std::make_unique<RouterHelp>(*this, settingsFile());
  showSocketWarnings();
}

FrmMain::~FrmMain() { UniSock::setWarningPresenter(nullptr); }

void FrmMain::showSocketWarnings() {
  // A socket's Error handler that clears cancelDisplay asks for a warning the
  // user sees: a box over this window with the error's source as its title.
  // The socket library has no user interface of its own, so the window lends
  // it one for as long as it lives.
  UniSock::setWarningPresenter(
      [owner = QPointer<QWidget>(this)](const QString& title, const QString& text) {
        UniMsgBox box(owner);
        box.Show(text, UniMsgBox::kStyleWarning, title);
      });
}

QString FrmMain::Tag() const { return property(kTagProperty).toString(); }

void FrmMain::setTag(const QString& tag) { setProperty(kTagProperty, tag); }

std::vector<Translatable*> FrmMain::translatableControls() const {
  return {
      Label1.translatable(),   Combo1.translatable(),    Label4.translatable(),
      Label8.translatable(),   Frame1.translatable(),    Label2.translatable(),
      Text1.translatable(),    Label7.translatable(),    Combo2.translatable(),
      Command1.translatable(), Command3.translatable(),  Label6.translatable(),
      Label5.translatable(),   ListView1.translatable(), Command2.translatable(),
      Combo3.translatable(),   Label3.translatable(),    WebBrowser1.translatable(),
      Text2.translatable(),    Text3.translatable(),     Text4.translatable(),
      Text5.translatable(),    Text6.translatable(),     Text7.translatable(),
      Text8.translatable(),    Text9.translatable(),     Text10.translatable(),
      Text11.translatable(),   Text12.translatable(),    Text13.translatable(),
      Text14.translatable(),   Text15.translatable(),    Text16.translatable(),
      Text17.translatable(),   Text18.translatable(),    Text19.translatable(),
      Text20.translatable(),   Text21.translatable(),    Text22.translatable(),
      Text23.translatable(),   Text24.translatable(),    Text25.translatable(),
      Text26.translatable(),   Text27.translatable(),    Text28.translatable(),
      Text29.translatable(),   Text30.translatable(),    Text31.translatable(),
      Text32.translatable(),   Label9.translatable(),    Text33.translatable(),
      Text34.translatable(),   Text35.translatable(),    Text36.translatable(),
      Text37.translatable(),   Text38.translatable(),    Text39.translatable(),
      Text40.translatable(),   Text41.translatable(),    Text42.translatable(),
      Text43.translatable(),   Text44.translatable(),    Text45.translatable(),
      Text46.translatable(),   Text47.translatable(),    Text48.translatable(),
      Text49.translatable(),   Text50.translatable(),    Text51.translatable(),
      Text52.translatable(),   Text53.translatable(),    Text54.translatable(),
      Text55.translatable(),   Text56.translatable(),
  };
}

std::vector<QWidget*> FrmMain::controlWidgets() const {
  return {
      Label1.widget(),   Combo1.widget(), Label4.widget(), Label8.widget(),      Frame1.widget(),
      Label2.widget(),   Text1.widget(),  Label7.widget(), Combo2.widget(),      Command1.widget(),
      Command3.widget(), Label6.widget(), dBar1,           Label5.widget(),      ListView1.widget(),
      Command2.widget(), Combo3.widget(), Label3.widget(), WebBrowser1.widget(), Text2.widget(),
      Text3.widget(),    aicAlphaImage1,  Text4.widget(),  Text5.widget(),       Text6.widget(),
      Text7.widget(),    Text8.widget(),  Text9.widget(),  Text10.widget(),      Text11.widget(),
      Text12.widget(),   Text13.widget(), Text14.widget(), Text15.widget(),      Text16.widget(),
      Text17.widget(),   Text18.widget(), Text19.widget(), Text20.widget(),      Text21.widget(),
      Text22.widget(),   Text23.widget(), Text24.widget(), Text25.widget(),      Text26.widget(),
      Text27.widget(),   Text28.widget(), Text29.widget(), Text30.widget(),      Text31.widget(),
      Text32.widget(),   Label9.widget(), Text33.widget(), Text34.widget(),      Text35.widget(),
      Text36.widget(),   Text37.widget(), Text38.widget(), Text39.widget(),      Text40.widget(),
      Text41.widget(),   Text42.widget(), Text43.widget(), Text44.widget(),      Text45.widget(),
      Text46.widget(),   Text47.widget(), Text48.widget(), Text49.widget(),      Text50.widget(),
      Text51.widget(),   Text52.widget(), Text53.widget(), Text54.widget(),      Text55.widget(),
      Text56.widget(),
  };
}

void FrmMain::connectHandlers() {
  connect(&Label8, &UniLabel::Click, this, &FrmMain::Label8_Click);
  connect(&Combo3, &UniCombo::Click, this, &FrmMain::Combo3_Click);
  connect(&Command1, &UniCheck::Click, this, &FrmMain::Command1_Click);
  connect(&Command2, &UniCheck::Click, this, &FrmMain::Command2_Click);
  connect(&Command3, &UniCheck::Click, this, &FrmMain::Command3_Click);
  connect(&ListView1, &UniListView::KeyDown, this, &FrmMain::ListView1_KeyDown);
  connect(&Text1, &UniText::GotFocus, this, &FrmMain::Text1_GotFocus);
  connect(&Text1, &UniText::KeyPress, this, &FrmMain::Text1_KeyPress);
  // Enter in the port entry adds the port, as a click on "Add" would.
  if (auto* entry = qobject_cast<QLineEdit*>(Text1.widget())) {
    connect(entry, &QLineEdit::returnPressed, Command1.button(), &QPushButton::click);
  }
  connect(&WebBrowser1, &WebBrowser::StatusTextChange, this,
          &FrmMain::WebBrowser1_StatusTextChange);
  connect(&WebBrowser1, &WebBrowser::BeforeNavigate2, this, &FrmMain::WebBrowser1_BeforeNavigate2);
  connect(&WebBrowser1, &WebBrowser::NewWindow2, this, &FrmMain::WebBrowser1_NewWindow2);
  connect(&WebBrowser1, &WebBrowser::DocumentComplete, this,
          &FrmMain::WebBrowser1_DocumentComplete);
  connect(&WebBrowser1, &WebBrowser::NavigateError, this, &FrmMain::WebBrowser1_NavigateError);
}

QString FrmMain::siteAddress() { return ::siteAddress(settingsFile()); }

QString FrmMain::tcpTestPageUrl() { return testSiteAddress() + kTcpTestPage; }

QString FrmMain::udpTestPageUrl() { return testSiteAddress() + kUdpTestPage; }

QString FrmMain::testPageUrlOn(const QString& siteBase, bool tcp) {
  return siteBase + (tcp ? kTcpTestPage : kUdpTestPage);
}

QString FrmMain::testSiteAddress() {
  // The site probes the address the page's request comes from, so a test of
  // an IPv6 address loads its pages over IPv6.
  const TestSite site = windowTestSite(settingsFile(), addressOfChooserText(Combo1.Text()));
  WebBrowser1.setNameForAddress(QUrl(site.base).host(), site.certificateName);
  return site.error.isEmpty() ? site.base : siteAddress();
}

QString FrmMain::helpPageUrl() { return siteAddress() + kHelpPage; }

void FrmMain::Form_Load() {
  // 1. The anchor control reads the anchor codes from the Tags, so it comes
  //    before the built-in texts overwrite them.
  initAnchor();
  // 2-3.
  configureTranslator();
  storeDefaultTexts();
  // 4. Language chooser.
  Combo3.Clear();
  loadLanguageList(languageBaseFolder(m_programFolder) +
                   QStringLiteral("/Languages/_Current_Languages.txt"));
  DoEvents();
  Combo3.AddItem(kBaseLanguageItem);
  // 5. The stored language, else English.
  Combo3.setText(readLanguageSetting());
  if (Combo3.Text().isEmpty()) Combo3.setText(kBaseLanguageItem);
  DoEvents();
  // 6.
  Combo2.setText(QStringLiteral("TCP"));
  DoEvents();
  // 7. Column headers follow the language only when the user picks one.
  if (const auto language = LanguageNameOfItem(Combo3.Text())) applyLanguage(*language);
  // 8. Port list.
  loadPortList(portListFile());
  DoEvents();
  AutoSizeColumns(ListView1);
  ListView1.Refresh();
  // 9-10. Local addresses, with this machine's default address chosen.
  fillLocalAddresses();
  lastStatusText.clear();
  createIpProbeSocket();
  DoEvents();
  const QString localIp = readProbeLocalIp();
  DoEvents();
  Combo1.setText(localIp);
  DoEvents();
  ipProbeSocket.reset();
  DoEvents();
  // 11. The TCP test page loads in the hidden browser.
  WebBrowser1.Navigate2(tcpTestPageUrl());
  // 12.
  pageLoaded = false;
  closing = false;
  Text3.setText(QString());
  DoEvents();
}

void FrmMain::Form_QueryUnload() { shutDown(); }

void FrmMain::Form_Unload() { shutDown(); }

void FrmMain::shutDown() {
  closeWinsock();
  // A test run waiting inside the event loop sees these at its next check.
  abortRequested = true;
  endWaitRound();
  DoEvents();
  closing = true;
  DoEvents();
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window == this || !window->isVisible()) continue;
    window->close();
    DoEvents();
  }
}

void FrmMain::closeEvent(QCloseEvent* event) {
  Form_QueryUnload();
  Form_Unload();
  event->accept();
}

void FrmMain::Label8_Click() { QDesktopServices::openUrl(QUrl(helpPageUrl())); }

void FrmMain::Combo3_Click() {
  writeLanguageSetting(Combo3.Text());
  if (const auto language = LanguageNameOfItem(Combo3.Text())) applyLanguage(*language);
  DoEvents();
  retitleColumns();
  // A run keeps its "Stop" button in the new language, and gives back the
  // new language's "Begin" when it ends.
  if (running) {
    m_beginCaption = Command3.Caption();
    Command3.setCaption(Text31.Text());
  }
}

void FrmMain::retitleColumns() {
  // The protocol column (2) keeps its blank header.
  UniColumnHeaders headers = ListView1.ColumnHeaders();
  headers.Item(1).setText(Text18.Text());
  headers.Item(3).setText(Text19.Text());
  headers.Item(4).setText(Text20.Text());
}
