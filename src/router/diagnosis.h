#pragma once
// Why a tested port is closed, from what the router said, the public address
// the test site saw and whether the port was open. A pure function: the
// window and a command line call it after each port's test.

#include "router/routertypes.h"

#include <optional>

namespace router {

enum class Diagnosis {
  Ok,               // the port is open
  NoMapping,        // a router answered and has no (enabled) rule for the port
  MappedElsewhere,  // its rule points at another address or another internal port
  Cgnat,            // the router's external address is in the provider's shared block
  DoubleNat,        // the router's external address is private, or not the one the site saw
  Unknown,          // no router answered, or its answers explain nothing
};

// The names a machine-readable report uses: "ok", "no-mapping", "mapped-elsewhere",
// "cgnat", "double-nat", "unknown".
QString diagnosisName(Diagnosis diagnosis);

// A short English reason for logs and a command line's human-readable line;
// the window shows its own translated words instead.
QString diagnosisReason(Diagnosis diagnosis);

struct RouterAnswers {
  GatewayInfo gateway;
  RuleAnswer rule;
};

// `siteSaw`: the public address the test site reported (empty when unknown);
// `localAddress` and `port`: where this computer listened.
// A closed port's causes are weighed from the outside in: a NAT in front of
// the router defeats any rule, so it is named before the rule itself.
Diagnosis diagnose(const RouterAnswers& answers, std::optional<Ipv4> siteSaw, Ipv4 localAddress,
                   int port, bool open);

}  // namespace router
