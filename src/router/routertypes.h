#pragma once
// The values the router help exchanges: which kind of router answered, its
// forwarding rules, and why a call did not do what was asked.

#include "router/ipv4.h"

#include <QString>

#include <optional>

namespace router {

enum class Transport { Tcp, Udp };

constexpr int kLowestPort = 1;
constexpr int kHighestPort = 65535;
constexpr bool isPortNumber(int port) { return port >= kLowestPort && port <= kHighestPort; }

// The names a machine-readable report uses: "tcp", "udp".
QString transportName(Transport transport);

enum class Method { None, UpnpIgd, NatPmp };

// The names a machine-readable report uses: "upnp-igd", "nat-pmp"; None is empty.
QString methodName(Method method);

// Why a router call did not do what was asked. The window turns these into
// its own translated words; describe() is the English for logs and a command line.
enum class Failure {
  None,
  NoRouter,           // no router answered the search
  NoAnswer,           // the router stopped answering, or answered too slowly
  BadAnswer,          // the router's answer could not be read
  Conflict,           // the port is already forwarded elsewhere, or the router picked another port
  NotAuthorised,      // the router refuses such requests
  Refused,            // the router answered with another error (its code is kept)
  NotSupported,       // the router cannot answer this question (NAT-PMP lists no rules)
  WrongLocalAddress,  // the router is not reached from the chosen local address
  BadArgument,        // a port outside 1..65535, a lease below 0
  NotOurs,            // a rule this program did not add
};

struct Outcome {
  Failure failure = Failure::None;
  int code = 0;  // the router's own error code, when it gave one
  bool ok() const { return failure == Failure::None; }
};

QString describe(const Outcome& outcome);

// A forwarding rule: traffic for externalPort/transport on the router's
// external address goes to internalClient:internalPort.
struct PortRule {
  int externalPort = 0;
  Transport transport = Transport::Tcp;
  Ipv4 internalClient;
  int internalPort = 0;
  QString description;
  int leaseSeconds = 0;  // 0: permanent
  bool enabled = true;
};

// What the router said about one port.
struct RuleAnswer {
  enum class State { NoRule, Rule, NotKnown };
  State state = State::NotKnown;
  PortRule rule;    // when state is Rule
  Outcome outcome;  // why the state is NotKnown
};

// The router that answered the search, if any.
struct GatewayInfo {
  Method method = Method::None;
  std::optional<Ipv4> externalAddress;  // empty when the router would not say
  std::optional<Ipv4> localAddress;     // this computer's address toward the router
  Outcome outcome;                      // why none was found, or why the address is missing
  bool found() const { return method != Method::None; }
};

}  // namespace router
