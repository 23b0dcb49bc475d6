#pragma once
// The CRC-32 of PNG chunks (and of zlib's crc32()), folded 64 bytes a step
// with carry-less multiplication where the processor has it (chosen at run
// time); elsewhere, and for the last bytes, zlib's own loop. Gives zlib's
// crc32() value for the same bytes.

#include <cstddef>
#include <cstdint>

namespace pngpixels {

// The CRC of the bytes before `data` (0 for none) carried over `size` more.
uint32_t crc32Update(uint32_t crc, const uint8_t* data, size_t size);

}  // namespace pngpixels
