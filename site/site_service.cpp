#include "site/site_service.h"

#include "site/port_number.h"
#include "site/probes.h"
#include "site/request_log.h"
#include "site/requester.h"
#include "sitecontract/sitecontract.h"

#include <cstdio>
#include <vector>

namespace site {

namespace {

constexpr char kHtml[] = "text/html; charset=utf-8";
constexpr char kJson[] = "application/json";
constexpr int kUdpDatagrams = 3;

ServerLimits limitsFrom(const SiteOptions& options) {
  ServerLimits limits;
  limits.workers = options.workers;
  limits.maxQueue = options.maxQueue;
  limits.maxConnectionsPerAddress = options.maxConnectionsPerAddress;
  limits.exemptAddress = options.trustProxy;
  limits.clientTimeout = options.clientTimeout;
  return limits;
}

std::vector<std::pair<std::string, std::string>> retryAfterHeader(std::chrono::seconds retryAfter) {
  if (retryAfter.count() <= 0) return {};
  return {{"Retry-After", std::to_string(retryAfter.count())}};
}

// "<before>N KiB<after>", appended piece by piece for g++ 12's overlap warning.
std::string withKiB(const char* before, std::size_t bytes, const char* after) {
  std::string text = before;
  text += std::to_string(bytes / 1024);
  text += " KiB";
  text += after;
  return text;
}

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

}  // namespace

std::string probeJson(const ResultView& result) {
  namespace c = sitecontract;
  std::string json = "{";
  // Appended piece by piece: a literal added to a temporary string trips a
  // false overlap warning in g++ 12.
  const auto key = [&json](const char* name, bool first = false) {
    if (!first) json += ", ";
    json += '"';
    json += name;
    json += "\": ";
  };
  key(c::kAnswerAddress, true);
  json += jsonString(result.address);
  key(c::kAnswerPort);
  json += std::to_string(result.port);
  key(c::kAnswerProtocol);
  json += '"';
  json += result.protocol == Protocol::Tcp ? c::kApiTcp : c::kApiUdp;
  json += '"';
  key(c::kAnswerOpen);
  json += result.protocol == Protocol::Tcp ? (result.open ? "true" : "false") : "null";
  key(c::kAnswerElapsedMs);
  json += std::to_string(result.elapsed.count());
  if (result.protocol == Protocol::Udp) {
    key(c::kAnswerSent);
    json += std::to_string(result.datagramsSent);
    key(c::kAnswerToken);
    json += jsonString(result.token);
  }
  return json + "}";
}

std::string errorJson(std::string_view message) {
  std::string json = "{\"";
  json += sitecontract::kAnswerError;
  json += "\": ";
  json += jsonString(message);
  return json + "}";
}

Site::Site(SiteOptions options)
    : m_options(std::move(options)),
      m_limiter(m_options.burst, m_options.refill),
      m_gate(m_options.maxProbes),
      m_server(limitsFrom(m_options), m_stop, &Site::errorPageFor) {
  m_server.setRoutes(routes());
}

bool Site::listen(std::string& error) {
  return m_server.listen(m_options.listenAddress, m_options.port, error);
}

void Site::run() { m_server.run(); }

std::string Site::errorPageFor(int status, std::string_view why) {
  switch (status) {
    case 400:
      return errorPage(status, "Bad request", "The request could not be understood.");
    case 404:
      return errorPage(status, "Page not found", "There is no page at this address.");
    case 405:
      return errorPage(status, "Method not allowed", "This page cannot be requested that way.");
    case 408:
      return errorPage(status, "Request too slow",
                       "The request did not arrive in time. Please try again.");
    case 413:
      return errorPage(
          status, "Request too large",
          withKiB("The submitted form is larger than this site accepts (", kMaxBodyBytes, ")."));
    case 414:
      return errorPage(status, "Address too long",
                       "The address of the request is longer than this site accepts.");
    case 431:
      return errorPage(status, "Request headers too large",
                       withKiB("The request's headers are larger than this site accepts (",
                               kMaxHeadBytes, " in all)."));
    case 503:
      if (why == "too-many-connections")
        return errorPage(status, "Too many connections",
                         "Your address has too many connections open to this site. Please close "
                         "some and try again.");
      return errorPage(status, "Busy", "The site is busy right now. Please try again in a moment.");
    default:
      return errorPage(status, "Error", "The request could not be served.");
  }
}

std::vector<Route> Site::routes() {
  const auto page = [](std::string (*make)()) {
    return [make](const SiteRequest&, RequestRecord&) { return Answer{200, kHtml, make(), {}}; };
  };
  using M = Route::Methods;
  std::vector<Route> table = {
      {M::Get, Route::Match::Path, "/", page(indexPage)},
      {M::Get, Route::Match::Path, kHelpPagePath, page(helpPage)},
      {M::Get, Route::Match::Prefix, sitecontract::kApiPortPrefix,
       [this](const SiteRequest& request, RequestRecord& record) {
         return handleApi(request, record);
       }},
  };
  for (Protocol protocol : {Protocol::Tcp, Protocol::Udp}) {
    table.push_back({M::GetAndPost, Route::Match::Path, testPagePath(protocol),
                     [this, protocol](const SiteRequest& request, RequestRecord& record) {
                       return handleTestPage(request, record, protocol);
                     }});
  }
  return table;
}

Answer Site::handleTestPage(const SiteRequest& request, RequestRecord& record, Protocol protocol) {
  const bool submitted = request.method == "POST" ||
                         request.fieldCount(sitecontract::kPortField) > 0 ||
                         request.fieldCount(sitecontract::kSubmitButton) > 0;
  if (!submitted) {
    record.verdict = "form";
    return {200, kHtml, formPage(protocol), {}};
  }
  const std::string back = testPagePath(protocol);
  if (request.method == "HEAD") {
    // A probe is an action; a HEAD request (a link checker, say) must not start one.
    record.verdict = "bad-method";
    return {405,
            kHtml,
            errorPage(405, "Method not allowed", "Use the form to run a test."),
            {{"Allow", "GET, POST"}}};
  }
  const std::size_t ports = request.fieldCount(sitecontract::kPortField);
  if (ports != 1) {
    record.verdict = "bad-port";
    return {400,
            kHtml,
            errorPage(400, "No port to test",
                      ports == 0 ? "Please enter a port number from 1 to 65535."
                                 : "Please enter one port number, not several.",
                      back),
            {}};
  }
  const ProbeOutcome outcome =
      probe(request, record, protocol, request.field(sitecontract::kPortField));
  Answer answer{outcome.status, kHtml, {}, retryAfterHeader(outcome.retryAfter)};
  answer.body = outcome.result ? resultPage(*outcome.result)
                               : errorPage(outcome.status, outcome.title, outcome.message, back);
  return answer;
}

Answer Site::handleApi(const SiteRequest& request, RequestRecord& record) {
  const auto refuse = [&record](int status, const char* verdict, std::string_view message) {
    record.verdict = verdict;
    return Answer{status, kJson, errorJson(message), {}};
  };
  if (request.method == "HEAD") {
    Answer answer = refuse(405, "bad-method", "use GET");
    answer.headers.emplace_back("Allow", "GET");
    return answer;
  }
  Protocol protocol = Protocol::Tcp;
  const std::size_t protos = request.fieldCount(sitecontract::kApiProtocolParameter);
  if (protos > 1) return refuse(400, "bad-proto", "give proto once");
  if (protos == 1) {
    const std::string proto = request.field(sitecontract::kApiProtocolParameter);
    if (proto == "udp" || proto == "UDP")
      protocol = Protocol::Udp;
    else if (proto != "tcp" && proto != "TCP")
      return refuse(400, "bad-proto", "proto must be tcp or udp");
  }
  const ProbeOutcome outcome = probe(request, record, protocol, request.pathTail);
  return {outcome.status, kJson,
          outcome.result ? probeJson(*outcome.result) : errorJson(outcome.message),
          retryAfterHeader(outcome.retryAfter)};
}

Site::ProbeOutcome Site::probe(const SiteRequest& request, RequestRecord& record, Protocol protocol,
                               const std::string& portText) {
  record.port = portText;
  const auto port = parsePortNumber(portText);
  if (!port) {
    record.verdict = "bad-port";
    return {400,
            "Not a port number",
            "A port is a whole number from 1 to 65535, written in digits only.",
            {},
            {}};
  }

  const auto peer = IpAddress::parse(request.peer);
  if (!peer) {
    record.verdict = "no-requester";
    return {400, "Unknown address", "The address of this request could not be read.", {}, {}};
  }
  const RequesterResult requester =
      findRequester(*peer, request.forwardedFor, m_options.trustProxy);
  if (!requester.address) {
    record.verdict = "no-requester";
    return {400, "Unknown address", requester.problem, {}, {}};
  }
  record.requester = requester.address->text();

  // The site-wide cap first, so that a visitor turned away for it keeps their token.
  ProbeGate::Slot slot = m_gate.tryEnter();
  if (!slot) {
    record.verdict = "busy";
    return {503,
            "Busy",
            "Too many tests are running right now. Please try again in a moment.",
            std::chrono::seconds(1),
            {}};
  }
  const RateLimiter::Decision decision =
      m_limiter.take(requester.address->visitorKey(), RateLimiter::Clock::now());
  if (!decision.allowed) {
    record.verdict = "rate-limited";
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(decision.retryAfter);
    return {429,
            "Too many tests",
            "You have run many tests in a short time. Please wait " +
                std::to_string(seconds.count()) + " second(s) and try again.",
            std::max(std::chrono::seconds(1), seconds),
            {}};
  }
  if (m_stop.raised()) {
    record.verdict = "stopping";
    return {503,
            "Shutting down",
            "The site is shutting down. Please try again later.",
            std::chrono::seconds(1),
            {}};
  }

  const IpAddress& target = m_options.probeAddress ? *m_options.probeAddress : *requester.address;
  ProbeOutcome outcome;
  outcome.result = runProbe(target, *port, protocol, record);
  return outcome;
}

ResultView Site::runProbe(const IpAddress& target, std::uint16_t port, Protocol protocol,
                          RequestRecord& record) {
  ResultView view;
  view.protocol = protocol;
  view.address = target.text();
  view.port = port;
  view.timeout = m_options.probeTimeout;
  if (protocol == Protocol::Tcp) {
    const TcpProbeResult result = probeTcp(target, port, m_options.probeTimeout, m_stop);
    view.open = result.outcome == TcpOutcome::Open;
    view.elapsed = result.elapsed;
    record.verdict = tcpOutcomeName(result.outcome);
  } else {
    view.token = newProbeToken();
    view.datagramsPlanned = kUdpDatagrams;
    const UdpProbeResult result =
        probeUdp(target, port, view.token, kUdpDatagrams, m_options.udpGap, m_stop);
    view.datagramsSent = result.sent;
    view.elapsed = result.elapsed;
    record.verdict = "sent-" + std::to_string(result.sent);
  }
  return view;
}

}  // namespace site
