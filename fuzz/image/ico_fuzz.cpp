// Feeds arbitrary bytes to the icon and cursor decoder; the first byte picks the
// size and depth asked for.
#include "fuzz_limits.h"

#include "image/c32bppdib.h"
#include "image/codecs/cicoparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::span<const uint8_t> bytes(data + 1, size - 1);
  if (fuzzlimits::declaresHugeImage(bytes)) return 0;
  static constexpr int32_t kSizes[4] = {0, 16, 32, 48};
  static constexpr int32_t kDepths[4] = {32, 1, 8, 24};
  c32bppDIB image;
  image.setGDIplusEnabled(false);
  cICOparser parser;
  parser.LoadStream(bytes, kSizes[data[0] & 3], kSizes[(data[0] >> 2) & 3], image, 0, 0,
                    kDepths[(data[0] >> 4) & 3], 0);
  for (int32_t k = 0; k <= parser.IconCount() + 1; ++k) {
    (void)parser.ColorCount(k);
    (void)parser.ColorByteOffset(k);
  }
  volatile uint32_t sum = 0;
  for (uint8_t b : image.Bits()) sum = sum + b;
  return 0;
}
