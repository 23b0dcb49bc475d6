// Feeds arbitrary bytes to the built-in inflate alone. The first two bytes choose
// the output size, so that both short and roomy outputs are exercised.
#include "image/codecs/inflate.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t outputSize = (size_t{data[0]} << 8 | data[1]) * 4;
  std::vector<uint8_t> output(outputSize);
  const auto result = pnginflate::Inflate({data + 2, size - 2}, output);
  if (result.produced > output.size()) __builtin_trap();
  return 0;
}
