#pragma once
// One UPnP Internet Gateway Device (v1 or v2) found on the local network, and
// the calls the router help makes on it. Each call blocks: the search for at
// most the given time, the others within the client library's own socket
// limits. Not for the GUI thread.

#include "router/routertypes.h"

#include <chrono>
#include <memory>

namespace router {

class UpnpIgd {
 public:
  // Searches the local network; null when no gateway device answered.
  static std::unique_ptr<UpnpIgd> discover(std::chrono::milliseconds limit);
  ~UpnpIgd();
  UpnpIgd(const UpnpIgd&) = delete;
  UpnpIgd& operator=(const UpnpIgd&) = delete;

  // This computer's address toward the device (from the connection that
  // fetched its description).
  std::optional<Ipv4> localAddress() const { return m_localAddress; }

  std::optional<Ipv4> externalAddress(Outcome* outcome) const;
  RuleAnswer findRule(int port, Transport transport) const;
  Outcome addRule(const PortRule& rule, int* grantedLeaseSeconds) const;
  // A rule that is gone already counts as removed.
  Outcome deleteRule(int port, Transport transport) const;

 private:
  struct Device;
  explicit UpnpIgd(std::unique_ptr<Device> device);
  std::unique_ptr<Device> m_device;
  std::optional<Ipv4> m_localAddress;
};

}  // namespace router
