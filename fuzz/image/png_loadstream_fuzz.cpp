// Feeds arbitrary bytes to the PNG decoder's own walk (system image service off),
// with zlib and with the built-in inflate, depending on the first byte.
#include "image/c32bppdib.h"
#include "image/codecs/cpngparser.h"

#include <cstdint>
#include <cstring>
#include <span>

namespace {

// Images whose header asks for more pixels than this are skipped so that the
// fuzzer spends its time on parsing, not on filling huge blank buffers;
// 256 x 256 still reaches every row and pass shape.
constexpr uint64_t kMaxPixels = 1u << 16;

bool declaresHugeImage(std::span<const uint8_t> bytes) {
  for (size_t i = 4; i + 12 <= bytes.size(); ++i) {
    if (std::memcmp(bytes.data() + i, "IHDR", 4) != 0) continue;
    const uint8_t* p = bytes.data() + i + 4;
    const uint64_t w = (uint64_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    const uint64_t h = (uint64_t(p[4]) << 24) | (p[5] << 16) | (p[6] << 8) | p[7];
    if (w * h > kMaxPixels) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  if (declaresHugeImage(bytes)) return 0;
  const bool withZlib = size > 0 && (data[size - 1] & 1);
  c32bppDIB image;
  image.setGDIplusEnabled(false);
  image.setZlibAllowed(withZlib);
  cPNGparser parser;
  const bool isPng = parser.LoadStream(bytes, image, 0, static_cast<int32_t>(size), 0);
  // A PNG has pixels exactly when no reason is kept, and every reason has a name.
  if (isPng && (image.BitsPointer() != nullptr) != (parser.failure() == PngFailure::kNone)) {
    __builtin_trap();
  }
  if (parser.failureDescription().empty()) __builtin_trap();
  if (image.BitsPointer()) {
    // Touch every pixel so that a buffer smaller than its size would show.
    volatile uint32_t sum = 0;
    for (uint8_t b : image.Bits()) sum = sum + b;
  }
  return 0;
}
