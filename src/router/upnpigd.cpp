#include "router/upnpigd.h"

#include "router/routeranswers.h"

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>

#include <array>
#include <string>

namespace router {
namespace {

constexpr int kNoSuchEntry = 714;
constexpr int kOnlyPermanentLeases = 725;
constexpr unsigned char kMulticastHops = 2;
// GetValidIGD: 1 a connected gateway; 2 a gateway whose external address is
// private, shared or reserved (exactly a router behind a provider's NAT).
constexpr int kConnectedGateway = 1;
constexpr int kGatewayBehindReservedAddress = 2;
// Buffer sizes the library documents for its output fields.
constexpr std::size_t kAddressField = 40;
constexpr std::size_t kPortField = 6;
constexpr std::size_t kDescriptionField = 80;
constexpr std::size_t kEnabledField = 4;
constexpr std::size_t kLeaseField = 16;

const char* protocolText(Transport transport) {
  return transport == Transport::Tcp ? "TCP" : "UDP";
}

struct DeviceListDeleter {
  void operator()(UPNPDev* list) const { freeUPNPDevlist(list); }
};
using DeviceList = std::unique_ptr<UPNPDev, DeviceListDeleter>;

}  // namespace

struct UpnpIgd::Device {
  UPNPUrls urls{};
  IGDdatas data{};
  ~Device() { FreeUPNPUrls(&urls); }
  const char* controlUrl() const { return urls.controlURL; }
  const char* serviceType() const { return data.first.servicetype; }
};

UpnpIgd::UpnpIgd(std::unique_ptr<Device> device) : m_device(std::move(device)) {}
UpnpIgd::~UpnpIgd() = default;

std::unique_ptr<UpnpIgd> UpnpIgd::discover(std::chrono::milliseconds limit) {
  // One search for the root devices answers v1 and v2 gateways alike in a
  // single wait; searching type by type would wait once per type on a silent network.
  const char* const types[] = {"upnp:rootdevice", nullptr};
  int error = 0;
  DeviceList list(upnpDiscoverDevices(types, static_cast<int>(limit.count()), nullptr, nullptr,
                                      UPNP_LOCAL_PORT_ANY, 0, kMulticastHops, &error, 0));
  if (!list) return nullptr;
  auto device = std::make_unique<Device>();
  std::array<char, kAddressField> lanAddress{};
  const int found = UPNP_GetValidIGD(list.get(), &device->urls, &device->data, lanAddress.data(),
                                     static_cast<int>(lanAddress.size()));
  if (found != kConnectedGateway && found != kGatewayBehindReservedAddress) {
    if (found != 0) FreeUPNPUrls(&device->urls);
    device->urls = {};
    return nullptr;
  }
  if (!device->controlUrl()) return nullptr;
  std::unique_ptr<UpnpIgd> igd(new UpnpIgd(std::move(device)));
  igd->m_localAddress = Ipv4::parse(fieldText(lanAddress.data(), lanAddress.size()));
  return igd;
}

std::optional<Ipv4> UpnpIgd::externalAddress(Outcome* outcome) const {
  std::array<char, kAddressField> text{};
  *outcome = upnpOutcome(
      UPNP_GetExternalIPAddress(m_device->controlUrl(), m_device->serviceType(), text.data()));
  if (!outcome->ok()) return std::nullopt;
  auto address = Ipv4::parse(fieldText(text.data(), text.size()));
  if (!address) *outcome = {Failure::BadAnswer, 0};
  return address;
}

RuleAnswer UpnpIgd::findRule(int port, Transport transport) const {
  std::array<char, kAddressField> client{};
  std::array<char, kPortField> internalPort{};
  std::array<char, kDescriptionField> description{};
  std::array<char, kEnabledField> enabled{};
  std::array<char, kLeaseField> lease{};
  const std::string external = std::to_string(port);
  const int code = UPNP_GetSpecificPortMappingEntry(
      m_device->controlUrl(), m_device->serviceType(), external.c_str(), protocolText(transport),
      nullptr, client.data(), internalPort.data(), description.data(), enabled.data(),
      lease.data());
  RuleAnswer answer;
  if (code == kNoSuchEntry) {
    answer.state = RuleAnswer::State::NoRule;
    return answer;
  }
  answer.outcome = upnpOutcome(code);
  if (!answer.outcome.ok()) return answer;
  const UpnpEntryFields fields{
      fieldText(client.data(), client.size()), fieldText(internalPort.data(), internalPort.size()),
      fieldText(description.data(), description.size()), fieldText(enabled.data(), enabled.size()),
      fieldText(lease.data(), lease.size())};
  if (auto rule = readUpnpEntry(port, transport, fields)) {
    answer.state = RuleAnswer::State::Rule;
    answer.rule = *rule;
  } else {
    answer.outcome = {Failure::BadAnswer, 0};
  }
  return answer;
}

Outcome UpnpIgd::addRule(const PortRule& rule, int* grantedLeaseSeconds) const {
  const std::string external = std::to_string(rule.externalPort);
  const std::string internal = std::to_string(rule.internalPort);
  const QByteArray client = rule.internalClient.text().toLatin1();
  const QByteArray description = rule.description.toUtf8();
  auto add = [&](int lease) {
    const std::string leaseText = std::to_string(lease);
    return UPNP_AddPortMapping(m_device->controlUrl(), m_device->serviceType(), external.c_str(),
                               internal.c_str(), client.constData(), description.constData(),
                               protocolText(rule.transport), nullptr, leaseText.c_str());
  };
  int code = add(rule.leaseSeconds);
  *grantedLeaseSeconds = rule.leaseSeconds;
  // Many v1 gateways take permanent rules only; the program still removes it
  // when asked, as it does every rule it added.
  if (code == kOnlyPermanentLeases) {
    code = add(0);
    *grantedLeaseSeconds = 0;
  }
  return upnpOutcome(code);
}

Outcome UpnpIgd::deleteRule(int port, Transport transport) const {
  const std::string external = std::to_string(port);
  const int code = UPNP_DeletePortMapping(m_device->controlUrl(), m_device->serviceType(),
                                          external.c_str(), protocolText(transport), nullptr);
  // Gone already (its lease ran out): what was asked is done.
  return upnpOutcome(code == kNoSuchEntry ? 0 : code);
}

}  // namespace router
