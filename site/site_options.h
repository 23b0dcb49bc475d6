#pragma once
// Command-line settings of vantrel-site and their parser.

#include "site/ip_address.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace site {

// What one request may bring: its request line and headers together, and its body.
constexpr std::size_t kMaxHeadBytes = 16 * 1024;
constexpr std::size_t kMaxBodyBytes = 4 * 1024;

// The defaults here are the ones --help shows.
struct SiteOptions {
  IpAddress listenAddress = *IpAddress::parse("127.0.0.1");
  int port = 8380;  // 0: any free port (announced on standard error)
  std::chrono::milliseconds probeTimeout{3000};
  unsigned burst = 30;
  std::chrono::milliseconds refill{2000};
  unsigned maxProbes = 64;
  std::optional<IpAddress> trustProxy;
  std::optional<IpAddress> probeAddress;
  unsigned workers = 96;
  unsigned maxQueue = 256;
  unsigned maxConnectionsPerAddress = 16;
  std::chrono::milliseconds clientTimeout{10000};
  std::chrono::milliseconds udpGap{300};
};

struct ParsedOptions {
  enum class Action { Run, ShowHelp, Fail };
  Action action = Action::Run;
  SiteOptions options;
  std::string error;  // for Fail: one line naming the option and the problem
};

// `arguments` excludes the program name. "--name value" and "--name=value" both work.
ParsedOptions parseOptions(const std::vector<std::string>& arguments);

std::string helpText(const std::string& programName);

}  // namespace site
