// SSE2 loops of the PNG row filters. Sub works on 16 bytes at a time as a
// prefix sum; Average and Paeth depend on the pixel just made, so they go
// pixel by pixel with all channels of a pixel in one register and the left
// pixel never leaving it (a byte loop would wait on the store of the byte it
// just wrote). Up is a plain vector add.
#include "image/codecs/pngunfilter_sse2.h"

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>

#include <cstring>

namespace pngpixels {
namespace {

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

// Stores the low bytes of the lanes; every lane holds a byte value.
template <size_t kPixelBytes>
inline void storePixel(uint8_t* p, __m128i v) {
  const uint64_t packed = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(v, v)));
  std::memcpy(p, &packed, kPixelBytes);
}

// |x - y| of lanes holding 0 to 255.
inline __m128i distance16(__m128i x, __m128i y) {
  return _mm_sub_epi16(_mm_max_epi16(x, y), _mm_min_epi16(x, y));
}

// The bytes the vector loop left over, as the plain loop would do them.
void subTail(uint8_t* row, size_t from, size_t rowBytes, size_t distance) {
  for (size_t i = from < distance ? distance : from; i < rowBytes; ++i) {
    row[i] = static_cast<uint8_t>(row[i] + row[i - distance]);
  }
}

// x plus x shifted by 1, 2, 4 ... pixels: every pixel becomes the sum of itself
// and all pixels before it in the register.
template <size_t kShift>
inline __m128i prefixSum(__m128i x) {
  if constexpr (kShift >= 16) {
    return x;
  } else {
    return prefixSum<kShift * 2>(_mm_add_epi8(x, _mm_slli_si128(x, kShift)));
  }
}

// Sub for 1-, 2-, 4- and 8-byte pixels, 16 bytes a round.
template <size_t kPixelBytes>
void unfilterSubBlocks(uint8_t* row, size_t rowBytes) {
  __m128i carry = _mm_setzero_si128();  // the pixel left of the block, in the first lanes
  size_t i = 0;
  for (; i + 16 <= rowBytes; i += 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    x = prefixSum<kPixelBytes>(_mm_add_epi8(x, carry));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), x);
    carry = _mm_srli_si128(x, 16 - kPixelBytes);
  }
  subTail(row, i, rowBytes, kPixelBytes);
}

void unfilterSub3(uint8_t* row, size_t rowBytes) {
  const __m128i firstPixel = _mm_cvtsi32_si128(0x00FFFFFF);
  __m128i carry = _mm_setzero_si128();  // the pixel left of the block, in bytes 0 to 2
  size_t i = 0;
  // Four pixels (12 bytes) a round; the 16-byte load stays inside the row.
  for (; i + 16 <= rowBytes; i += 12) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    x = _mm_add_epi8(x, carry);
    x = _mm_add_epi8(x, _mm_slli_si128(x, 3));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 6));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row + i), x);
    const uint32_t high = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x, 8)));
    std::memcpy(row + i + 8, &high, 4);
    carry = _mm_and_si128(_mm_srli_si128(x, 9), firstPixel);
  }
  subTail(row, i, rowBytes, 3);
}

