#include "router/routeranswers.h"

#include <charconv>
#include <cstring>

namespace router {
namespace {

// Plain decimal, nothing else, within [low, high].
std::optional<long long> readNumber(std::string_view text, long long low, long long high) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  long long value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || text.front() == '-' || value < low || value > high)
    return std::nullopt;
  return value;
}

// Descriptions are shown to the user: keep printable characters only.
QString readDescription(std::string_view text) {
  QString description = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  description.removeIf([](QChar c) { return !c.isPrint(); });
  return description;
}

constexpr int kPmpResponseUdp = 1;
constexpr int kPmpResponseTcp = 2;
constexpr int kMaxLeaseSeconds = 0x7FFFFFFF;

}  // namespace

std::string_view fieldText(const char* buffer, std::size_t capacity) {
  const void* nul = std::memchr(buffer, '\0', capacity);
  const std::size_t length =
      nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : capacity;
  return {buffer, length};
}

std::optional<int> readPort(std::string_view text) {
  const auto port = readNumber(text, kLowestPort, kHighestPort);
  return port ? std::optional<int>(static_cast<int>(*port)) : std::nullopt;
}

std::optional<PortRule> readUpnpEntry(int externalPort, Transport transport,
                                      const UpnpEntryFields& fields) {
  const auto client = Ipv4::parse(fields.internalClient);
  const auto port = readPort(fields.internalPort);
  // An empty lease is read as permanent: some routers leave it out.
  const auto lease = fields.leaseDuration.empty()
                         ? std::optional<long long>(0)
                         : readNumber(fields.leaseDuration, 0, kMaxLeaseSeconds);
  // An empty "enabled" is read as enabled for the same reason.
  const bool enabled = fields.enabled != "0" && fields.enabled != "false";
  if (!client || !port || !lease) return std::nullopt;
  PortRule rule;
  rule.externalPort = externalPort;
  rule.transport = transport;
  rule.internalClient = *client;
  rule.internalPort = *port;
  rule.description = readDescription(fields.description);
  rule.leaseSeconds = static_cast<int>(*lease);
  rule.enabled = enabled;
  return rule;
}

Outcome upnpOutcome(int code) {
  switch (code) {
    case 0:
      return {};
    case -3:
      return {Failure::NoAnswer, code};  // no HTTP answer from the router
    case -4:
      return {Failure::BadAnswer, code};  // an answer that is not a SOAP response
    case 606:
      return {Failure::NotAuthorised, code};
    case 718:  // ConflictInMappingEntry
    case 729:  // ConflictWithOtherMechanisms
      return {Failure::Conflict, code};
    default:
      return {Failure::Refused, code};
  }
}

Outcome checkPmpMapping(const PmpMappingAnswer& answer, Transport transport, int port,
                        bool removing) {
  const int expectedType = transport == Transport::Tcp ? kPmpResponseTcp : kPmpResponseUdp;
  if (answer.responseType != expectedType || answer.privatePort != port)
    return {Failure::BadAnswer, 0};
  if (removing) return {};
  if (answer.lifetime == 0) return {Failure::Refused, 0};
  if (answer.mappedPublicPort != port) return {Failure::Conflict, 0};
  return {};
}

Outcome pmpOutcome(int result) {
  // The library turns the router's result codes 1..5 into its own negative numbers.
  switch (result) {
    case 0:
      return {};
    case -14:
      return {Failure::Refused, 1};  // unsupported version
    case -51:
      return {Failure::NotAuthorised, 2};  // not authorised or refused
    case -52:
      return {Failure::Refused, 3};  // network failure
    case -53:
      return {Failure::Refused, 4};  // out of resources
    case -15:
      return {Failure::Refused, 5};  // unsupported opcode
    case -49:
      return {Failure::Refused, 0};  // a code the protocol does not define
    case -9:
      return {Failure::BadAnswer, 0};  // an answer from another host
    default:
      return {Failure::NoAnswer, result};  // silence, or a socket failure
  }
}

}  // namespace router
