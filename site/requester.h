#pragma once
// Who is asking: the address a probe may target. Only the TCP peer of the
// connection counts, unless the peer is the one proxy the operator trusts.

#include "site/ip_address.h"

#include <optional>
#include <string>
#include <vector>

namespace site {

struct RequesterResult {
  std::optional<IpAddress> address;
  // Why there is no address (for a short error page); empty when there is one.
  std::string problem;
};

// `forwardedFor` holds the values of every X-Forwarded-For header line in the
// order received. When `peer` is the trusted proxy, the requester is the last
// entry of the last line: the one that proxy appended. Entries before it were
// written by the client and prove nothing, so they are never used. An entry
// that is not one whole unicast address gives no requester.
RequesterResult findRequester(const IpAddress& peer, const std::vector<std::string>& forwardedFor,
                              const std::optional<IpAddress>& trustedProxy);

}  // namespace site