void unfilterUp(uint8_t* row, const uint8_t* previous, size_t rowBytes) {
  size_t i = 0;
  for (; i + 16 <= rowBytes; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    const __m128i above = _mm_loadu_si128(reinterpret_cast<const __m128i*>(previous + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_add_epi8(x, above));
  }
  for (; i < rowBytes; ++i) row[i] = static_cast<uint8_t>(row[i] + previous[i]);
}

// Sums of lanes below 256 are taken with 8-bit adds: each low byte wraps as
// the filter wants, and the high bytes (0 + 0) stay 0.
template <size_t kPixelBytes>
void unfilterAveragePixels(uint8_t* row, const uint8_t* previous, size_t rowBytes) {
  __m128i left = _mm_setzero_si128();
  for (size_t i = 0; i + kPixelBytes <= rowBytes; i += kPixelBytes) {
    const __m128i above = loadPixel<kPixelBytes>(previous + i);
    const __m128i raw = loadPixel<kPixelBytes>(row + i);
    left = _mm_add_epi8(raw, _mm_srli_epi16(_mm_add_epi16(left, above), 1));
    storePixel<kPixelBytes>(row + i, left);
  }
}

// Paeth without branches. With a = left, b = above, c = upper left:
// pa = |b - c|, pb = |a - c|, pc = |a + b - 2c|; the predictor is b where
// pb < pa and a otherwise, replaced by c where pc is below both: the
// definition's choice, ties going to left, then above. Everything that does
// not involve a is worked out before the pixel to the left is known, and the
// three candidate sums raw + a, raw + b, raw + c are chosen from directly.
// Returns the unfiltered pixel, the next pixel's a.
inline __m128i paethStep(__m128i raw, __m128i a, __m128i b, __m128i c) {
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
}

template <size_t kPixelBytes>
void unfilterPaethPixels(uint8_t* row, const uint8_t* previous, size_t rowBytes) {
  __m128i a = _mm_setzero_si128();
  __m128i c = _mm_setzero_si128();
  for (size_t i = 0; i + kPixelBytes <= rowBytes; i += kPixelBytes) {
    const __m128i b = loadPixel<kPixelBytes>(previous + i);
    a = paethStep(loadPixel<kPixelBytes>(row + i), a, b, c);
    storePixel<kPixelBytes>(row + i, a);
    c = b;
  }
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
      rawBits = pixelBits(m_upper + i * kPixelBytes);
      above = loadPixel<kPixelBytes>(m_previous + i * kPixelBytes);
    }
    if constexpr (kLower) rawBits |= uint64_t{pixelBits(m_lower + (i - 2) * kPixelBytes)} << 32;
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
  // Composed in a general register, as in loadPixel.
  static inline uint32_t pixelBits(const uint8_t* p) {
    uint32_t v = 0;
    if constexpr (kPixelBytes == 3) {
      uint16_t low = 0;
      std::memcpy(&low, p, 2);
      v = low | (uint32_t{p[2]} << 16);
    } else {
      std::memcpy(&v, p, kPixelBytes);
    }
    return v;
  }
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

template <size_t kPixelBytes>
bool unfilterPixels(uint8_t filterType, uint8_t* row, const uint8_t* previous, size_t rowBytes) {
  switch (filterType) {
    case 1:
      if constexpr (kPixelBytes == 3) {
        unfilterSub3(row, rowBytes);
      } else if constexpr (kPixelBytes == 6) {
        return false;  // 16-bit RGB: rare enough for the plain loop
      } else {
        unfilterSubBlocks<kPixelBytes>(row, rowBytes);
      }
      return true;
    case 3:
      unfilterAveragePixels<kPixelBytes>(row, previous, rowBytes);
      return true;
    case 4:
      unfilterPaethPixels<kPixelBytes>(row, previous, rowBytes);
      return true;
    default:
      return false;
  }
}

}  // namespace

bool unfilterPaethPairSse2(uint8_t* upper, uint8_t* lower, const uint8_t* previous, size_t rowBytes,
                           size_t distance) {
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

bool unfilterRowSse2(uint8_t filterType, uint8_t* row, const uint8_t* previous, size_t rowBytes,
                     size_t distance) {
  if (filterType == 2) {
    unfilterUp(row, previous, rowBytes);
    return true;
  }
  // Pixels of 1 and 2 bytes (grey, grey with alpha, sub-byte rows) gain
  // nothing from a register per pixel, as measured: the plain loops keep them.
  // Rows of whole pixels only.
  if (distance < 3 || rowBytes % distance != 0) return false;
  switch (distance) {
    case 3:
      return unfilterPixels<3>(filterType, row, previous, rowBytes);
    case 4:
      return unfilterPixels<4>(filterType, row, previous, rowBytes);
    case 6:
      return unfilterPixels<6>(filterType, row, previous, rowBytes);
    case 8:
      return unfilterPixels<8>(filterType, row, previous, rowBytes);
    default:
      return false;
  }
}

}  // namespace pngpixels

#else

namespace pngpixels {

bool unfilterRowSse2(uint8_t, uint8_t*, const uint8_t*, size_t, size_t) { return false; }
bool unfilterPaethPairSse2(uint8_t*, uint8_t*, const uint8_t*, size_t, size_t) { return false; }

}  // namespace pngpixels

#endif
