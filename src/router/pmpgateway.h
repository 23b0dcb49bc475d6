#pragma once
// The default gateway spoken to through NAT-PMP: its external address, and
// mappings from a port on this computer to the same port outside. NAT-PMP maps
// to the address the request comes from, so the gateway also tells which local
// address that is. Each call waits at most the given limit. Not for the GUI thread.

#include "router/routertypes.h"

#include <chrono>
#include <memory>

namespace router {

class PmpGateway {
 public:
  // Opens a socket toward the default gateway and sends it the address
  // request at once, so the answer can arrive while the caller does other
  // searching; null when there is no default gateway.
  static std::unique_ptr<PmpGateway> open();
  ~PmpGateway();
  PmpGateway(const PmpGateway&) = delete;
  PmpGateway& operator=(const PmpGateway&) = delete;

  std::optional<Ipv4> localAddress() const { return m_localAddress; }

  // Waits for the answer to the address request sent by open().
  std::optional<Ipv4> externalAddress(std::chrono::milliseconds limit, Outcome* outcome);
  // A lease of 0 removes the mapping.
  Outcome map(int port, Transport transport, int leaseSeconds, std::chrono::milliseconds limit,
              int* grantedLeaseSeconds);

 private:
  struct Session;
  explicit PmpGateway(std::unique_ptr<Session> session);
  int awaitAnswer(std::chrono::milliseconds limit, void* response);
  std::unique_ptr<Session> m_session;
  std::optional<Ipv4> m_localAddress;
};

}  // namespace router
