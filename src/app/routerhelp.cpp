#include "app/routerhelp.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVariant>
#include <utility>

#include "app/engine/siteroute.h"
#include "app/engine/testedport.h"
#include "app/frmmain.h"
#include "net/modgetip.h"
#include "persist/modini.h"

namespace {

const QString kLineBreak = QStringLiteral("\r\n");
const QString kUdp = QStringLiteral("UDP");

// Columns of a port row: port, protocol, status, "Open?".
constexpr int kPortColumn = 0;
constexpr int kProtocolColumn = 1;
constexpr int kOpenColumn = 3;

// The result page names the address the site tested, which is the address it
// saw this computer's request come from: "<dt>Address tested</dt><dd>...</dd>".
const QString kSiteSawScript = QStringLiteral(
    "(function () {"
    "  var terms = document.getElementsByTagName('dt');"
    "  for (var i = 0; i < terms.length; ++i) {"
    "    if (terms[i].textContent.trim() !== 'Address tested') continue;"
    "    var value = terms[i].nextElementSibling;"
    "    return value && value.tagName === 'DD' ? value.textContent.trim() : '';"
    "  }"
    "  return '';"
    "})()");

router::Transport transportOf(const QString& protocolText) {
  return protocolText == kUdp ? router::Transport::Udp : router::Transport::Tcp;
}

QString rowName(const QString& portText, const QString& protocolText) {
  return portText + QLatin1Char(' ') + protocolText;
}

QString methodText(router::Method method) {
  return method == router::Method::NatPmp ? QStringLiteral("NAT-PMP") : QStringLiteral("UPnP IGD");
}

QString ruleText(const router::PortRule& rule) {
  return QStringLiteral("%1 %2 -> %3:%4")
      .arg(rule.externalPort)
      .arg(rule.transport == router::Transport::Udp ? kUdp : QStringLiteral("TCP"))
      .arg(rule.internalClient.text())
      .arg(rule.internalPort);
}

// The first IPv6 address in the chooser's list; the list holds global ones
// only, after every IPv4 address.
std::optional<int> firstIpv6Entry(const UniCombo& chooser) {
  for (int index = 0; index < chooser.ListCount(); ++index) {
    if (isIpv6AddressText(addressOfChooserText(chooser.List(index)))) return index;
  }
  return std::nullopt;
}

}  // namespace

RouterHelp::RouterHelp(FrmMain& window, const QString& settingsFile, router::RouterLimits limits)
    : m_window(window), m_settingsFile(settingsFile), m_limits(limits) {
  connect(&m_window.Label9, &UniLabel::Click, this, &RouterHelp::showRouter);
  QTreeWidget* tree = m_window.ListView1.treeWidget();
  tree->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(tree, &QWidget::customContextMenuRequested, this, &RouterHelp::showContextMenu);
}

RouterHelp::~RouterHelp() = default;

bool RouterHelp::asksByItself() const {
  const QString setting =
      ReadIniValue(QStringLiteral("main"), QStringLiteral("router"), m_settingsFile);
  return setting.trimmed().compare(QStringLiteral("off"), Qt::CaseInsensitive) != 0;
}

void RouterHelp::verdictWritten(const QString& portText, const QString& protocolText, bool open) {
  // A tooltip from an earlier run must not outlive the row's new verdict.
  setRowToolTip(portText, protocolText, QString());
  m_ipv6Offers.remove(rowName(portText, protocolText));
  if (open || !asksByItself()) return;
  // The router's rules and its NAT concern IPv4; an IPv6 port has nothing to diagnose there.
  if (isIpv6AddressText(addressOfChooserText(m_window.Combo1.Text()))) return;
  const std::optional<int> port = portNumberOf(portText.trimmed());
  if (!port) return;
  // Read now: the next row's page replaces this result page.
  const std::optional<router::Ipv4> siteSaw = siteSawAddress();
  const router::Ipv4 localAddress =
      router::Ipv4::parse(m_window.Combo1.Text()).value_or(router::Ipv4{});
  diagnoseRow(portText, protocolText, *port, transportOf(protocolText), siteSaw, localAddress);
}

