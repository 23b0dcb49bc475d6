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

ServerLimits limitsFrom(const SiteOptions &options)
{
    ServerLimits limits;
    limits.workers = options.workers;
    limits.maxQueue = options.maxQueue;
    limits.maxConnectionsPerAddress = options.maxConnectionsPerAddress;
    limits.exemptAddress = options.trustProxy;
    limits.clientTimeout = options.clientTimeout;
    return limits;
}

void noteInLog(const std::string &verdict, const std::string &port = {})
{
    if (RequestRecord *record = currentRequestRecord()) {
        record->verdict = verdict;
        if (!port.empty())
            record->port = port;
    }
}

// "<before>N KiB<after>", appended piece by piece for g++ 12's overlap warning.
std::string withKiB(const char *before, std::size_t bytes, const char *after)
{
    std::string text = before;
    text += std::to_string(bytes / 1024);
    text += " KiB";
    text += after;
    return text;
}

std::string jsonString(std::string_view text)
{
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

std::string probeJson(const ResultView &result)
{
    namespace c = sitecontract;
    std::string json = "{";
    // Appended piece by piece: a literal added to a temporary string trips a
    // false overlap warning in g++ 12.
    const auto key = [&json](const char *name, bool first = false) {
        if (!first)
            json += ", ";
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

std::string errorJson(std::string_view message)
{
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
      m_server(limitsFrom(m_options), m_stop, &Site::errorPageFor)
{
    installRoutes();
}

bool Site::listen(std::string &error)
{
    return m_server.listen(m_options.listenAddress, m_options.port, error);
}

void Site::run()
{
    m_server.run();
}

std::string Site::errorPageFor(int status, std::string_view why)
{
    switch (status) {
    case 400:
        return errorPage(status, "Bad request", "The request could not be understood.");
    case 404:
        return errorPage(status, "Page not found", "There is no page at this address.");
    case 405:
        return errorPage(status, "Method not allowed", "This page cannot be requested that way.");
    case 408:
        return errorPage(status, "Request too slow", "The request did not arrive in time. Please try again.");
    case 413:
        return errorPage(status, "Request too large",
                         withKiB("The submitted form is larger than this site accepts (", kMaxBodyBytes, ")."));
    case 414:
        return errorPage(status, "Address too long", "The address of the request is longer than this site accepts.");
    case 431:
        return errorPage(status, "Request headers too large",
                         withKiB("The request's headers are larger than this site accepts (", kMaxHeadBytes,
                                 " in all)."));
    case 503:
        if (why == "too-many-connections")
            return errorPage(status, "Too many connections",
                             "Your address has too many connections open to this site. Please close some and try again.");
        return errorPage(status, "Busy", "The site is busy right now. Please try again in a moment.");
    default:
        return errorPage(status, "Error", "The request could not be served.");
    }
}

void Site::installRoutes()
{
    httplib::Server &http = m_server.http();
    http.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                              {"Referrer-Policy", "no-referrer"},
                              {"Cache-Control", "no-store"},
                              {"Accept-Ranges", "none"}});

    http.Get("/", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(indexPage(), kHtml);
    });
    http.Get(kHelpPagePath, [](const httplib::Request &, httplib::Response &res) {
        res.set_content(helpPage(), kHtml);
    });
    for (Protocol protocol : {Protocol::Tcp, Protocol::Udp}) {
        const auto handler = [this, protocol](const httplib::Request &req, httplib::Response &res) {
            handleTestPage(req, res, protocol);
        };
        http.Get(testPagePath(protocol), handler);
        http.Post(testPagePath(protocol), handler);
    }
    http.Get(std::string(sitecontract::kApiPortPrefix) + "([^/]*)", [this](const httplib::Request &req, httplib::Response &res) {
        handleApi(req, res);
    });
}

void Site::handleTestPage(const httplib::Request &req, httplib::Response &res, Protocol protocol)
{
    const bool submitted = req.method == "POST" || req.has_param(sitecontract::kPortField) ||
                           req.has_param(sitecontract::kSubmitButton);
    if (!submitted) {
        noteInLog("form");
        res.set_content(formPage(protocol), kHtml);
        return;
    }
    const std::string back = testPagePath(protocol);
    if (req.method == "HEAD") {
        // A probe is an action; a HEAD request (a link checker, say) must not start one.
        noteInLog("bad-method");
        res.status = 405;
        res.set_header("Allow", "GET, POST");
        res.set_content(errorPage(405, "Method not allowed", "Use the form to run a test."), kHtml);
        return;
    }
    const std::size_t ports = req.get_param_value_count(sitecontract::kPortField);
    if (ports != 1) {
        noteInLog("bad-port");
        res.status = 400;
        res.set_content(errorPage(400, "No port to test",
                                  ports == 0 ? "Please enter a port number from 1 to 65535."
                                             : "Please enter one port number, not several.",
                                  back),
                        kHtml);
        return;
    }
    const ProbeOutcome outcome = probe(req, protocol, req.get_param_value(sitecontract::kPortField));
    res.status = outcome.status;
    if (outcome.retryAfter.count() > 0)
        res.set_header("Retry-After", std::to_string(outcome.retryAfter.count()));
    if (outcome.result)
        res.set_content(resultPage(*outcome.result), kHtml);
    else
        res.set_content(errorPage(outcome.status, outcome.title, outcome.message, back), kHtml);
}

void Site::handleApi(const httplib::Request &req, httplib::Response &res)
{
    const auto refuse = [&res](int status, const std::string &verdict, const std::string &message) {
        noteInLog(verdict);
        res.status = status;
        res.set_content(errorJson(message), kJson);
    };
    if (req.method == "HEAD")
        return refuse(405, "bad-method", "use GET");
    Protocol protocol = Protocol::Tcp;
    const std::size_t protos = req.get_param_value_count(sitecontract::kApiProtocolParameter);
    if (protos > 1)
        return refuse(400, "bad-proto", "give proto once");
    if (protos == 1) {
        const std::string proto = req.get_param_value(sitecontract::kApiProtocolParameter);
        if (proto == "udp" || proto == "UDP")
            protocol = Protocol::Udp;
        else if (proto != "tcp" && proto != "TCP")
            return refuse(400, "bad-proto", "proto must be tcp or udp");
    }
    const ProbeOutcome outcome = probe(req, protocol, req.matches.size() > 1 ? std::string(req.matches[1]) : "");
    res.status = outcome.status;
    if (outcome.retryAfter.count() > 0)
        res.set_header("Retry-After", std::to_string(outcome.retryAfter.count()));
    res.set_content(outcome.result ? probeJson(*outcome.result) : errorJson(outcome.message), kJson);
}

Site::ProbeOutcome Site::probe(const httplib::Request &req, Protocol protocol, const std::string &portText)
{
    noteInLog("-", portText);
    const auto port = parsePortNumber(portText);
    if (!port) {
        noteInLog("bad-port");
        return {400, "Not a port number", "A port is a whole number from 1 to 65535, written in digits only.", {}, {}};
    }

    // Read from the header map itself: the library's value getters hand back C
    // strings, which would end an entry such as "192.0.2.1<NUL>junk" at the NUL.
    std::vector<std::string> forwardedFor;
    const auto [first, last] = req.headers.equal_range("X-Forwarded-For");
    for (auto it = first; it != last; ++it)
        forwardedFor.push_back(it->second);
    // remote_addr comes from our own stream (the socket's peer), never from a header.
    const auto peer = IpAddress::parse(req.remote_addr);
    if (!peer) {
        noteInLog("no-requester");
        return {400, "Unknown address", "The address of this request could not be read.", {}, {}};
    }
    const RequesterResult requester = findRequester(*peer, forwardedFor, m_options.trustProxy);
    if (!requester.address) {
        noteInLog("no-requester");
        return {400, "Unknown address", requester.problem, {}, {}};
    }
    if (RequestRecord *record = currentRequestRecord())
        record->requester = requester.address->text();

    // The site-wide cap first, so that a visitor turned away for it keeps their token.
    ProbeGate::Slot slot = m_gate.tryEnter();
    if (!slot) {
        noteInLog("busy");
        return {503, "Busy", "Too many tests are running right now. Please try again in a moment.",
                std::chrono::seconds(1), {}};
    }
    const RateLimiter::Decision decision =
        m_limiter.take(requester.address->visitorKey(), RateLimiter::Clock::now());
    if (!decision.allowed) {
        noteInLog("rate-limited");
        const auto seconds = std::chrono::ceil<std::chrono::seconds>(decision.retryAfter);
        return {429, "Too many tests",
                "You have run many tests in a short time. Please wait " + std::to_string(seconds.count()) +
                    " second(s) and try again.",
                std::max(std::chrono::seconds(1), seconds), {}};
    }
    if (m_stop.raised()) {
        noteInLog("stopping");
        return {503, "Shutting down", "The site is shutting down. Please try again later.", std::chrono::seconds(1), {}};
    }

    const IpAddress &target = m_options.probeAddress ? *m_options.probeAddress : *requester.address;
    ProbeOutcome outcome;
    outcome.result = runProbe(target, *port, protocol);
    return outcome;
}

ResultView Site::runProbe(const IpAddress &target, std::uint16_t port, Protocol protocol)
{
    ResultView view;
    view.protocol = protocol;
    view.address = target.text();
    view.port = port;
    view.timeout = m_options.probeTimeout;
    if (protocol == Protocol::Tcp) {
        const TcpProbeResult result = probeTcp(target, port, m_options.probeTimeout, m_stop);
        view.open = result.outcome == TcpOutcome::Open;
        view.elapsed = result.elapsed;
        noteInLog(tcpOutcomeName(result.outcome));
    } else {
        view.token = newProbeToken();
        view.datagramsPlanned = kUdpDatagrams;
        const UdpProbeResult result = probeUdp(target, port, view.token, kUdpDatagrams, m_options.udpGap, m_stop);
        view.datagramsSent = result.sent;
        view.elapsed = result.elapsed;
        noteInLog("sent-" + std::to_string(result.sent));
    }
    return view;
}

}  // namespace site
