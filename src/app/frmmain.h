#pragma once
// The program's only working window. It holds the port list, the controls for
// editing it, the local IP and language choosers, the embedded browser that
// shows the test site's page, two one-line status texts under it, and hidden
// text controls carrying every message the window shows, so that those are
// translated with the visible controls. It owns all state of a port test.
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "app/outside/outside.h"
#include "platform/translatable.h"

class Anchor;
class AnimationBar;
class aicAlphaImage;
class PortListener;
class UniSock;
struct PortOpening;
class QCloseEvent;
class QEventLoop;
class QShortcut;
class RouterHelp;

class FrmMain : public QWidget, public TranslatableWindow {
  Q_OBJECT

 public:
  // The program folder holds settings.ini, ports.dat and the Languages folder in
  // a build tree or portable copy; an installed copy keeps them elsewhere
  // (persist/userfolders.h, i18n/languagefolder.h).
  explicit FrmMain(const QString& programFolder, QWidget* parent = nullptr);
  ~FrmMain() override;

  // Builds the start-up state: language, port list, local addresses, and the
  // test page loading in the hidden browser. Each step that fails is skipped.
  void Form_Load();
  // Shutdown, run when the window is asked to close and again when it closes.
  void Form_QueryUnload();
  void Form_Unload();

  QString programFolder() const { return m_programFolder; }
  // The test site's base address, without a trailing "/".
  QString siteAddress();
  // The site over the family of the chosen local address (siteroute.h).
  QString testSiteAddress();
  QString tcpTestPageUrl();
  QString udpTestPageUrl();
  // The test page of one protocol on a site already chosen for the run's address family.
  static QString testPageUrlOn(const QString& siteBase, bool tcp);
  QString helpPageUrl();

  // TranslatableWindow
  QString windowName() const override { return QStringLiteral("FrmMain"); }
  QString Caption() const override { return windowTitle(); }
  void setCaption(const QString& caption) override { setWindowTitle(caption); }
  QString Tag() const override;
  void setTag(const QString& tag) override;
  // The controls in the window's fixed collection order.
  std::vector<Translatable*> translatableControls() const override;
  // Every control's widget in the same order, the helper controls included;
  // the anchor control reads each widget's "Tag" property.
  std::vector<QWidget*> controlWidgets() const;

  // Controls, named as the handlers name them. Declaration order matters: a
  // frame comes before the controls inside it.
  UniLabel Label1{this};
  UniCombo Combo1{this};
  UniLabel Label4{this};
  UniLabel Label8{this};
  UniFrame Frame1{this};
  UniLabel Label2{Frame1.container()};
  UniText Text1{Frame1.container()};
  UniLabel Label7{Frame1.container()};
  UniCombo Combo2{Frame1.container()};
  UniCheck Command1{Frame1.container()};
  UniCheck Command3{this};
  UniLabel Label6{this};
  AnimationBar* dBar1 = nullptr;
  UniLabel Label5{this};
  UniListView ListView1{this};
  UniCheck Command2{this};
  UniCombo Combo3{this};
  UniLabel Label3{this};
  WebBrowser WebBrowser1{this};
  UniText Text2{this, UniText::Lines::Multi};
  UniText Text3{this, UniText::Lines::Multi};
  UniMsgBox UniMsgBox1{this};
  // Keeps the controls anchored on resize and remembers the window's place;
  // made at start-up, once the anchor codes are in the Tags. Owned by the window.
  Anchor* Anchor1 = nullptr;
  // The product picture, from the window's stored form data.
  aicAlphaImage* aicAlphaImage1 = nullptr;

  // Hidden message texts, read by the handlers at the moment of use.
  UniText Text4{this};
  UniText Text5{this};
  UniText Text6{this};
  UniText Text7{this};
  UniText Text8{this};
  UniText Text9{this};
  UniText Text10{this};
  UniText Text11{this};
  UniText Text12{this};
  UniText Text13{this};
  UniText Text14{this};
  UniText Text15{this};
  UniText Text16{this};
  UniText Text17{this};
  UniText Text18{this};
  UniText Text19{this};
  UniText Text20{this};
  UniText Text21{this, UniText::Lines::Multi};
  UniText Text22{this};
  UniText Text23{this};
  // Why a row failed, the Stop button and the stopped run.
  UniText Text24{this};
  UniText Text25{this};
  UniText Text26{this};
  UniText Text27{this};
  UniText Text28{this};
  UniText Text29{this};
  UniText Text30{this};
  UniText Text31{this};
  UniText Text32{this};
  // The router help: its link, the router's state, a failed row's diagnosis,
  // the forwarding actions and why a router call did not work.
  UniLabel Label9{this};
  UniText Text33{this};
  UniText Text34{this};
  UniText Text35{this};
  UniText Text36{this};
  UniText Text37{this};
  UniText Text38{this};
  UniText Text39{this};
  UniText Text40{this};
  UniText Text41{this};
  UniText Text42{this};
  UniText Text43{this};
  UniText Text44{this};
  UniText Text45{this};
  UniText Text46{this};
  UniText Text47{this};
  UniText Text48{this};
  UniText Text49{this};
  UniText Text50{this};
  UniText Text51{this};
  UniText Text52{this};
  UniText Text53{this};
  UniText Text54{this};
  UniText Text55{this};
  UniText Text56{this};

