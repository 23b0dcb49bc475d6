// Feeds arbitrary bytes to the GIF decoder.
#include "fuzz_limits.h"

#include "image/c32bppdib.h"
#include "image/codecs/cgifparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  if (fuzzlimits::declaresHugeImage(bytes)) return 0;
  c32bppDIB image;
  cGIFparser().LoadStream(bytes, image, 0, 0);
  volatile uint32_t sum = 0;
  for (uint8_t b : image.Bits()) sum = sum + b;
  return 0;
}
