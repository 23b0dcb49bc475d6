// Feeds arbitrary bytes to the bitmap decoder, with the picture loader behind it.
// The first byte picks a stream offset so that ranges inside larger arrays are
// exercised too.
#include "fuzz_limits.h"

#include "image/c32bppdib.h"
#include "image/codecs/cbmpparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzlimits::limitPictureLoader();
  if (size < 2) return 0;
  const std::span<const uint8_t> bytes(data + 1, size - 1);
  const int32_t offset = static_cast<int32_t>((data[0] & 7) % bytes.size());
  const int32_t length = (data[0] & 8) ? static_cast<int32_t>(bytes.size()) - offset - 1 : 0;
  c32bppDIB image;
  cBMPparser().LoadStream(bytes, image, offset, length);
  volatile uint32_t sum = 0;
  for (uint8_t b : image.Bits()) sum = sum + b;
  return 0;
}
