#pragma once
// The vector loops of the PNG row filters for pixels of 3, 4, 6 and 8 bytes
// (RGB and RGBA at depth 8 and 16, grey with alpha at depth 16; Up for any).
// SSE2 is part of every x86-64 processor, so no run-time check is needed;
// the two-row Paeth loop also comes built for AVX, and a four-row one for
// AVX2, chosen at run time.
// Elsewhere the plain loops serve.

#include <cstddef>
#include <cstdint>

namespace pngpixels {

// Reverses the filter as unfilterRowScalar does, when a vector loop exists for
// the filter and pixel size; false (row untouched) otherwise.
bool unfilterRowSse2(uint8_t filterType, uint8_t* row, const uint8_t* previous, size_t rowBytes,
                     size_t distance);

// Reverses the Paeth filter of two consecutive rows, `upper` right below
// `previous` and `lower` right below `upper`, as two unfilterRowScalar calls
// would, for 3- and 4-byte pixels; false (rows untouched) otherwise.
bool unfilterPaethPairSse2(uint8_t* upper, uint8_t* lower, const uint8_t* previous, size_t rowBytes,
                           size_t distance);

// The same two-row loop built for AVX (pngunfilter_avx.cpp); needs cpu::hasAvx().
bool unfilterPaethPairAvx(uint8_t* upper, uint8_t* lower, const uint8_t* previous, size_t rowBytes,
                          size_t distance);

// Reverses the Paeth filter of four consecutive rows, the first right below
// `previous`, each `stride` bytes after the one above (stride >= rowBytes), as
// four unfilterRowScalar calls would, for 3- and 4-byte pixels; false (rows
// untouched) otherwise. Built for AVX2 (pngunfilter_avx2.cpp); needs cpu::hasAvx2().
bool unfilterPaethQuadAvx2(uint8_t* first, size_t stride, const uint8_t* previous, size_t rowBytes,
                           size_t distance);

}  // namespace pngpixels
