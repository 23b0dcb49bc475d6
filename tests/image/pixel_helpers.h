#pragma once
// Small helpers for tests that look at single pixels of a c32bppDIB.
#include <cstdint>
#include <cstring>

#include "image/c32bppdib.h"
#include "test_support.h"

namespace pixeltest {

// A premultiplied pixel as it lies in memory (blue in the low byte).
constexpr uint32_t bgra(uint32_t b, uint32_t g, uint32_t r, uint32_t a) {
  return b | (g << 8) | (r << 16) | (a << 24);
}

inline uint32_t at(const c32bppDIB& image, int32_t x, int32_t y) {
  uint32_t p;
  std::memcpy(&p, image.BitsPointer() + image.pixelOffset(x, y), 4);
  return p;
}

inline void put(c32bppDIB& image, int32_t x, int32_t y, uint32_t pixel) {
  std::memcpy(image.BitsPointer() + image.pixelOffset(x, y), &pixel, 4);
}

inline void fill(c32bppDIB& image, uint32_t pixel) {
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) put(image, x, y, pixel);
}

// An image with a different opaque colour in every pixel.
inline void paintDistinct(c32bppDIB& image) {
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x)
      put(image, x, y, bgra(10 + x * 20, 10 + y * 30, 200 - x - y, 255));
}

inline QString suite(const char* name) { return testsupport::dataDir() + "/pngsuite/" + name; }

}  // namespace pixeltest
