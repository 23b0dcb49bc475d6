#pragma once
// The main window's router help: finds the home router when first needed,
// shows what it found (the "Router..." link and box, a line in the page status
// box), explains each "Failed" row in the status box and the row's tooltip,
// forwards the selected row on the router and tests again, and removes the
// rules it added. Every router call runs on the router task's thread; the
// answers come back to the window's thread, so the window never waits.
//
// The window talks to the router by itself only after a failed row; with
// key "router" of section "main" in settings.ini set to "off" it never does,
// and only the user's own clicks on the router actions reach the router.
#include <QObject>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "router/router.h"

class FrmMain;
class QPoint;

class RouterHelp : public QObject {
  Q_OBJECT

 public:
  RouterHelp(FrmMain& window, const QString& settingsFile, router::RouterLimits limits = {});
  ~RouterHelp() override;

  // Called by the run once a row's "Open?" verdict is written, while the
  // result page is still loaded. A failed row gets its diagnosis later,
  // when the router has answered.
  void verdictWritten(const QString& portText, const QString& protocolText, bool open);

  // The "Router..." box: what the search found and the rules this program
  // added. Searches first when no search has been made or none found a router.
  void showRouter();
  // Forwards the selected row's port to the chosen local address and, when the
  // router took the rule, tests the list again.
  void forwardSelectedRow();
  void removeAddedRules();
  // Behind the provider's NAT a failed row is offered a test over IPv6: this
  // chooses the first IPv6 address in the address chooser. The user starts
  // the test.
  void chooseIpv6Address();
  // Writes a failed row's reason (its tooltip and a status line) once the
  // row's diagnosis is known; an answer for a row that no longer reads
  // "Failed" is dropped.
  void showDiagnosis(const QString& portText, const QString& protocolText,
                     router::Diagnosis diagnosis, const router::Outcome& why,
                     std::optional<router::Ipv4> siteSaw);

  bool searching() const { return m_search == Search::Running; }
  bool searched() const { return m_search == Search::Done; }
  const router::GatewayInfo& gateway() const { return m_gateway; }
  const std::vector<router::PortRule>& addedRules() const { return m_added; }
  // The line that names the router's state, as the status box shows it.
  QString routerLine() const;

 private:
  enum class Search { NotStarted, Running, Done };

  // Runs `then` once a search has ended, starting one when none has been made
  // (or, with `again`, when the last one found no router).
  void whenSearched(std::function<void()> then, bool again = false);
  void searchEnded(const router::GatewayInfo& gateway);
  void diagnoseRow(const QString& portText, const QString& protocolText, int port,
                   router::Transport transport, std::optional<router::Ipv4> siteSaw,
                   router::Ipv4 localAddress);
  void forwarded(const QString& rowName, const router::Outcome& outcome,
                 const std::vector<router::PortRule>& added);
  void showContextMenu(const QPoint& position);
  // The public address the test site named on the loaded result page.
  std::optional<router::Ipv4> siteSawAddress();
  QString diagnosisWords(router::Diagnosis diagnosis, const router::Outcome& why) const;
  QString failureWords(const router::Outcome& outcome) const;
  void appendStatusLine(const QString& line);
  // False when the row is gone, or (for a reason) no longer reads "Failed".
  bool setRowToolTip(const QString& portText, const QString& protocolText, const QString& tip);
  bool asksByItself() const;

  FrmMain& m_window;
  QString m_settingsFile;
  router::RouterLimits m_limits;
  std::unique_ptr<router::RouterTask> m_task;
  Search m_search = Search::NotStarted;
  router::GatewayInfo m_gateway;
  std::vector<std::function<void()>> m_afterSearch;
  std::vector<router::PortRule> m_added;
  bool m_boxWanted = false;
  // The rows (by rowName) whose reason offers the IPv6 test.
  QSet<QString> m_ipv6Offers;
};