  // State shared by the window's handlers.
  // The port under test: its socket (listening for TCP, bound for UDP) and the
  // arrivals seen on it. Shared so that an arrival's handler can keep it alive
  // while a shutdown runs inside that handler.
  std::shared_ptr<PortListener> Winsock;
  std::shared_ptr<UniSock> ipProbeSocket;  // only during start-up, to read the local IP
  bool abortRequested = false;
  bool pageLoaded = false;
  bool closing = false;
  QString lastStatusText;
  bool arrivalSeen = false;
  // A run is going: "Begin" reads "Stop" and a click on it, or Escape, asks
  // the run to stop at its next check.
  bool running = false;
  bool stopRequested = false;
  // The router help behind Label9, the list's context menu and the run's
  // failed rows.
  RouterHelp& routerHelp() { return *m_routerHelp; }

  // The code of the navigation failure (an HTTP status, or the code of a
  // network failure) that ended the page a run is waiting for.
  std::optional<int> navigationFailure;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private slots:
  void Label8_Click();
  void Combo3_Click();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void ListView1_KeyDown(int keyCode);
  void Text1_GotFocus();
  void Text1_KeyPress(int& keyAscii);
  void WebBrowser1_StatusTextChange(const QString& text);
  void WebBrowser1_BeforeNavigate2(const QUrl& url, bool& cancel);
  void WebBrowser1_NewWindow2(bool& cancel);
  void WebBrowser1_DocumentComplete(const QUrl& url);
  void WebBrowser1_NavigateError(const QUrl& url, int statusCode, bool& cancel);

 private:
  // Building the window.
  void createControls();
  void placeControls();
  void setBuiltInTexts();
  void createMessageTexts();
  void createColumns();
  void connectHandlers();
  // Lets the socket object's warnings appear as message boxes over the window.
  void showSocketWarnings();
  // Gives the controls their stored design-time state (frmmain_formdata.cpp).
  void readFormData();

  // Work handed to the other parts of the program (frmmain_startup.cpp).
  // A step that fails is skipped and start-up carries on.
  void initAnchor();
  void configureTranslator();
  void storeDefaultTexts();
  void loadLanguageList(const QString& listFile);
  QString readLanguageSetting();
  void writeLanguageSetting(const QString& chooserText);
  void applyLanguage(const QString& languageName);
  void loadPortList(const QString& portFile);
  void fillLocalAddresses();
  void createIpProbeSocket();
  QString readProbeLocalIp();
  void closeWinsock();

  QString settingsFile() const;
  QString portListFile() const;
  // Writes the port list file and sizes the columns after a change of rows.
  void savePortList();

  void retitleColumns();
  void shutDown();

  // The port test run (frmmain_testrun.cpp).
  enum class PageWait { Loaded, NavigationFailed, TimedOut, Stopped, Ended };
  // How a row's test ended: tested (with any result), stopped by the user, or
  // ended because the window is shutting down and the run must end at once.
  enum class RowEnd { Tested, Stopped, Ended };
  RowEnd testPortRow(int index);
  RowEnd checkListeningPort(UniListItem& row, const QString& portText, const QString& protocolText,
                            const QString& siteBase);
  RowEnd endRowEarly(UniListItem& row, PageWait wait);
  void failRow(UniListItem& row, const QString& cause);
  void reportMissingPermission(UniListItem& row);
  PortOpening openWinsock(bool tcp, int port);
  PageWait waitForPage();
  // A wait's pause between its checks, and what ends the pause early.
  void waitRound();
  bool waitHasNews() const;
  void endWaitRound();
  void requestStop();
  void beginRunning();
  void endRunning(const QString& caption);
  // Page automation; each returns "(Successful)" or "(Failed - Object Not Found)".
  QString ClickElement(const HtmlDocument& document, int formIndex, const QString& name);
  QString SetElementValue(const HtmlDocument& document, int formIndex, const QString& name,
                          const QString& value);

  // Arrival detection (frmmain_arrival.cpp).
  void recordArrival();
  // Appends a line to the error line and brings it into view.
  void appendErrorLine(const QString& line);

  QString m_beginCaption;
  // The pause a page wait is in, if any.
  QEventLoop* m_waitRound = nullptr;
  QShortcut* m_stopShortcut = nullptr;
  int m_pageTimeoutSeconds = 20;

  QString m_programFolder;
  // Last, so that it goes first: its router task answers to the window.
  std::unique_ptr<RouterHelp> m_routerHelp;
};