std::optional<router::Ipv4> RouterHelp::siteSawAddress() {
  const QVariant answer = m_window.WebBrowser1.evaluate(kSiteSawScript);
  if (answer.typeId() != QMetaType::QString) return std::nullopt;
  // The page is outside input: only a strict dotted quad counts.
  return router::Ipv4::parse(answer.toString());
}

void RouterHelp::diagnoseRow(const QString& portText, const QString& protocolText, int port,
                             router::Transport transport, std::optional<router::Ipv4> siteSaw,
                             router::Ipv4 localAddress) {
  whenSearched([=, this] {
    if (!m_gateway.found()) {
      showDiagnosis(portText, protocolText, router::Diagnosis::Unknown, m_gateway.outcome, siteSaw);
      return;
    }
    m_task->findRule(port, transport, [=, this](const router::RuleAnswer& rule) {
      const router::Diagnosis diagnosis =
          router::diagnose({m_gateway, rule}, siteSaw, localAddress, port, false);
      showDiagnosis(portText, protocolText, diagnosis, rule.outcome, siteSaw);
    });
  });
}

void RouterHelp::showDiagnosis(const QString& portText, const QString& protocolText,
                               router::Diagnosis diagnosis, const router::Outcome& why,
                               std::optional<router::Ipv4> siteSaw) {
  QString reason = diagnosisWords(diagnosis, why);
  if (siteSaw)
    reason += QStringLiteral(" (") + m_window.Text42.Text() + QLatin1Char(' ') + siteSaw->text() +
              QLatin1Char(')');
  // No rule at home opens an IPv4 port behind the provider's NAT, but a
  // global IPv6 address is reached without one.
  const std::optional<int> ipv6Entry =
      diagnosis == router::Diagnosis::Cgnat ? firstIpv6Entry(m_window.Combo1) : std::nullopt;
  if (ipv6Entry) {
    reason += QStringLiteral("; ");
    reason += m_window.Text55.Text();
    reason += QLatin1Char(' ');
    reason += addressOfChooserText(m_window.Combo1.List(*ipv6Entry));
  }
  // An answer that comes after the row was removed, or tested again without
  // failing, belongs to an old verdict.
  if (!setRowToolTip(portText, protocolText, reason)) return;
  const QString name = rowName(portText, protocolText);
  if (ipv6Entry) m_ipv6Offers.insert(name);
  appendStatusLine(name + QStringLiteral(": ") + m_window.Text16.Text() + QStringLiteral(" - ") +
                   reason);
}

QString RouterHelp::diagnosisWords(router::Diagnosis diagnosis, const router::Outcome& why) const {
  switch (diagnosis) {
    case router::Diagnosis::Ok:
      return m_window.Text15.Text();
    case router::Diagnosis::NoMapping:
      return m_window.Text37.Text();
    case router::Diagnosis::MappedElsewhere:
      return m_window.Text38.Text();
    case router::Diagnosis::Cgnat:
      return m_window.Text39.Text();
    case router::Diagnosis::DoubleNat:
      return m_window.Text40.Text();
    case router::Diagnosis::Unknown:
      break;
  }
  const QString failure = failureWords(why);
  return failure.isEmpty() ? m_window.Text41.Text()
                           : m_window.Text41.Text() + QStringLiteral(": ") + failure;
}

QString RouterHelp::failureWords(const router::Outcome& outcome) const {
  using router::Failure;
  QString words;
  switch (outcome.failure) {
    case Failure::None:
    case Failure::NotSupported:  // NAT-PMP lists no rules: nothing went wrong
      return {};
    case Failure::NoRouter:
      return m_window.Text50.Text();
    case Failure::NoAnswer:
    case Failure::BadAnswer:
      return m_window.Text51.Text();
    case Failure::Conflict:
      return m_window.Text52.Text();
    case Failure::WrongLocalAddress:
      return m_window.Text54.Text();
    case Failure::NotAuthorised:
    case Failure::Refused:
    case Failure::BadArgument:
    case Failure::NotOurs:
      words = m_window.Text53.Text();
      break;
  }
  if (outcome.code != 0) words += QStringLiteral(" (%1)").arg(outcome.code);
  return words;
}

