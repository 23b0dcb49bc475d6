#include "site/site_options.h"

#include <charconv>
#include <functional>
#include <map>

namespace site {

namespace {

std::optional<unsigned long> parseWhole(const std::string &text, unsigned long low, unsigned long high)
{
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    unsigned long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

using Setter = std::function<std::string(SiteOptions &, const std::string &)>;

// Each setter returns an empty string on success, else what was wrong.
Setter wholeNumber(unsigned long low, unsigned long high, std::function<void(SiteOptions &, unsigned long)> apply)
{
    return [=](SiteOptions &options, const std::string &text) -> std::string {
        const auto value = parseWhole(text, low, high);
        if (!value)
            return "needs a whole number from " + std::to_string(low) + " to " + std::to_string(high);
        apply(options, *value);
        return {};
    };
}

Setter milliseconds(unsigned long low, unsigned long high, std::chrono::milliseconds SiteOptions::*member)
{
    return wholeNumber(low, high, [member](SiteOptions &o, unsigned long v) {
        o.*member = std::chrono::milliseconds(v);
    });
}

Setter count(unsigned long low, unsigned long high, unsigned SiteOptions::*member)
{
    return wholeNumber(low, high, [member](SiteOptions &o, unsigned long v) { o.*member = unsigned(v); });
}

Setter address(std::function<void(SiteOptions &, const IpAddress &)> apply)
{
    return [=](SiteOptions &options, const std::string &text) -> std::string {
        const auto parsed = IpAddress::parse(text);
        if (!parsed)
            return "needs a numeric IPv4 or IPv6 address, not \"" + text + "\"";
        apply(options, *parsed);
        return {};
    };
}

const std::map<std::string, Setter> &setters()
{
    static const std::map<std::string, Setter> table = {
        {"--listen", address([](SiteOptions &o, const IpAddress &a) { o.listenAddress = a; })},
        {"--port", wholeNumber(0, 65535, [](SiteOptions &o, unsigned long v) { o.port = int(v); })},
        {"--probe-timeout-ms", milliseconds(1, 60000, &SiteOptions::probeTimeout)},
        {"--burst", count(1, 1000000, &SiteOptions::burst)},
        {"--refill-ms", milliseconds(1, 86400000, &SiteOptions::refill)},
        {"--max-probes", count(1, 100000, &SiteOptions::maxProbes)},
        {"--trust-proxy", address([](SiteOptions &o, const IpAddress &a) { o.trustProxy = a; })},
        {"--probe-address", address([](SiteOptions &o, const IpAddress &a) { o.probeAddress = a; })},
        {"--workers", count(1, 4096, &SiteOptions::workers)},
        {"--max-queue", count(1, 100000, &SiteOptions::maxQueue)},
        {"--max-connections-per-address", count(1, 100000, &SiteOptions::maxConnectionsPerAddress)},
        {"--client-timeout-ms", milliseconds(1, 600000, &SiteOptions::clientTimeout)},
        {"--udp-gap-ms", milliseconds(0, 60000, &SiteOptions::udpGap)},
    };
    return table;
}

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string> &arguments)
{
    ParsedOptions parsed;
    auto fail = [&parsed](std::string message) {
        parsed.action = ParsedOptions::Action::Fail;
        parsed.error = std::move(message);
        return parsed;
    };

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            parsed.action = ParsedOptions::Action::ShowHelp;
            return parsed;
        }
        std::string name = argument;
        std::optional<std::string> value;
        if (const auto equals = argument.find('='); equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        const auto setter = setters().find(name);
        if (setter == setters().end())
            return fail("unknown option \"" + name + "\"");
        if (!value) {
            if (i + 1 >= arguments.size())
                return fail("option " + name + " needs a value");
            value = arguments[++i];
        }
        if (std::string problem = setter->second(parsed.options, *value); !problem.empty())
            return fail("option " + name + " " + problem);
    }
    return parsed;
}

std::string helpText(const std::string &programName)
{
    return "Usage: " + programName + R"( [OPTION]...
The Vantrel test site: serves the port test pages and, when a visitor submits
a port, checks whether that port on the visitor's own address can be reached.

Pages:
  /port_test.php, /port_test_udp.php       test forms (GET ?port=N or POST port=N)
  /api/port/N?proto=tcp|udp                the same test answered as JSON
  /common-problems-fixes-port-forwarding   help for a test that keeps failing

Options:
  --listen ADDR          address to serve on (default 127.0.0.1; 0.0.0.0 or ::
                         for every interface)
  --port N               port to serve on (default 8380; 0 picks a free port)
  --probe-timeout-ms MS  how long a TCP probe waits for an answer (default 3000)
  --burst N              probes a visitor may run back to back (default 30)
  --refill-ms MS         one more probe allowed per MS after the burst (default 2000)
  --max-probes N         probes running at once across the site (default 64);
                         beyond it visitors get 503 and a Retry-After
  --trust-proxy ADDR     a reverse proxy at ADDR may name the visitor: for its
                         connections only, the last X-Forwarded-For entry (the
                         one the proxy appended) is the address probed
  --probe-address ADDR   FOR TESTS ONLY: probe ADDR instead of the visitor
  --workers N            requests served at once (default 96)
  --max-queue N          accepted connections waiting for a worker (default 256);
                         beyond it new connections get 503
  --max-connections-per-address N
                         open connections per visitor address (default 16)
  --client-timeout-ms MS
                         time a client gets to send a whole request, and for
                         each write of the answer (default 10000)
  --udp-gap-ms MS        pause between the three UDP datagrams (default 300)
  -h, --help             show this text and exit

Limits: request line and headers 16 KiB in all (431 beyond), body 4 KiB (413).
Each request is logged as one line on standard error.

Exit status: 0 after a clean stop (SIGINT or SIGTERM), 1 when the address
cannot be served, 2 for a bad command line.
)";
}

}  // namespace site
