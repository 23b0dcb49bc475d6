// Everything a visitor can type or send that the site reads itself: the port
// field, addresses, X-Forwarded-For lines, and the headers that frame a body.
// A port is accepted only as one to five digits worth 1..65535; an address
// read back from its canonical text is the same address; only the trusted
// proxy's own header line can name the requester, and only with a unicast
// address; a body is refused or framed one way, never longer than the limit.
#include "site/body_framing.h"
#include "site/ip_address.h"
#include "site/port_number.h"
#include "site/requester.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool isPlainPort(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  unsigned long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned long>(c - '0');
  }
  return value >= 1 && value <= 65535;
}

void checkPort(std::string_view text) {
  const auto port = site::parsePortNumber(text);
  if (port.has_value() != isPlainPort(text)) std::abort();
  if (port && std::to_string(*port) != std::string(text).erase(0, text.find_first_not_of('0')))
    std::abort();
}

void checkAddress(std::string_view text) {
  const auto address = site::IpAddress::parse(text);
  if (!address) return;
  // The whole text is the address: nothing may hide after a NUL.
  if (text.find('\0') != std::string_view::npos) std::abort();
  const auto again = site::IpAddress::parse(address->text());
  if (!again || !(*again == *address)) std::abort();
}

void checkRequester(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size() && lines.size() < 8) {
    const size_t end = std::min(text.find('\n', start), text.size());
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  const auto proxy = site::IpAddress::parse("127.0.0.1");
  const auto result = site::findRequester(*proxy, lines, proxy);
  if (result.address.has_value() == !result.problem.empty()) std::abort();
  // A forwarded entry is probed only when it names one host.
  if (result.address && !result.address->isUnicast()) std::abort();
  // Lines before the proxy's own were written by the client and must not matter.
  const auto lastOnly = site::findRequester(*proxy, {lines.back()}, proxy);
  if (result.address.has_value() != lastOnly.address.has_value()) std::abort();
  if (result.address && !(*result.address == *lastOnly.address)) std::abort();
  // A peer that is not the proxy is the requester, whatever the header says.
  const auto visitor = site::IpAddress::parse("192.0.2.10");
  const auto direct = site::findRequester(*visitor, lines, proxy);
  if (!direct.address || !(*direct.address == *visitor)) std::abort();
}

// Each line "name:value" is one header of the request.
void checkBodyFraming(std::string_view text) {
  site::HeaderList headers;
  size_t start = 0;
  while (start < text.size() && headers.lines().size() < 8) {
    const size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = text.substr(start, end - start);
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos)
      headers.add(std::string(line.substr(0, colon)), std::string(line.substr(colon + 1)));
    start = end + 1;
  }
  constexpr size_t kLimit = 4096;
  const site::BodyFraming framing = site::frameBody(headers, kLimit);
  using Kind = site::BodyFraming::Kind;
  switch (framing.kind) {
    case Kind::Refused:
      if (framing.status != 400 && framing.status != 413 && framing.status != 415) std::abort();
      break;
    case Kind::Length:
      if (framing.length == 0 || framing.length > kLimit || headers.count("Content-Length") != 1)
        std::abort();
      break;
    case Kind::Chunked:
      if (headers.count("Transfer-Encoding") != 1 || headers.count("Content-Length") != 0)
        std::abort();
      break;
    case Kind::None:
      if (headers.count("Transfer-Encoding") != 0) std::abort();
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  checkPort(text);
  checkAddress(text);
  checkRequester(text);
  checkBodyFraming(text);
  return 0;
}