QString RouterHelp::routerLine() const {
  switch (m_search) {
    case Search::NotStarted:
      return {};
    case Search::Running:
      return m_window.Text33.Text();
    case Search::Done:
      break;
  }
  if (!m_gateway.found()) return m_window.Text34.Text();
  QString line = m_window.Text35.Text() + QLatin1Char(' ') + methodText(m_gateway.method);
  if (m_gateway.externalAddress) {
    line += QStringLiteral(" - ") + m_window.Text36.Text() + QLatin1Char(' ') +
            m_gateway.externalAddress->text();
  }
  return line;
}

void RouterHelp::whenSearched(std::function<void()> then, bool again) {
  if (m_search == Search::Done && !(again && !m_gateway.found())) {
    then();
    return;
  }
  m_afterSearch.push_back(std::move(then));
  if (m_search == Search::Running) return;
  if (!m_task) m_task = std::make_unique<router::RouterTask>(this, m_limits);
  m_search = Search::Running;
  appendStatusLine(routerLine());
  m_window.Label9.label()->setToolTip(routerLine());
  m_task->discover([this](const router::GatewayInfo& gateway) { searchEnded(gateway); });
}

void RouterHelp::searchEnded(const router::GatewayInfo& gateway) {
  m_gateway = gateway;
  if (!m_gateway.found() && m_gateway.outcome.ok())
    m_gateway.outcome = {router::Failure::NoRouter, 0};
  m_search = Search::Done;
  appendStatusLine(routerLine());
  m_window.Label9.label()->setToolTip(routerLine());
  // Taken out first: a waiting step may itself wait for another search.
  const std::vector<std::function<void()>> waiting = std::exchange(m_afterSearch, {});
  for (const auto& then : waiting) then();
}

void RouterHelp::showRouter() {
  if (m_boxWanted) return;
  m_boxWanted = true;
  whenSearched(
      [this] {
        // Shown from an event of its own: a modal box must not run inside the
        // router task's answer, nor inside the click that asked for it.
        QTimer::singleShot(0, this, [this] {
          QString text = routerLine();
          if (!m_added.empty()) {
            text += kLineBreak + kLineBreak + m_window.Text49.Text();
            for (const router::PortRule& rule : m_added) text += kLineBreak + ruleText(rule);
          }
          m_window.UniMsgBox1.Reset();
          m_window.UniMsgBox1.Show(text, UniMsgBox::kStyleInformation, m_window.Label9.Caption());
          m_boxWanted = false;
        });
      },
      true);
}

void RouterHelp::forwardSelectedRow() {
  if (m_window.running) return;
  const std::optional<UniListItem> selected = m_window.ListView1.SelectedItem();
  if (!selected || !selected->isValid()) return;
  const QString portText = selected->Text();
  const QString protocolText = selected->SubItems(1);
  const QString name = rowName(portText, protocolText);
  const std::optional<int> port = portNumberOf(portText.trimmed());
  if (!port) {
    appendStatusLine(m_window.Text46.Text() + QLatin1Char(' ') + name + QStringLiteral(": ") +
                     m_window.Text28.Text());
    return;
  }
  // Rules are made for the address the user chose to listen on, and no other.
  const std::optional<router::Ipv4> localAddress = router::Ipv4::parse(m_window.Combo1.Text());
  const router::Transport transport = transportOf(protocolText);
  whenSearched(
      [=, this] {
        if (!m_gateway.found()) {
          forwarded(name, m_gateway.outcome, m_added);
          return;
        }
        if (!localAddress) {
          forwarded(name, {router::Failure::WrongLocalAddress, 0}, m_added);
          return;
        }
        m_task->forward(
            *port, transport, *localAddress, router::kDefaultLeaseSeconds,
            [=, this](const router::Outcome& outcome, const std::vector<router::PortRule>& added) {
              forwarded(name, outcome, added);
            });
      },
      true);
}

