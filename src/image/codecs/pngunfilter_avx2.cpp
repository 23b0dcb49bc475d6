// Four Paeth rows at once in one 256-bit register (this file alone is built
// with -mavx2): chosen at run time where the processor has AVX2. The two-row
// loop of pngpaeth_vector.h fills half a 128-bit register per row; here each
// row has a quarter of a 256-bit one, each row two pixels behind the one
// above, so four rows go at the pace of one.
// Everything but the entry point has internal linkage, so that no function
// compiled for AVX2 can stand in for a plain twin at link time.
#include "image/codecs/pngpixelbits.h"
#include "image/codecs/pngunfilter_sse2.h"

#if defined(__AVX2__) && defined(__x86_64__)
#include <immintrin.h>

#include <cstring>

namespace pngpixels {
namespace {

// The branchless Paeth step of pngpaeth_vector.h on four pixels of four 16-bit
// lanes each: the unfiltered pixels, the next step's left neighbours.
inline __m256i paethStep4(__m256i raw, __m256i a, __m256i b, __m256i c) {
  const __m256i bMinusC = _mm256_sub_epi16(b, c);
  const __m256i pa = _mm256_abs_epi16(bMinusC);
  const __m256i bMinusTwoC = _mm256_sub_epi16(bMinusC, c);
  const __m256i twoCMinusB = _mm256_sub_epi16(_mm256_setzero_si256(), bMinusTwoC);
  const __m256i rawPlusB = _mm256_add_epi8(raw, b);
  const __m256i rawPlusC = _mm256_add_epi8(raw, c);
  // From here on everything waits on a.
  const __m256i pb = _mm256_abs_epi16(_mm256_sub_epi16(a, c));
  const __m256i pc =
      _mm256_max_epi16(_mm256_add_epi16(a, bMinusTwoC), _mm256_sub_epi16(twoCMinusB, a));
  const __m256i takeAbove = _mm256_cmpgt_epi16(pa, pb);
  const __m256i takeUpperLeft = _mm256_cmpgt_epi16(_mm256_min_epi16(pa, pb), pc);
  const __m256i nearer = _mm256_blendv_epi8(_mm256_add_epi8(raw, a), rawPlusB, takeAbove);
  return _mm256_blendv_epi8(nearer, rawPlusC, takeUpperLeft);
}

// Step i makes pixel i of row 0, i - 2 of row 1, i - 4 of row 2 and i - 6 of
// row 3, in the four 64-bit quarters of the register. A row's "above" and
// "upper left" are then pixels of the row over it that were made two and three
// steps before: the previous results moved up by one quarter. A quarter
// without a pixel (before a row starts, after it ends) is worked on zeros;
// before the start that leaves the zeros a row's first pixels need as left
// and upper-left neighbours, and after the end nothing is stored.
template <size_t kPixelBytes>
class PaethQuad {
 public:
  static constexpr size_t kRows = 4;
  static constexpr size_t kLag = 2 * (kRows - 1);  // steps the last row trails the first

  PaethQuad(uint8_t* first, size_t stride, const uint8_t* previous, size_t pixels)
      : m_first(first), m_stride(stride), m_previous(previous), m_pixels(pixels) {}

  // kEveryRow: every row has its pixel at this step (kLag <= i < pixels).
  // Always inlined, so that the registers carried from step to step stay
  // registers across the loops.
  template <bool kEveryRow>
  __attribute__((always_inline)) inline void step(size_t i) {
    __m128i rawBytes = _mm_cvtsi32_si128(static_cast<int>(rawBits<kEveryRow>(0, i)));
    rawBytes = _mm_insert_epi32(rawBytes, static_cast<int>(rawBits<kEveryRow>(1, i)), 1);
    rawBytes = _mm_insert_epi32(rawBytes, static_cast<int>(rawBits<kEveryRow>(2, i)), 2);
    rawBytes = _mm_insert_epi32(rawBytes, static_cast<int>(rawBits<kEveryRow>(3, i)), 3);
    const __m256i raw = _mm256_cvtepu8_epi16(rawBytes);
    const __m256i above = _mm256_castsi128_si256(
        _mm_cvtepu8_epi16(_mm_cvtsi32_si128(static_cast<int>(aboveBits<kEveryRow>(i)))));
    // Quarters 1 to 3 take the results of two steps before from the quarter
    // below them; quarter 0 takes the row above the four.
    const __m256i b = _mm256_blend_epi32(
        _mm256_permute4x64_epi64(m_twoBack, _MM_SHUFFLE(2, 1, 0, 0)), above, 0x03);
    const __m256i made = paethStep4(raw, m_oneBack, b, m_c);
    m_c = b;
    m_twoBack = m_oneBack;
    m_oneBack = made;
    const __m256i packed = _mm256_packus_epi16(made, made);
    const uint64_t upperMade =
        static_cast<uint64_t>(_mm_cvtsi128_si64(_mm256_castsi256_si128(packed)));
    const uint64_t lowerMade =
        static_cast<uint64_t>(_mm_cvtsi128_si64(_mm256_extracti128_si256(packed, 1)));
    store<kEveryRow>(0, i, static_cast<uint32_t>(upperMade));
    store<kEveryRow>(1, i, static_cast<uint32_t>(upperMade >> 32));
    store<kEveryRow>(2, i, static_cast<uint32_t>(lowerMade));
    store<kEveryRow>(3, i, static_cast<uint32_t>(lowerMade >> 32));
  }

