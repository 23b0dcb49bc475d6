// Four Paeth rows at once in one 256-bit register (this file alone is built
// with -mavx2): chosen at run time where the processor has AVX2. The two-row
// loop of pngpaeth_vector.h fills half a 128-bit register per row; here each
// row has a quarter of a 256-bit one, each row two pixels behind the one
// above, so four rows go at the pace of one.
// Everything but the entry point has internal linkage, so that no function
// compiled for AVX2 can stand in for a plain twin at link time.
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
  template <bool kEveryRow>
  inline void step(size_t i) {
    uint32_t raw[kRows] = {};
    uint32_t above = 0;
    for (size_t k = 0; k < kRows; ++k) {
      if (kEveryRow || has(k, i)) raw[k] = pixelBits(at(k, i));
    }
    if (kEveryRow || i < m_pixels) above = pixelBits(m_previous + i * kPixelBytes);
    const __m256i rawWide =
        _mm256_cvtepu8_epi16(_mm_setr_epi32(static_cast<int>(raw[0]), static_cast<int>(raw[1]),
                                            static_cast<int>(raw[2]), static_cast<int>(raw[3])));
    const __m256i aboveWide =
        _mm256_castsi128_si256(_mm_cvtepu8_epi16(_mm_cvtsi32_si128(static_cast<int>(above))));
    // Quarters 1 to 3 take the results of two steps before from the quarter
    // below them; quarter 0 takes the row above the four.
    const __m256i b = _mm256_blend_epi32(
        _mm256_permute4x64_epi64(m_twoBack, _MM_SHUFFLE(2, 1, 0, 0)), aboveWide, 0x03);
    const __m256i made = paethStep4(rawWide, m_oneBack, b, m_c);
    m_c = b;
    m_twoBack = m_oneBack;
    m_oneBack = made;
    const __m256i packed = _mm256_packus_epi16(made, made);
    const uint64_t upperRows =
        static_cast<uint64_t>(_mm_cvtsi128_si64(_mm256_castsi256_si128(packed)));
    const uint64_t lowerRows =
        static_cast<uint64_t>(_mm_cvtsi128_si64(_mm256_extracti128_si256(packed, 1)));
    const uint32_t made32[kRows] = {
        static_cast<uint32_t>(upperRows), static_cast<uint32_t>(upperRows >> 32),
        static_cast<uint32_t>(lowerRows), static_cast<uint32_t>(lowerRows >> 32)};
    for (size_t k = 0; k < kRows; ++k) {
      if (kEveryRow || has(k, i)) std::memcpy(at(k, i), &made32[k], kPixelBytes);
    }
  }

 private:
  // Whether row k has a pixel at step i.
  inline bool has(size_t k, size_t i) const { return i >= 2 * k && i - 2 * k < m_pixels; }
  // Row k's pixel of step i; only where has(k, i).
  inline uint8_t* at(size_t k, size_t i) const {
    return m_first + k * m_stride + (i - 2 * k) * kPixelBytes;
  }
  // Composed in a general register: composing it in memory would make the
  // vector load wait on a failed store forward.
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
