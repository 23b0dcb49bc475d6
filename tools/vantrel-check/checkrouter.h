#pragma once
// The router help on the command line (--router, --forward): one search for
// the router before the run, the rules added before the ports are tested,
// and a diagnosis for each port once its test is over. Every router call
// blocks for a bounded time (the search at most ~2 s), which a terminal
// program can afford between its port tests.
#include <QString>
#include <optional>
#include <vector>

#include "porttest.h"
#include "router/router.h"

struct CheckOptions;

// What the router help adds to one port's report.
struct PortRouterNote {
  router::Diagnosis diagnosis = router::Diagnosis::Unknown;
  std::optional<bool> forwarded;  // only when forwarding was asked for
  QString reason;                 // the short reason for a port that is not open; empty when open
      // (behind the provider's NAT it offers an IPv6 test when one is possible)
};

class CheckRouter {
 public:
  explicit CheckRouter(const CheckOptions& options);

  // Searches for the router and, with --forward, adds a rule for every port.
  void prepare();
  const router::GatewayInfo& gateway() const { return m_client.gateway(); }

  // The diagnosis of a finished port test, against the address the site saw.
  PortRouterNote noteFor(const PortTestOutcome& outcome);

 private:
  // The reason's addition for a port behind the provider's NAT when an IPv6 test could work.
  QString ipv6Offer();
  std::optional<QString> m_ipv6Address;  // looked up once, when first needed
  const CheckOptions& m_options;
  std::optional<router::Ipv4> m_localAddress;
  router::RouterClient m_client;
  // Index i: the forwarding of the options' port i, once prepare() ran with --forward.
  std::vector<router::Outcome> m_forwarding;
};

// The human line about the router: "router: upnp-igd, external address 203.0.113.7".
QString routerLine(const router::GatewayInfo& gateway);
