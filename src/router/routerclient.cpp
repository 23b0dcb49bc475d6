#include "router/routerclient.h"

#include "router/pmpgateway.h"
#include "router/upnpigd.h"

#include <algorithm>

namespace router {
namespace {

const QString kRuleDescription = QStringLiteral("Vantrel port test");

}  // namespace

RouterClient::RouterClient(RouterLimits limits) : m_limits(limits) {}
RouterClient::~RouterClient() = default;

GatewayInfo RouterClient::discover() {
  m_igd.reset();
  m_pmp.reset();
  m_gateway = {};
  // The NAT-PMP question goes out first, so its answer arrives during the
  // UPnP search and a silent network costs one wait, not two.
  auto pmp = PmpGateway::open();
  const auto started = std::chrono::steady_clock::now();
  m_igd = UpnpIgd::discover(m_limits.discovery);
  if (m_igd) {
    m_gateway.method = Method::UpnpIgd;
    m_gateway.localAddress = m_igd->localAddress();
    m_gateway.externalAddress = m_igd->externalAddress(&m_gateway.outcome);
    return m_gateway;
  }
  if (pmp) {
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    const auto left = std::max(std::chrono::milliseconds(0), m_limits.discovery - spent);
    Outcome outcome;
    auto external = pmp->externalAddress(left, &outcome);
    if (outcome.ok()) {
      m_gateway.method = Method::NatPmp;
      m_gateway.localAddress = pmp->localAddress();
      m_gateway.externalAddress = external;
      m_pmp = std::move(pmp);
      return m_gateway;
    }
  }
  m_gateway.outcome = {Failure::NoRouter, 0};
  return m_gateway;
}

RuleAnswer RouterClient::findRule(int port, Transport transport) {
  RuleAnswer answer;
  if (!isPortNumber(port)) {
    answer.outcome = {Failure::BadArgument, 0};
  } else if (m_igd) {
    answer = m_igd->findRule(port, transport);
  } else if (auto added = findAdded(port, transport); m_pmp && added != m_added.end()) {
    answer.state = RuleAnswer::State::Rule;
    answer.rule = *added;
  } else {
    answer.outcome = {m_pmp ? Failure::NotSupported : Failure::NoRouter, 0};
  }
  return answer;
}

Outcome RouterClient::forward(int port, Transport transport, Ipv4 localAddress, int leaseSeconds) {
  if (!isPortNumber(port) || leaseSeconds < 0) return {Failure::BadArgument, 0};
  if (!m_igd && !m_pmp) return {Failure::NoRouter, 0};
  if (m_gateway.localAddress != localAddress) return {Failure::WrongLocalAddress, 0};
  PortRule rule{port, transport, localAddress, port, kRuleDescription, leaseSeconds, true};
  const Outcome outcome =
      m_igd ? m_igd->addRule(rule, &rule.leaseSeconds)
            : m_pmp->map(port, transport, leaseSeconds, m_limits.natPmpRequest, &rule.leaseSeconds);
  if (!outcome.ok()) return outcome;
  // Forwarding the same port again renews the rule: keep one entry.
  if (auto added = findAdded(port, transport); added != m_added.end()) m_added.erase(added);
  m_added.push_back(rule);
  return outcome;
}

Outcome RouterClient::remove(int port, Transport transport) {
  const auto added = findAdded(port, transport);
  if (added == m_added.end()) return {Failure::NotOurs, 0};
  const Outcome outcome = removeFromRouter(port, transport);
  if (outcome.ok()) m_added.erase(added);
  return outcome;
}

Outcome RouterClient::removeAll() {
  Outcome first;
  for (const PortRule& rule : std::vector<PortRule>(m_added)) {
    const Outcome outcome = remove(rule.externalPort, rule.transport);
    if (first.ok()) first = outcome;
  }
  return first;
}

Outcome RouterClient::removeFromRouter(int port, Transport transport) {
  if (m_igd) return m_igd->deleteRule(port, transport);
  if (m_pmp) {
    int granted = 0;
    return m_pmp->map(port, transport, 0, m_limits.natPmpRequest, &granted);
  }
  return {Failure::NoRouter, 0};
}

std::vector<PortRule>::iterator RouterClient::findAdded(int port, Transport transport) {
  return std::find_if(m_added.begin(), m_added.end(), [&](const PortRule& rule) {
    return rule.externalPort == port && rule.transport == transport;
  });
}

}  // namespace router
