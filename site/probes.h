#pragma once
// The two probes the site runs against a visitor's address: a TCP connection
// attempt and a short series of UDP datagrams. Both give up at once when the
// stop signal is raised.

#include "site/ip_address.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace site {

class StopSignal;

enum class TcpOutcome {
  Open,         // the connection was established (and closed at once, no data sent)
  Refused,      // the address answered with a reset
  TimedOut,     // nothing answered within the timeout: filtered, or no such host
  Unreachable,  // the network said so, or the socket could not be made
  Stopped,      // the site is shutting down
};

struct TcpProbeResult {
  TcpOutcome outcome = TcpOutcome::Unreachable;
  std::chrono::milliseconds elapsed{0};
};

TcpProbeResult probeTcp(const IpAddress& target, std::uint16_t port,
                        std::chrono::milliseconds timeout, const StopSignal& stop);

struct UdpProbeResult {
  int sent = 0;
  bool stopped = false;
  std::chrono::milliseconds elapsed{0};
};

// Sends `count` datagrams `gap` apart, each `udpProbePayload(token, n)`.
UdpProbeResult probeUdp(const IpAddress& target, std::uint16_t port, std::string_view token,
                        int count, std::chrono::milliseconds gap, const StopSignal& stop);

// "vantrel-probe <token> <n>\n": small, plain text, and carrying the token so
// the visitor's program can tell our datagrams from stray ones.
std::string udpProbePayload(std::string_view token, int sequence);

// 16 lower-case hex digits from the system's random source.
std::string newProbeToken();

const char* tcpOutcomeName(TcpOutcome outcome);

}  // namespace site
