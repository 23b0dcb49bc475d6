#pragma once
// The site itself: its routes, the probe that sits behind the test forms and
// the JSON call, and the safety rules in front of every probe (valid port,
// the requester's own address, per-visitor rate limit, site-wide cap).

#include "site/connection_server.h"
#include "site/pages.h"
#include "site/probe_gate.h"
#include "site/rate_limiter.h"
#include "site/site_options.h"
#include "site/site_request.h"
#include "site/stop_signal.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace site {

class Site {
 public:
  explicit Site(SiteOptions options);
  Site(const Site&) = delete;
  Site& operator=(const Site&) = delete;

  bool listen(std::string& error);
  std::uint16_t port() const { return m_server.port(); }
  // Serves until stop().
  void run();
  // Safe from any thread and from a signal handler (one write to an eventfd).
  void stop() { m_stop.raise(); }
  int stopDescriptor() const { return m_stop.fd(); }

 private:
  // What came of an attempt to probe: an answer to render, or a refusal.
  struct ProbeOutcome {
    int status = 200;
    std::string title;
    std::string message;
    std::chrono::seconds retryAfter{0};
    std::optional<ResultView> result;
  };

  // Every page the site serves and who answers it.
  std::vector<Route> routes();
  Answer handleTestPage(const SiteRequest& request, RequestRecord& record, Protocol protocol);
  Answer handleApi(const SiteRequest& request, RequestRecord& record);
  ProbeOutcome probe(const SiteRequest& request, RequestRecord& record, Protocol protocol,
                     const std::string& portText);
  ResultView runProbe(const IpAddress& target, std::uint16_t port, Protocol protocol,
                      RequestRecord& record);
  static std::string errorPageFor(int status, std::string_view why);

  SiteOptions m_options;
  StopSignal m_stop;
  RateLimiter m_limiter;
  ProbeGate m_gate;
  ConnectionServer m_server;
};

// The JSON answer of /api/port/N.
std::string probeJson(const ResultView& result);
std::string errorJson(std::string_view message);

}  // namespace site
