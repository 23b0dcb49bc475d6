#pragma once
// Builds icon and cursor files in memory for the tests: bitmap entries of any
// depth with their AND masks, and PNG entries.

#include <cstdint>
#include <functional>
#include <vector>

namespace icobuild {

struct BitmapEntry {
  int width = 16;
  int height = 16;
  int bits = 32;
  // Pixel value of (x, y) in picture coordinates (y = 0 at the top): a palette
  // index for depths up to 8, 0xAARRGGBB otherwise.
  std::function<uint32_t(int x, int y)> pixel = [](int, int) { return 0xFF336699u; };
  std::function<bool(int x, int y)> masked = [](int, int) { return false; };
  std::vector<uint32_t> palette;  // 0x00RRGGBB, padded to 2^bits entries
  int directoryBits = -1;         // bit count in the directory entry; -1 = bits
};

struct Entry {
  std::vector<uint8_t> data;
  uint8_t width = 0, height = 0;
  uint16_t directoryBits = 0;
};

inline void putLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline size_t rowBytes(int width, int bits) {
  return static_cast<size_t>((width * bits + 31) / 32 * 4);
}

inline Entry bitmapEntry(const BitmapEntry& wanted) {
  Entry e;
  e.width = static_cast<uint8_t>(wanted.width);
  e.height = static_cast<uint8_t>(wanted.height);
  e.directoryBits =
      static_cast<uint16_t>(wanted.directoryBits < 0 ? wanted.bits : wanted.directoryBits);
  std::vector<uint8_t>& d = e.data;
  putLE(d, 40, 4);
  putLE(d, static_cast<uint32_t>(wanted.width), 4);
  putLE(d, static_cast<uint32_t>(wanted.height * 2), 4);
  putLE(d, 1, 2);
  putLE(d, static_cast<uint32_t>(wanted.bits), 2);
  for (int i = 0; i < 6; ++i) putLE(d, 0, 4);
  if (wanted.bits <= 8) {
    for (int i = 0; i < (1 << wanted.bits); ++i) {
      putLE(d,
            static_cast<size_t>(i) < wanted.palette.size() ? wanted.palette[static_cast<size_t>(i)]
                                                           : 0,
            4);
    }
  }
  const size_t xorRow = rowBytes(wanted.width, wanted.bits);
  for (int row = 0; row < wanted.height; ++row) {
    const int y = wanted.height - 1 - row;  // bottom-up
    std::vector<uint8_t> line(xorRow, 0);
    for (int x = 0; x < wanted.width; ++x) {
      const uint32_t v = wanted.pixel(x, y);
      if (wanted.bits == 32) {
        for (int c = 0; c < 4; ++c)
          line[static_cast<size_t>(x * 4 + c)] = static_cast<uint8_t>(v >> (8 * c));
      } else if (wanted.bits == 24) {
        for (int c = 0; c < 3; ++c)
          line[static_cast<size_t>(x * 3 + c)] = static_cast<uint8_t>(v >> (8 * c));
      } else {
        const int perByte = 8 / wanted.bits;
        const int shift = 8 - wanted.bits * (1 + x % perByte);
        line[static_cast<size_t>(x / perByte)] |= static_cast<uint8_t>(v << shift);
      }
    }
    d.insert(d.end(), line.begin(), line.end());
  }
  const size_t andRow = rowBytes(wanted.width, 1);
  for (int row = 0; row < wanted.height; ++row) {
    const int y = wanted.height - 1 - row;
    std::vector<uint8_t> line(andRow, 0);
    for (int x = 0; x < wanted.width; ++x) {
      if (wanted.masked(x, y))
        line[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
    d.insert(d.end(), line.begin(), line.end());
  }
  return e;
}

inline Entry pngEntry(std::vector<uint8_t> png, int width, int height) {
  Entry e;
  e.data = std::move(png);
  e.width = static_cast<uint8_t>(width == 256 ? 0 : width);
  e.height = static_cast<uint8_t>(height == 256 ? 0 : height);
  return e;
}

// type 1 icon, 2 cursor.
inline std::vector<uint8_t> iconFile(const std::vector<Entry>& entries, uint16_t type = 1) {
  std::vector<uint8_t> out;
  putLE(out, 0, 2);
  putLE(out, type, 2);
  putLE(out, static_cast<uint32_t>(entries.size()), 2);
  uint32_t offset = static_cast<uint32_t>(6 + 16 * entries.size());
  for (const Entry& e : entries) {
    out.push_back(e.width);
    out.push_back(e.height);
    out.push_back(0);
    out.push_back(0);
    putLE(out, type == 2 ? 3 : 1, 2);
    putLE(out, type == 2 ? 4 : e.directoryBits, 2);
    putLE(out, static_cast<uint32_t>(e.data.size()), 4);
    putLE(out, offset, 4);
    offset += static_cast<uint32_t>(e.data.size());
  }
  for (const Entry& e : entries) out.insert(out.end(), e.data.begin(), e.data.end());
  return out;
}

}  // namespace icobuild
