#include "site/requester.h"

#include "site/header_text.h"

#include <string_view>

namespace site {

RequesterResult findRequester(const IpAddress& peer, const std::vector<std::string>& forwardedFor,
                              const std::optional<IpAddress>& trustedProxy) {
  if (!trustedProxy || !(peer == *trustedProxy)) return {peer, {}};
  if (forwardedFor.empty())
    return {std::nullopt, "The proxy in front of this site did not say who is asking."};

  std::string_view line = forwardedFor.back();
  const auto comma = line.rfind(',');
  std::string_view entry =
      trimmedHeaderValue(comma == std::string_view::npos ? line : line.substr(comma + 1));
  // Proxies write IPv6 entries bare or in brackets.
  if (entry.size() >= 2 && entry.front() == '[' && entry.back() == ']')
    entry = entry.substr(1, entry.size() - 2);
  // Only an address that names one host may be probed: 0.0.0.0 would reach
  // this server's own host, and multicast or broadcast reach many at once.
  if (auto address = IpAddress::parse(entry); address && address->isUnicast()) return {address, {}};
  return {std::nullopt, "The proxy in front of this site sent an address that is not valid."};
}

}  // namespace site
