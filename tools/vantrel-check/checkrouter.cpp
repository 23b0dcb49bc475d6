#include "checkrouter.h"

#include <algorithm>

#include "checkoptions.h"
#include "net/localhost.h"

namespace {

router::Transport transportOf(PortProtocol protocol) {
  return protocol == PortProtocol::Tcp ? router::Transport::Tcp : router::Transport::Udp;
}

}  // namespace

CheckRouter::CheckRouter(const CheckOptions& options)
    : m_options(options), m_localAddress(router::Ipv4::parse(options.localIp)) {}

void CheckRouter::prepare() {
  m_client.discover();
  if (!m_options.forward) return;
  for (const TestedPort& tested : m_options.ports) {
    // Rules are made for the address the ports listen on, and for no other.
    m_forwarding.push_back(m_localAddress
                               ? m_client.forward(tested.port, transportOf(tested.protocol),
                                                  *m_localAddress, m_options.leaseSeconds)
                               : router::Outcome{router::Failure::WrongLocalAddress, 0});
  }
}

PortRouterNote CheckRouter::noteFor(const PortTestOutcome& outcome) {
  PortRouterNote note;
  std::optional<router::Outcome> forwarding;
  const auto index = static_cast<size_t>(
      std::find(m_options.ports.begin(), m_options.ports.end(), outcome.tested) -
      m_options.ports.begin());
  if (index < m_forwarding.size()) {
    forwarding = m_forwarding[index];
    note.forwarded = forwarding->ok();
  }
  if (outcome.result == PortResult::Open) {
    note.diagnosis = router::Diagnosis::Ok;
    return note;
  }
  // Only a port the site could not reach has a cause on the router; one that
  // was never tested (in use, no permission, an error) has its own reason.
  if (outcome.result == PortResult::Closed && gateway().found() && m_localAddress) {
    const router::RouterAnswers answers{
        gateway(), m_client.findRule(outcome.tested.port, transportOf(outcome.tested.protocol))};
    note.diagnosis = router::diagnose(answers, router::Ipv4::parse(outcome.publicAddress),
                                      *m_localAddress, outcome.tested.port, false);
  }
  if (forwarding && !forwarding->ok() && forwarding->failure != router::Failure::NoRouter) {
    note.reason = QStringLiteral("not forwarded: ") + router::describe(*forwarding);
  }
  if (outcome.result == PortResult::Closed) {
    if (!note.reason.isEmpty()) note.reason += QStringLiteral("; ");
    note.reason += gateway().found() ? router::diagnosisReason(note.diagnosis)
                                     : QStringLiteral("no router answered");
    if (note.diagnosis == router::Diagnosis::Cgnat && !m_options.ipv6) note.reason += ipv6Offer();
  }
  return note;
}

QString CheckRouter::ipv6Offer() {
  // Behind the provider's NAT no rule can work over IPv4, but a global IPv6
  // address is reached directly once the router's IPv6 firewall lets the port in.
  if (!m_ipv6Address) {
    Endpoint address;
    m_ipv6Address = localhost::firstIpv6Address(&address) ? sys::addressText(address) : QString();
  }
  if (m_ipv6Address->isEmpty()) return QString();
  QString offer = QStringLiteral("; this computer has the IPv6 address ");
  offer += *m_ipv6Address;
  offer += QStringLiteral(": an IPv6 test is possible (vantrel-check -6)");
  return offer;
}

QString routerLine(const router::GatewayInfo& gateway) {
  if (!gateway.found()) return QStringLiteral("router: ") + router::describe(gateway.outcome);
  return QStringLiteral("router: %1, external address %2")
      .arg(router::methodName(gateway.method),
           gateway.externalAddress ? gateway.externalAddress->text() : QStringLiteral("unknown"));
}
