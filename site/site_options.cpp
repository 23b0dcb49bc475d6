#include "site/site_options.h"

#include <charconv>
#include <functional>
#include <string_view>

namespace site {

namespace {

// Each setter returns an empty string on success, else what was wrong.
using Setter = std::function<std::string(SiteOptions&, const std::string&)>;
// The value an option holds in `options`, as --help shows a default.
using Shower = std::function<std::string(const SiteOptions&)>;

// One command-line option: how it is read, and how --help describes it.
// "{default}" in the description stands for the value of a SiteOptions left
// as constructed, so no default is written twice.
struct Option {
  const char* name;
  const char* valueName;
  std::vector<std::string_view> description;  // one line each, as shown
  Setter set;
  Shower show;
};

std::optional<unsigned long> parseWhole(const std::string& text, unsigned long low,
                                        unsigned long high) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  unsigned long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
    return std::nullopt;
  return value;
}

Setter wholeNumber(unsigned long low, unsigned long high,
                   std::function<void(SiteOptions&, unsigned long)> apply) {
  return [=](SiteOptions& options, const std::string& text) -> std::string {
    const auto value = parseWhole(text, low, high);
    if (!value)
      return "needs a whole number from " + std::to_string(low) + " to " + std::to_string(high);
    apply(options, *value);
    return {};
  };
}

template <class Member>
Shower shown(Member SiteOptions::*member) {
  return [member](const SiteOptions& o) {
    if constexpr (std::is_same_v<Member, std::chrono::milliseconds>)
      return std::to_string((o.*member).count());
    else
      return std::to_string(o.*member);
  };
}

Option milliseconds(const char* name, unsigned long low, unsigned long high,
                    std::chrono::milliseconds SiteOptions::*member,
                    std::vector<std::string_view> description) {
  return {name, "MS", std::move(description),
          wholeNumber(low, high,
                      [member](SiteOptions& o, unsigned long v) {
                        o.*member = std::chrono::milliseconds(v);
                      }),
          shown(member)};
}

Option count(const char* name, unsigned long low, unsigned long high, unsigned SiteOptions::*member,
             std::vector<std::string_view> description) {
  return {name, "N", std::move(description),
          wholeNumber(low, high,
                      [member](SiteOptions& o, unsigned long v) { o.*member = unsigned(v); }),
          shown(member)};
}

Setter address(std::function<void(SiteOptions&, const IpAddress&)> apply) {
  return [=](SiteOptions& options, const std::string& text) -> std::string {
    const auto parsed = IpAddress::parse(text);
    if (!parsed) return "needs a numeric IPv4 or IPv6 address, not \"" + text + "\"";
    apply(options, *parsed);
    return {};
  };
}

Shower noDefault() {
  return [](const SiteOptions&) { return std::string(); };
}

const std::vector<Option>& options() {
  using O = SiteOptions;
  static const std::vector<Option> table = {
      {"--listen",
       "ADDR",
       {"address to serve on (default {default}; 0.0.0.0 or ::", "for every interface)"},
       address([](O& o, const IpAddress& a) { o.listenAddress = a; }),
       [](const O& o) { return o.listenAddress.text(); }},
      {"--port",
       "N",
       {"port to serve on (default {default}; 0 picks a free port)"},
       wholeNumber(0, 65535, [](O& o, unsigned long v) { o.port = int(v); }),
       shown(&O::port)},
      milliseconds("--probe-timeout-ms", 1, 60000, &O::probeTimeout,
                   {"how long a TCP probe waits for an answer (default {default})"}),
      count("--burst", 1, 1000000, &O::burst,
            {"probes a visitor may run back to back (default {default})"}),
      milliseconds("--refill-ms", 1, 86400000, &O::refill,
                   {"one more probe allowed per MS after the burst (default {default})"}),
      count("--max-probes", 1, 100000, &O::maxProbes,
            {"probes running at once across the site (default {default});",
             "beyond it visitors get 503 and a Retry-After"}),
      {"--trust-proxy",
       "ADDR",
       {"a reverse proxy at ADDR may name the visitor: for its",
        "connections only, the last X-Forwarded-For entry (the",
        "one the proxy appended) is the address probed"},
       address([](O& o, const IpAddress& a) { o.trustProxy = a; }),
       noDefault()},
      {"--probe-address",
       "ADDR",
       {"FOR TESTS ONLY: probe ADDR instead of the visitor"},
       address([](O& o, const IpAddress& a) { o.probeAddress = a; }),
       noDefault()},
      count("--workers", 1, 4096, &O::workers, {"requests served at once (default {default})"}),
      count("--max-queue", 1, 100000, &O::maxQueue,
            {"accepted connections waiting for a worker (default {default});",
             "beyond it new connections get 503"}),
      count("--max-connections-per-address", 1, 100000, &O::maxConnectionsPerAddress,
            {"open connections per visitor address (default {default})"}),
      milliseconds("--client-timeout-ms", 1, 600000, &O::clientTimeout,
                   {"time a client gets to send a whole request, and for",
                    "each write of the answer (default {default})"}),
      milliseconds("--udp-gap-ms", 0, 60000, &O::udpGap,
                   {"pause between the three UDP datagrams (default {default})"}),
  };
  return table;
}

const Option* findOption(std::string_view name) {
  for (const Option& option : options()) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

// Lines up descriptions in one column; a name too long for the first column
// gets a line of its own.
void appendOptionHelp(std::string& out, std::string_view name, std::string_view valueName,
                      const std::vector<std::string>& lines) {
  constexpr std::size_t kColumn = 25;
  const std::string indent(kColumn, ' ');
  std::string head = "  ";
  head += name;
  if (!valueName.empty()) {
    head += ' ';
    head += valueName;
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == 0 && head.size() + 1 < kColumn) {
      out += head;
      out += std::string(kColumn - head.size(), ' ');
    } else {
      if (i == 0) {
        out += head;
        out += '\n';
      }
      out += indent;
    }
    out += lines[i];
    out += '\n';
  }
}

std::vector<std::string> describe(const Option& option) {
  static const SiteOptions defaults;
  std::vector<std::string> lines;
  for (std::string_view line : option.description) {
    std::string text(line);
    if (const auto at = text.find("{default}"); at != std::string::npos)
      text.replace(at, 9, option.show(defaults));
    lines.push_back(std::move(text));
  }
  return lines;
}

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string>& arguments) {
  ParsedOptions parsed;
  auto fail = [&parsed](std::string message) {
    parsed.action = ParsedOptions::Action::Fail;
    parsed.error = std::move(message);
    return parsed;
  };

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
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
    const Option* option = findOption(name);
    if (!option) return fail("unknown option \"" + name + "\"");
    if (!value) {
      if (i + 1 >= arguments.size()) return fail("option " + name + " needs a value");
      value = arguments[++i];
    }
    if (std::string problem = option->set(parsed.options, *value); !problem.empty())
      return fail("option " + name + " " + problem);
  }
  return parsed;
}

std::string helpText(const std::string& programName) {
  std::string text = "Usage: ";
  text += programName;
  text += R"( [OPTION]...
The Vantrel test site: serves the port test pages and, when a visitor submits
a port, checks whether that port on the visitor's own address can be reached.

Pages:
  /port_test.php, /port_test_udp.php       test forms (GET ?port=N or POST port=N)
  /api/port/N?proto=tcp|udp                the same test answered as JSON
  /common-problems-fixes-port-forwarding   help for a test that keeps failing

Options:
)";
  for (const Option& option : options())
    appendOptionHelp(text, option.name, option.valueName, describe(option));
  appendOptionHelp(text, "-h, --help", "", {"show this text and exit"});
  text += "\nLimits: request line and headers ";
  text += std::to_string(kMaxHeadBytes / 1024);
  text += " KiB in all (431 beyond), body ";
  text += std::to_string(kMaxBodyBytes / 1024);
  text += R"( KiB (413).
Each request is logged as one line on standard error.

Exit status: 0 after a clean stop (SIGINT or SIGTERM), 1 when the address
cannot be served, 2 for a bad command line.
)";
  return text;
}

}  // namespace site
