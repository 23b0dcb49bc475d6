#pragma once
// The Adler-32 checksum that ends a zlib stream, 16 bytes a step in vector
// registers (SSE2, part of every x86-64 processor; elsewhere a plain loop).
// Gives zlib's adler32() value for the same bytes.

#include <cstddef>
#include <cstdint>

namespace pngpixels {

// The checksum of the bytes before `data` (1 for none) carried over `size` more.
uint32_t adler32Update(uint32_t adler, const uint8_t* data, size_t size);

}  // namespace pngpixels
