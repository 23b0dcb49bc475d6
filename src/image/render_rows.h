#pragma once
// The row kernels behind the blender and the bilinear resampler, each in a
// plain form and in the vector forms this processor may offer. The plain form
// is the reference: every vector form gives exactly its bytes, which the tests
// check on random rows. Callers use the dispatching functions at the bottom.

#include <cstddef>
#include <cstdint>

namespace renderpix::rows {

// Blends count premultiplied pixels onto dst, alpha included, by the rule
// dst = (dst x (255 - A x O / 255) + src x O) / 255 with integer divisions.
// Source colours above their alpha are first limited to it, which keeps every
// intermediate value in 16 bits; source alpha 0 leaves dst as it is.
void blendPlain(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t opacity);
void blendSse2(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t opacity);
void blendAvx2(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t opacity);

// The resampler's two passes. A destination pixel between the source columns
// c and c + 1 and the rows r and r + 1, with weights wx and wy in 1/256 steps, is
// round(sum of p x weight / 65536) with the weights (256 - wx)(256 - wy),
// wx (256 - wy), (256 - wx) wy and wx wy: one rounding, at the end.
//
// Vertical pass: the two source rows weighed by (256 - wy) and wy, per channel,
// stored as 16-bit values with the top bit flipped (value ^ 0x8000) so that the
// horizontal pass can treat them as signed numbers.
void mixRowsPlain(const uint32_t* top, const uint32_t* bottom, int32_t count, uint32_t wy,
                  uint16_t* mixed);
void mixRowsSse2(const uint32_t* top, const uint32_t* bottom, int32_t count, uint32_t wy,
                 uint16_t* mixed);

// Horizontal pass: destination pixel x mixes the vertical results of source
// columns left[x] and left[x] + 1 by weights[x] = (wx << 16) | (256 - wx).
// mixed must hold a pixel beyond the last column any left[x] names.
void mixColumnsPlain(const uint16_t* mixed, const int32_t* left, const uint32_t* weights,
                     int32_t count, uint32_t* out);
void mixColumnsSse2(const uint16_t* mixed, const int32_t* left, const uint32_t* weights,
                    int32_t count, uint32_t* out);
void mixColumnsAvx2(const uint16_t* mixed, const int32_t* left, const uint32_t* weights,
                    int32_t count, uint32_t* out);

// The fastest form available.
void blend(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t opacity);
// The same over `height` rows that lie dstStride and srcStride pixels apart
// (negative for rows stored bottom-up).
void blendRows(uint32_t* dst, ptrdiff_t dstStride, const uint32_t* src, ptrdiff_t srcStride,
               int32_t count, int32_t height, uint32_t opacity);
void mixRows(const uint32_t* top, const uint32_t* bottom, int32_t count, uint32_t wy,
             uint16_t* mixed);
void mixColumns(const uint16_t* mixed, const int32_t* left, const uint32_t* weights, int32_t count,
                uint32_t* out);

}  // namespace renderpix::rows
