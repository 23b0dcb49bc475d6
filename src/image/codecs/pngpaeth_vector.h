#pragma once
// The vector Paeth step and the two-row Paeth loop, shared by the SSE2 loops
// (pngunfilter_sse2.cpp) and a copy compiled for AVX (pngunfilter_avx.cpp),
// where the same source gets absolute values, byte blends and three-operand
// instructions. Everything here has internal linkage, so that no function
// compiled for AVX can stand in for its plain twin at link time.
// Included only where SSE2 and x86-64 are given.

#include <immintrin.h>

#include "image/codecs/pngpixelbits.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace pngpixels {
namespace {  // NOLINT: one copy per instruction set, on purpose

// One pixel of kPixelBytes bytes as 16-bit lanes (the lanes past the pixel
// hold 0). Loaded through a general register: composing the value in memory
// first would make the next load wait on a failed store forward.
template <size_t kPixelBytes>
inline __m128i loadPixel(const uint8_t* p) {
  uint64_t v = 0;
  if constexpr (kPixelBytes == 3) {
    v = uint64_t{p[0]} | (uint64_t{p[1]} << 8) | (uint64_t{p[2]} << 16);
  } else if constexpr (kPixelBytes == 6) {
    uint32_t low = 0;
    uint16_t high = 0;
    std::memcpy(&low, p, 4);
    std::memcpy(&high, p + 4, 2);
    v = low | (uint64_t{high} << 32);
  } else {
    std::memcpy(&v, p, kPixelBytes);  // one load of the pixel's own size
  }
  return _mm_unpacklo_epi8(_mm_cvtsi64_si128(static_cast<long long>(v)), _mm_setzero_si128());
}

// |x - y| of lanes holding 0 to 255.
inline __m128i distance16(__m128i x, __m128i y) {
  return _mm_sub_epi16(_mm_max_epi16(x, y), _mm_min_epi16(x, y));
}

// Paeth without branches. With a = left, b = above, c = upper left:
// pa = |b - c|, pb = |a - c|, pc = |a + b - 2c|; the predictor is b where
// pb < pa and a otherwise, replaced by c where pc is below both: the
// definition's choice, ties going to left, then above. Everything that does
// not involve a is worked out before the pixel to the left is known, and the
// three candidate sums raw + a, raw + b, raw + c are chosen from directly.
// Returns the unfiltered pixel, the next pixel's a.
inline __m128i paethStep(__m128i raw, __m128i a, __m128i b, __m128i c) {
#if defined(__AVX__)
  // Absolute values and byte blends shorten the chain from a by two steps.
  const __m128i pa = _mm_abs_epi16(_mm_sub_epi16(b, c));
  const __m128i bMinusTwoC = _mm_sub_epi16(_mm_sub_epi16(b, c), c);
  const __m128i twoCMinusB = _mm_sub_epi16(_mm_setzero_si128(), bMinusTwoC);
  const __m128i rawPlusB = _mm_add_epi8(raw, b);
  const __m128i rawPlusC = _mm_add_epi8(raw, c);
  const __m128i pb = _mm_abs_epi16(_mm_sub_epi16(a, c));
  const __m128i pc = _mm_max_epi16(_mm_add_epi16(a, bMinusTwoC), _mm_sub_epi16(twoCMinusB, a));
  const __m128i takeAbove = _mm_cmpgt_epi16(pa, pb);
  const __m128i takeUpperLeft = _mm_cmpgt_epi16(_mm_min_epi16(pa, pb), pc);
  const __m128i nearer = _mm_blendv_epi8(_mm_add_epi8(raw, a), rawPlusB, takeAbove);
  return _mm_blendv_epi8(nearer, rawPlusC, takeUpperLeft);
#else
  const __m128i pa = distance16(b, c);
  const __m128i bMinusTwoC = _mm_sub_epi16(_mm_sub_epi16(b, c), c);
  const __m128i twoCMinusB = _mm_sub_epi16(_mm_setzero_si128(), bMinusTwoC);
  const __m128i rawPlusB = _mm_add_epi8(raw, b);
  const __m128i rawPlusC = _mm_add_epi8(raw, c);
  // From here on everything waits on a.
  const __m128i pb = distance16(a, c);
  const __m128i pc = _mm_max_epi16(_mm_add_epi16(a, bMinusTwoC), _mm_sub_epi16(twoCMinusB, a));
  const __m128i rawPlusA = _mm_add_epi8(raw, a);
  const __m128i takeAbove = _mm_cmpgt_epi16(pa, pb);
  const __m128i takeUpperLeft = _mm_and_si128(_mm_cmpgt_epi16(pa, pc), _mm_cmpgt_epi16(pb, pc));
  const __m128i nearer =
      _mm_or_si128(_mm_andnot_si128(takeAbove, rawPlusA), _mm_and_si128(takeAbove, rawPlusB));
  return _mm_or_si128(_mm_andnot_si128(takeUpperLeft, nearer),
                      _mm_and_si128(takeUpperLeft, rawPlusC));
#endif
}

// Two Paeth rows at once, for pixels of up to 4 bytes. One pixel takes a
// chain of some seven dependent steps, all waiting on the pixel to the left,
// and uses only half a register: the upper half carries the lower row, two
// pixels behind, so that its "above" and "upper left" are pixels of the upper
// row finished two and three steps before, and both rows go at the pace of one.
template <size_t kPixelBytes>
class PaethPair {
 public:
  PaethPair(uint8_t* upper, uint8_t* lower, const uint8_t* previous)
      : m_upper(upper), m_lower(lower), m_previous(previous) {}

