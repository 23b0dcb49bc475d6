#pragma once
// One pixel of up to four bytes read into a general register, without reading
// past it. Composing a vector value in memory first would make the next load
// wait on a failed store forward. Internal linkage: the files that include
// this are compiled for different instruction sets, and no copy built for
// one may stand in for another at link time.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace pngpixels {
namespace {  // NOLINT: one copy per instruction set, on purpose

template <size_t kPixelBytes>
inline uint32_t pixelBits(const uint8_t* p) {
  static_assert(kPixelBytes >= 1 && kPixelBytes <= 4);
  uint32_t v = 0;
  if constexpr (kPixelBytes == 3) {
    uint16_t low = 0;
    std::memcpy(&low, p, 2);
    v = low | (uint32_t{p[2]} << 16);
  } else {
    std::memcpy(&v, p, kPixelBytes);
  }
  return v;
}

}  // namespace
}  // namespace pngpixels
