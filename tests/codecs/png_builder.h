#pragma once
// Builds small PNG files chunk by chunk for tests that need a particular
// header, filter, transparency or a damaged CRC.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

class PngBuilder {
 public:
  PngBuilder() { m_bytes = {137, 80, 78, 71, 13, 10, 26, 10}; }

  PngBuilder& chunk(const std::string& type, const std::vector<uint8_t>& data) {
    put32(static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type.begin(), type.end());
    body.insert(body.end(), data.begin(), data.end());
    m_bytes.insert(m_bytes.end(), body.begin(), body.end());
    put32(static_cast<uint32_t>(crc32(0L, body.data(), static_cast<uInt>(body.size()))));
    return *this;
  }

  PngBuilder& header(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType,
                     uint8_t interlace = 0) {
    std::vector<uint8_t> d;
    append32(d, width);
    append32(d, height);
    d.insert(d.end(), {depth, colourType, 0, 0, interlace});
    return chunk("IHDR", d);
  }

  // Compresses the raw (filter byte + samples) rows into one IDAT chunk.
  PngBuilder& imageData(const std::vector<uint8_t>& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(size);
    compress2(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
    packed.resize(size);
    return chunk("IDAT", packed);
  }

  PngBuilder& end() { return chunk("IEND", {}); }

  // Flips a bit of the CRC of the chunk that starts at `chunkStart`.
  PngBuilder& damageCrcAt(size_t chunkStart) {
    const uint32_t length = (uint32_t(m_bytes[chunkStart]) << 24) |
                            (uint32_t(m_bytes[chunkStart + 1]) << 16) |
                            (uint32_t(m_bytes[chunkStart + 2]) << 8) | m_bytes[chunkStart + 3];
    m_bytes[chunkStart + 8 + length] ^= 0x01;
    return *this;
  }

  size_t size() const { return m_bytes.size(); }
  const std::vector<uint8_t>& bytes() const { return m_bytes; }

  static void append32(std::vector<uint8_t>& out, uint32_t v) {
    out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
  }

 private:
  void put32(uint32_t v) { append32(m_bytes, v); }
  std::vector<uint8_t> m_bytes;
};
