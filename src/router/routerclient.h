#pragma once
// RouterClient: the router help's synchronous core. Every call blocks until
// the router answers or its limit passes, so it belongs on a worker thread
// (see RouterTask for the window) or in a command-line program, which can
// use it as it is:
//
//   router::RouterClient client;
//   const router::GatewayInfo gateway = client.discover();      // <= ~2 s when silent
//   const router::RuleAnswer rule = client.findRule(port, router::Transport::Tcp);
//   ... run the port test, then
//   router::diagnose({gateway, rule}, siteSawAddress, chosenAddress, port, open);
//   client.forward(port, router::Transport::Tcp, chosenAddress);  // lease 3600 s
//   client.removeAll();                                           // the rules it added
//
// Not thread-safe: one thread at a time.

#include "router/routertypes.h"

#include <chrono>
#include <memory>
#include <vector>

namespace router {

class UpnpIgd;
class PmpGateway;

constexpr int kDefaultLeaseSeconds = 3600;

struct RouterLimits {
  // The search for a router, UPnP IGD and NAT-PMP together.
  std::chrono::milliseconds discovery{2000};
  // Each NAT-PMP request after the search. (UPnP requests are bounded by the
  // client library's socket limits, a few seconds.)
  std::chrono::milliseconds natPmpRequest{2000};
  // How long RouterTask waits for any one answer, on top of the search's own
  // limit, before it reports the router as not answering: a router that
  // trickles its answer out could hold a UPnP call far beyond the library's
  // per-read limits.
  std::chrono::milliseconds answer{10000};
};

class RouterClient {
 public:
  explicit RouterClient(RouterLimits limits = {});
  ~RouterClient();
  RouterClient(const RouterClient&) = delete;
  RouterClient& operator=(const RouterClient&) = delete;

  // Searches for the router, UPnP IGD (v1 or v2) first, NAT-PMP second, and
  // asks it for its external address. Replaces the router found before; the
  // list of added rules stays, as the rules stay on the router.
  GatewayInfo discover();
  const GatewayInfo& gateway() const { return m_gateway; }

  // The router's rule for a port. NAT-PMP cannot list rules: NotKnown,
  // except for a rule this program added itself.
  RuleAnswer findRule(int port, Transport transport);

  // Forwards port/transport on the router to localAddress, same port, for
  // leaseSeconds (0: permanent). Only for the computer's chosen address, and
  // only when the router is reached from it: a rule is never made for any
  // other address.
  Outcome forward(int port, Transport transport, Ipv4 localAddress,
                  int leaseSeconds = kDefaultLeaseSeconds);

  // Removes a rule this program added (and only such a rule).
  Outcome remove(int port, Transport transport);
  // Removes every rule this program added; the first failure, if any.
  Outcome removeAll();
  // The rules this program added and has not removed, oldest first.
  const std::vector<PortRule>& addedRules() const { return m_added; }

 private:
  Outcome removeFromRouter(int port, Transport transport);
  std::vector<PortRule>::iterator findAdded(int port, Transport transport);

  RouterLimits m_limits;
  GatewayInfo m_gateway;
  std::unique_ptr<UpnpIgd> m_igd;
  std::unique_ptr<PmpGateway> m_pmp;
  std::vector<PortRule> m_added;
};

}  // namespace router
