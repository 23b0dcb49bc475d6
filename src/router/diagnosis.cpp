#include "router/diagnosis.h"

namespace router {

QString diagnosisName(Diagnosis diagnosis) {
  switch (diagnosis) {
    case Diagnosis::Ok:
      return QStringLiteral("ok");
    case Diagnosis::NoMapping:
      return QStringLiteral("no-mapping");
    case Diagnosis::MappedElsewhere:
      return QStringLiteral("mapped-elsewhere");
    case Diagnosis::Cgnat:
      return QStringLiteral("cgnat");
    case Diagnosis::DoubleNat:
      return QStringLiteral("double-nat");
    case Diagnosis::Unknown:
      break;
  }
  return QStringLiteral("unknown");
}

QString diagnosisReason(Diagnosis diagnosis) {
  switch (diagnosis) {
    case Diagnosis::Ok:
      return QStringLiteral("open");
    case Diagnosis::NoMapping:
      return QStringLiteral("the router has no forwarding rule for this port");
    case Diagnosis::MappedElsewhere:
      return QStringLiteral("the router forwards this port to another computer or port");
    case Diagnosis::Cgnat:
      return QStringLiteral(
          "the router is behind the provider's NAT (100.64.0.0/10): no rule at home can open it");
    case Diagnosis::DoubleNat:
      return QStringLiteral("another NAT sits between the router and the internet");
    case Diagnosis::Unknown:
      break;
  }
  return QStringLiteral("the router gave no reason");
}

Diagnosis diagnose(const RouterAnswers& answers, std::optional<Ipv4> siteSaw, Ipv4 localAddress,
                   int port, bool open) {
  if (open) return Diagnosis::Ok;
  if (!answers.gateway.found()) return Diagnosis::Unknown;
  if (const auto& external = answers.gateway.externalAddress) {
    if (external->isShared()) return Diagnosis::Cgnat;
    if (external->isPrivate() || (siteSaw && *siteSaw != *external)) return Diagnosis::DoubleNat;
  }
  const RuleAnswer& rule = answers.rule;
  if (rule.state == RuleAnswer::State::NoRule ||
      (rule.state == RuleAnswer::State::Rule && !rule.rule.enabled))
    return Diagnosis::NoMapping;
  if (rule.state == RuleAnswer::State::Rule &&
      (rule.rule.internalClient != localAddress || rule.rule.internalPort != port))
    return Diagnosis::MappedElsewhere;
  return Diagnosis::Unknown;
}

}  // namespace router
