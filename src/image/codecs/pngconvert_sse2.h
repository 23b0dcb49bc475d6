#pragma once
// The vector loop of the commonest PNG conversion: 8-bit RGBA samples to
// premultiplied B, G, R, A pixels, four pixels at a time. SSE2 is part of
// every x86-64 processor; elsewhere the plain loop serves.

#include <cstddef>
#include <cstdint>

namespace pngpixels {

// Converts the first pixels of `count` (a multiple of four of them) and
// returns how many it did; the caller does the rest.
size_t convertRgba8Sse2(const uint8_t* src, uint32_t* dst, size_t count);

}  // namespace pngpixels