void RouterHelp::forwarded(const QString& name, const router::Outcome& outcome,
                           const std::vector<router::PortRule>& added) {
  m_added = added;
  if (!outcome.ok()) {
    appendStatusLine(m_window.Text46.Text() + QLatin1Char(' ') + name + QStringLiteral(": ") +
                     failureWords(outcome));
    return;
  }
  appendStatusLine(m_window.Text45.Text() + QLatin1Char(' ') + name);
  // The test again, as a click on "Begin" starts it, from an event of its own:
  // a run is one long handler and must not run inside the router's answer.
  QTimer::singleShot(0, this, [this] {
    if (!m_window.running) m_window.Command3.button()->click();
  });
}

void RouterHelp::removeAddedRules() {
  if (!m_task || m_added.empty()) return;
  m_task->removeAll(
      [this](const router::Outcome& outcome, const std::vector<router::PortRule>& added) {
        m_added = added;
        appendStatusLine(outcome.ok()
                             ? m_window.Text47.Text()
                             : m_window.Text48.Text() + QLatin1Char(' ') + failureWords(outcome));
      });
}

void RouterHelp::chooseIpv6Address() {
  // The address must not change under a running test.
  if (m_window.running) return;
  if (const std::optional<int> entry = firstIpv6Entry(m_window.Combo1))
    m_window.Combo1.setListIndex(*entry);
}

void RouterHelp::showContextMenu(const QPoint& position) {
  QTreeWidget* tree = m_window.ListView1.treeWidget();
  QMenu menu(tree);
  auto addEntry = [&](const QString& text, void (RouterHelp::*action)(), bool enabled) {
    QAction* entry = menu.addAction(text);
    entry->setEnabled(enabled);
    connect(entry, &QAction::triggered, this, action);
  };
  const std::optional<UniListItem> selected = m_window.ListView1.SelectedItem();
  addEntry(m_window.Label9.Caption(), &RouterHelp::showRouter, true);
  addEntry(m_window.Text43.Text(), &RouterHelp::forwardSelectedRow,
           !m_window.running && selected && selected->isValid());
  addEntry(m_window.Text44.Text(), &RouterHelp::removeAddedRules, !m_added.empty());
  // Only for a row whose reason offered it: elsewhere the entry is noise.
  if (selected && selected->isValid() && selected->SubItems(3) == m_window.Text16.Text() &&
      m_ipv6Offers.contains(rowName(selected->Text(), selected->SubItems(1))))
    addEntry(m_window.Text56.Text(), &RouterHelp::chooseIpv6Address, !m_window.running);
  menu.exec(tree->viewport()->mapToGlobal(position));
}

void RouterHelp::appendStatusLine(const QString& line) {
  // The status box is one line high: the caret at the start of the newest
  // line keeps that line in view.
  UniText& status = m_window.Text2;
  status.setText(status.Text() + kLineBreak + line);
  status.setSelStart(static_cast<int>(status.Text().size() - line.size()));
}

bool RouterHelp::setRowToolTip(const QString& portText, const QString& protocolText,
                               const QString& tip) {
  // Rows are told apart by port text and protocol, as the list keeps them
  // unique; a row removed since its test simply is not found.
  QTreeWidget* tree = m_window.ListView1.treeWidget();
  for (int i = 0; i < tree->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = tree->topLevelItem(i);
    if (item->text(kPortColumn) != portText || item->text(kProtocolColumn) != protocolText)
      continue;
    // A reason is only for a row that reads "Failed".
    if (!tip.isEmpty() && item->text(kOpenColumn) != m_window.Text16.Text()) return false;
    for (int column = 0; column < tree->columnCount(); ++column) item->setToolTip(column, tip);
    return true;
  }
  return false;
}
