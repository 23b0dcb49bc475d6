// Feeds arbitrary bytes to the bitmap decoder's own part alone: the header
// reads, the enough-data checks and the 32-bit copy, without the system
// picture loader behind them, so that the fuzzer's time goes to our code.
// The first byte picks a stream offset and length as in the whole decoder's
// target.
#include "image/c32bppdib.h"
#include "image/codecs/cbmpparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::span<const uint8_t> bytes(data + 1, size - 1);
  const int32_t offset = static_cast<int32_t>((data[0] & 7) % bytes.size());
  const int32_t length = (data[0] & 8) ? static_cast<int32_t>(bytes.size()) - offset - 1 : 0;
  c32bppDIB image;
  cBMPparser parser;
  const bool loaded = parser.LoadOwnStream(bytes, image, offset, length);
  // The result, the pixels and the reason must agree.
  if (loaded != (image.BitsPointer() != nullptr) ||
      loaded != (parser.failure() == BmpFailure::kNone)) {
    __builtin_trap();
  }
  volatile uint32_t sum = 0;
  for (uint8_t b : image.Bits()) sum = sum + b;
  return 0;
}