 private:
  // Whether row k has a pixel at step i.
  inline bool has(size_t k, size_t i) const { return i >= 2 * k && i - 2 * k < m_pixels; }
  // Row k's pixel of step i; only where has(k, i).
  inline uint8_t* at(size_t k, size_t i) const {
    return m_first + k * m_stride + (i - 2 * k) * kPixelBytes;
  }
  // With every row at work, a 3-byte pixel is read as four bytes: the byte
  // after it (the next pixel's, or the filter byte of the row below, for the
  // last pixel of row 0, the only row to reach its end there) lies inside the
  // four rows, and its lane's results are never stored.
  template <bool kEveryRow>
  inline uint32_t rawBits(size_t k, size_t i) const {
    if constexpr (kEveryRow) {
      uint32_t v = 0;
      std::memcpy(&v, at(k, i), 4);
      return v;
    }
    return has(k, i) ? pixelBits<kPixelBytes>(at(k, i)) : 0;
  }
  // The pixel of the row above the four at step i; four bytes read where the
  // row goes on after the pixel.
  template <bool kEveryRow>
  inline uint32_t aboveBits(size_t i) const {
    const uint8_t* p = m_previous + i * kPixelBytes;
    if (kEveryRow && i + 1 < m_pixels) {
      uint32_t v = 0;
      std::memcpy(&v, p, 4);
      return v;
    }
    return i < m_pixels ? pixelBits<kPixelBytes>(p) : 0;
  }
  template <bool kEveryRow>
  inline void store(size_t k, size_t i, uint32_t bits) const {
    if (!kEveryRow && !has(k, i)) return;
    uint8_t* p = at(k, i);
    if constexpr (kPixelBytes == 3) {
      const uint16_t low = static_cast<uint16_t>(bits);
      std::memcpy(p, &low, 2);
      p[2] = static_cast<uint8_t>(bits >> 16);
    } else {
      std::memcpy(p, &bits, 4);
    }
  }

  uint8_t* m_first;
  size_t m_stride;
  const uint8_t* m_previous;
  size_t m_pixels;
  __m256i m_oneBack = _mm256_setzero_si256();  // the pixels just made: the next a
  __m256i m_twoBack = _mm256_setzero_si256();  // those before: the "above" of the rows below
  __m256i m_c = _mm256_setzero_si256();
};

template <size_t kPixelBytes>
void unfilterPaethQuadPixels(uint8_t* first, size_t stride, const uint8_t* previous,
                             size_t pixels) {
  using Quad = PaethQuad<kPixelBytes>;
  Quad quad(first, stride, previous, pixels);
  size_t i = 0;
  for (; i < Quad::kLag && i < pixels; ++i) quad.template step<false>(i);
  for (; i < pixels; ++i) quad.template step<true>(i);
  for (; i < pixels + Quad::kLag; ++i) quad.template step<false>(i);
}

}  // namespace

bool unfilterPaethQuadAvx2(uint8_t* first, size_t stride, const uint8_t* previous, size_t rowBytes,
                           size_t distance) {
  if ((distance != 3 && distance != 4) || rowBytes == 0 || rowBytes % distance != 0 ||
      stride < rowBytes) {
    return false;
  }
  switch (distance) {
    case 3:
      unfilterPaethQuadPixels<3>(first, stride, previous, rowBytes / 3);
      return true;
    case 4:
      unfilterPaethQuadPixels<4>(first, stride, previous, rowBytes / 4);
      return true;
    default:
      return false;
  }
}

}  // namespace pngpixels

#else

namespace pngpixels {

bool unfilterPaethQuadAvx2(uint8_t*, size_t, const uint8_t*, size_t, size_t) { return false; }

}  // namespace pngpixels

#endif
