#pragma once
// The base-language texts the main window keeps for translation: its caption,
// the captions and texts of its controls and its hidden message texts, each
// with the control that carries it. Every shipped language file must translate
// exactly these. The window test in tests/app (MainWindowLanguageTest) checks
// that this list is the set of texts the real window stores, so it cannot drift.
#include <QString>
#include <utility>
#include <vector>

namespace i18ntest {

struct WindowText {
  QString control;
  QString text;
};

inline const QString kMainWindowCaption =
    QStringLiteral("Vantrel - Port Forwarding Check by Vantrel Labs");

inline const std::vector<WindowText>& mainWindowTexts() {
  static const std::vector<WindowText> texts = {
      {"FrmMain", kMainWindowCaption},
      {"Label1", "IP To Listen On:"},
      {"Label4", "Router updated ok but port forwarding still fails?"},
      {"Label8", "Click Here For Help"},
      {"Frame1", "Add/Remove Port"},
      {"Label2", "Port #:"},
      {"Label7", "(1~65535)"},
      {"Command1", "Add"},
      {"Command3", "Begin"},
      {"Label6", "Checking Port:"},
      {"Label5",
       "Note: Make sure you have applied all ports to your router for port forwarding or the "
       "tests will fail for those ports."},
      {"Command2", "Remove"},
      {"Label3", "<-- Click Begin To Test The Selected Ports"},
      {"Text4", "Last Error Status Code:"},
      {"Text5", "Page Status:"},
      {"Text6", "This Port is already in the Port List, Please choose another."},
      {"Text7", "Are You Sure Yo Want To Delete This Entry?"},
      {"Text8", "Confirm Delete:"},
      {"Text9", "You must have at least 1 port in the port list to continue."},
      {"Text10", "Checking Port: Working..."},
      {"Text11", "Listening..."},
      {"Text12", "Checking..."},
      {"Text13", "Checking Port:"},
      {"Text14", "Page Status: Waiting For Port Results..."},
      {"Text15", "Success"},
      {"Text16", "Failed"},
      {"Text17", "Checking Port: DONE!"},
      {"Text18", "Port"},
      {"Text19", "Status"},
      {"Text20", "Open?"},
      {"Text22", "Unable to check the port, close any programs using the port and try again."},
      {"Text23", "Port in use."},
      {"Text24", "Test site unreachable"},
      {"Text25", "Test site answered"},
      {"Text26", "No answer from the test site"},
      {"Text27", "Not a test page"},
      {"Text28", "Not a port number"},
      {"Text29", "Ports below 1024 need permission"},
      {"Text30", "To test ports below 1024, run as administrator:"},
      {"Text31", "Stop"},
      {"Text32", "Checking Port: Stopped."},
      {"Label9", "Router..."},
      {"Text33", "Router: searching..."},
      {"Text34", "Router: none found"},
      {"Text35", "Router:"},
      {"Text36", "External address:"},
      {"Text37", "No forwarding rule on the router for this port"},
      {"Text38", "The router forwards this port to another computer or port"},
      {"Text39",
       "The provider's NAT is in front of the router: no rule at home can open this port"},
      {"Text40", "Another NAT sits between the router and the internet"},
      {"Text41", "Cause unknown"},
      {"Text42", "Public address seen by the test site:"},
      {"Text43", "Forward and test again"},
      {"Text44", "Remove the forwarding rules added by this program"},
      {"Text45", "Forwarded on the router:"},
      {"Text46", "Could not forward:"},
      {"Text47", "Forwarding rules removed from the router."},
      {"Text48", "Could not remove the forwarding rules:"},
      {"Text49", "Forwarding rules added by this program:"},
      {"Text50", "no router answered"},
      {"Text51", "the router did not answer properly"},
      {"Text52", "the port is already forwarded to another computer"},
      {"Text53", "the router refused"},
      {"Text54", "the router is not reached from the chosen address"},
      {"Text55", "an IPv6 test is possible with this computer's IPv6 address"},
      {"Text56", "Choose the IPv6 address for an IPv6 test"},
  };
  return texts;
}

}  // namespace i18ntest
