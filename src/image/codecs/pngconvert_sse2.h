#pragma once
// The vector loops of the commonest PNG conversions: 8-bit RGBA samples to
// premultiplied B, G, R, A pixels, four pixels at a time, and 8-bit grey to
// opaque pixels. SSE2 is part of every x86-64 processor; elsewhere the plain
// loops serve.

#include <cstddef>
#include <cstdint>

namespace pngpixels {

// Converts the first pixels of `count` (a multiple of four of them) and
// returns how many it did; the caller does the rest.
size_t convertRgba8Sse2(const uint8_t* src, uint32_t* dst, size_t count);

// 8-bit grey samples to opaque grey pixels, sixteen at a time; the same
// contract. Only for images whose samples all map so (no transparent grey).
size_t convertGrey8Sse2(const uint8_t* src, uint32_t* dst, size_t count);

}  // namespace pngpixels
