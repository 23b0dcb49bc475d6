// What a router answers is anyone's guess: a UPnP rule entry arrives as text
// fields in the client library's fixed-size buffers (full, unterminated or
// garbage), a NAT-PMP answer as numbers. Reading them must never go outside
// the buffers, and whatever is accepted must be a rule that makes sense.
//
// Input: five fields separated by '\n' (client, port, description, enabled,
// lease), each copied into a buffer of the library's size; the first bytes
// also make a NAT-PMP mapping answer.
#include "router/diagnosis.h"
#include "router/routeranswers.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kFieldSizes[] = {40, 6, 80, 4, 16};

// The field as the library would leave it: truncated to its buffer, which is
// exactly full (no terminator) when the text is long enough.
std::string_view inBuffer(std::string_view text, std::vector<char>& buffer, std::size_t capacity) {
  buffer.assign(capacity, '\0');
  std::copy_n(text.begin(), std::min(text.size(), capacity), buffer.begin());
  return router::fieldText(buffer.data(), capacity);
}

void checkNatPmp(const std::uint8_t* data, std::size_t size) {
  if (size < 10) return;
  const router::PmpMappingAnswer answer{
      data[0] & 0x7F, data[1] << 8 | data[2], data[3] << 8 | data[4],
      std::uint32_t{data[5]} << 24 | std::uint32_t{data[6]} << 16 | std::uint32_t{data[7]} << 8 |
          data[8]};
  const int port = data[1] << 8 | data[2];
  const auto transport = data[9] & 1 ? router::Transport::Udp : router::Transport::Tcp;
  const router::Outcome outcome = router::checkPmpMapping(answer, transport, port, data[9] & 2);
  // An accepted mapping is always the one asked for.
  if (outcome.ok() && !(data[9] & 2) && answer.mappedPublicPort != port) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::array<std::string_view, 5> fields{};
  std::array<std::vector<char>, 5> buffers;
  std::size_t start = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::size_t end =
        i + 1 < fields.size() ? std::min(input.find('\n', start), input.size()) : input.size();
    const std::string_view text =
        start <= input.size() ? input.substr(start, end - start) : std::string_view();
    fields[i] = inBuffer(text, buffers[i], kFieldSizes[i]);
    start = end + 1;
  }
  const auto rule = router::readUpnpEntry(1234, router::Transport::Tcp,
                                          {fields[0], fields[1], fields[2], fields[3], fields[4]});
  if (rule) {
    if (rule->internalPort < 1 || rule->internalPort > 65535 || rule->leaseSeconds < 0)
      std::abort();
    if (router::Ipv4::parse(rule->internalClient.text()) != rule->internalClient) std::abort();
    router::RouterAnswers answers;
    answers.gateway.method = router::Method::UpnpIgd;
    answers.gateway.externalAddress = router::Ipv4::parse(fields[0]);
    answers.rule.state = router::RuleAnswer::State::Rule;
    answers.rule.rule = *rule;
    router::diagnose(answers, std::nullopt, router::Ipv4{0x0A000002}, 1234, false);
  }
  checkNatPmp(data, size);
  return 0;
}
