#pragma once
// Inputs that declare very large pictures are skipped by the fuzz targets so
// that the fuzzer spends its time on parsing, not on filling huge buffers. The
// scan is crude on purpose: any place that could be read as a PNG header or a
// GIF image descriptor counts.

#include <QImageReader>

#include <cstdint>
#include <cstring>
#include <span>

namespace fuzzlimits {

constexpr uint64_t kMaxPixels = 1u << 20;

inline bool declaresHugeImage(std::span<const uint8_t> bytes) {
  for (size_t i = 0; i + 12 <= bytes.size(); ++i) {
    const uint8_t* p = bytes.data() + i;
    if (std::memcmp(p, "IHDR", 4) == 0) {
      const uint64_t w = (uint64_t(p[4]) << 24) | (p[5] << 16) | (p[6] << 8) | p[7];
      const uint64_t h = (uint64_t(p[8]) << 24) | (p[9] << 16) | (p[10] << 8) | p[11];
      if (w * h > kMaxPixels) return true;
    }
    if (p[0] == 0x2C) {  // a GIF image separator: width and height follow the position
      const uint64_t w = p[5] | (p[6] << 8), h = p[7] | (p[8] << 8);
      if (w * h > kMaxPixels) return true;
    }
  }
  return false;
}

// Keeps the picture loader's own allocations small as well.
inline void limitPictureLoader() { QImageReader::setAllocationLimit(8); }

}  // namespace fuzzlimits