  // Step i makes pixel i of the upper row (kUpper) and pixel i - 2 of the
  // lower row (kLower); a half without a pixel is worked on zeros, which
  // leaves the zeros the first pixels of the lower row need as left neighbours.
  template <bool kUpper, bool kLower>
  inline void step(size_t i) {
    uint64_t rawBits = 0;
    __m128i above = _mm_setzero_si128();
    if constexpr (kUpper) {
      rawBits = pixelBits<kPixelBytes>(m_upper + i * kPixelBytes);
      above = loadPixel<kPixelBytes>(m_previous + i * kPixelBytes);
    }
    if constexpr (kLower)
      rawBits |= uint64_t{pixelBits<kPixelBytes>(m_lower + (i - 2) * kPixelBytes)} << 32;
    const __m128i raw =
        _mm_unpacklo_epi8(_mm_cvtsi64_si128(static_cast<long long>(rawBits)), _mm_setzero_si128());
    const __m128i b = _mm_unpacklo_epi64(above, m_twoBack);
    const __m128i made = paethStep(raw, m_oneBack, b, m_c);
    m_c = b;
    m_twoBack = m_oneBack;
    m_oneBack = made;
    const uint64_t packed = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(made, made)));
    if constexpr (kUpper) storeBits(m_upper + i * kPixelBytes, static_cast<uint32_t>(packed));
    if constexpr (kLower) {
      storeBits(m_lower + (i - 2) * kPixelBytes, static_cast<uint32_t>(packed >> 32));
    }
  }

 private:
  static inline void storeBits(uint8_t* p, uint32_t v) { std::memcpy(p, &v, kPixelBytes); }

  uint8_t* m_upper;
  uint8_t* m_lower;
  const uint8_t* m_previous;
  __m128i m_oneBack = _mm_setzero_si128();  // the pixels just made: the next a
  __m128i m_twoBack = _mm_setzero_si128();  // those before: the upper row's pixels above
  __m128i m_c = _mm_setzero_si128();
};

template <size_t kPixelBytes>
void unfilterPaethPairPixels(uint8_t* upper, uint8_t* lower, const uint8_t* previous,
                             size_t pixels) {
  PaethPair<kPixelBytes> pair(upper, lower, previous);
  pair.template step<true, false>(0);
  pair.template step<true, false>(1);
  for (size_t i = 2; i < pixels; ++i) pair.template step<true, true>(i);
  pair.template step<false, true>(pixels);
  pair.template step<false, true>(pixels + 1);
}

// Both rows Paeth, 3- or 4-byte pixels, at least two of them; false otherwise.
inline bool unfilterPaethPairRows(uint8_t* upper, uint8_t* lower, const uint8_t* previous,
                                  size_t rowBytes, size_t distance) {
  // The first two steps make pixels of the upper row only: it needs two.
  if (rowBytes % distance != 0 || rowBytes < 2 * distance) return false;
  switch (distance) {
    case 3:
      unfilterPaethPairPixels<3>(upper, lower, previous, rowBytes / 3);
      return true;
    case 4:
      unfilterPaethPairPixels<4>(upper, lower, previous, rowBytes / 4);
      return true;
    default:
      return false;
  }
}

}  // namespace
}  // namespace pngpixels
