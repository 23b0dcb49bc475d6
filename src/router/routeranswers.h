#pragma once
// Reading what the router sent, as the client libraries hand it over: text
// fields of fixed-size buffers (UPnP IGD) and decoded response records
// (NAT-PMP). A router may send anything, so every field is checked and a
// field that does not read cleanly makes the whole answer unreadable.

#include "router/routertypes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace router {

// The text in a fixed-size buffer the library filled in: up to its first NUL,
// never past its end, even when the library left no terminator.
std::string_view fieldText(const char* buffer, std::size_t capacity);

// A port field: 1..65535 in plain decimal.
std::optional<int> readPort(std::string_view text);

// The fields of a UPnP GetSpecificPortMappingEntry answer.
struct UpnpEntryFields {
  std::string_view internalClient;
  std::string_view internalPort;
  std::string_view description;
  std::string_view enabled;
  std::string_view leaseDuration;
};
std::optional<PortRule> readUpnpEntry(int externalPort, Transport transport,
                                      const UpnpEntryFields& fields);

// A UPnP error code (or one of the library's own negative codes) as an outcome.
Outcome upnpOutcome(int code);

// A NAT-PMP mapping answer, as the library decoded it.
struct PmpMappingAnswer {
  int responseType = 0;  // 1 UDP, 2 TCP
  int privatePort = 0;
  int mappedPublicPort = 0;
  std::uint32_t lifetime = 0;
};
// Checks that the answer is for the request (transport, private port) and
// that the router kept the public port asked for (it may pick another one,
// which is of no use for a port test).
Outcome checkPmpMapping(const PmpMappingAnswer& answer, Transport transport, int port,
                        bool removing);

// A NAT-PMP library result (0, or its negative error numbers) as an outcome.
Outcome pmpOutcome(int result);

}  // namespace router
