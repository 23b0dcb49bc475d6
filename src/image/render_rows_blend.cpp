// The blender's row kernels: one pixel at a time, four at a time in 128-bit
// lanes and eight at a time in 256-bit lanes, all giving the same bytes.
#include <algorithm>
#include <cstddef>

#include "image/render_rows.h"
#include "image/cpu_features.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace renderpix::rows {

namespace {

// floor(x / 255) for x in 0 .. 65535: x x 0x8081 / 2^23 is off by less than
// 1/255 over that range, so the floor never moves.
constexpr uint32_t div255(uint32_t x) { return (x * 0x8081u) >> 23; }

}  // namespace

void blendPlain(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t opacity) {
  for (int32_t x = 0; x < count; ++x) {
    const uint32_t s = src[x], d = dst[x];
    const uint32_t a = s >> 24;
    if (a == 0) continue;
    const uint32_t keep = 255u - div255(a * opacity);
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      const uint32_t colour = std::min((s >> shift) & 0xFF, a);
      out |= div255(((d >> shift) & 0xFF) * keep + colour * opacity) << shift;
    }
    dst[x] = out;
  }
}

#if defined(__x86_64__)

namespace {

// div255 in 16-bit lanes.
inline __m128i divide255(__m128i v) {
  return _mm_srli_epi16(_mm_mulhi_epu16(v, _mm_set1_epi16(static_cast<int16_t>(0x8081))), 7);
}

__attribute__((target("avx2"))) inline __m256i divide255(__m256i v) {
  return _mm256_srli_epi16(_mm256_mulhi_epu16(v, _mm256_set1_epi16(static_cast<int16_t>(0x8081))),
                           7);
}

}  // namespace

// Groups that are wholly invisible are skipped and, at full opacity, wholly
// opaque ones copied; the rest go through the rule in 16-bit lanes.
void blendSse2(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t opacity) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i opacity16 = _mm_set1_epi16(static_cast<int16_t>(opacity));
  const __m128i all255 = _mm_set1_epi16(255);
  const __m128i allOnes = _mm_set1_epi32(-1);
  int32_t x = 0;
  for (; x + 4 <= count; x += 4) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
    const __m128i a32 = _mm_srli_epi32(s, 24);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(a32, zero)) == 0xFFFF) continue;
    if (opacity == 255 &&
        _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_srai_epi32(s, 24), allOnes)) == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), s);
      continue;
    }
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + x));
    const __m128i a16 = _mm_or_si128(a32, _mm_slli_epi32(a32, 16));  // alpha in both halves
    s = _mm_min_epu8(s, _mm_or_si128(a16, _mm_slli_epi32(a16, 8)));
    // keep = 255 - A O / 255 in every 16-bit lane of its pixel.
    const __m128i keep = _mm_sub_epi16(all255, divide255(_mm_mullo_epi16(a16, opacity16)));
    const __m128i keepLo = _mm_unpacklo_epi32(keep, keep);
    const __m128i keepHi = _mm_unpackhi_epi32(keep, keep);
    const __m128i lo =
        divide255(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), keepLo),
                                _mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), opacity16)));
    const __m128i hi =
        divide255(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), keepHi),
                                _mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), opacity16)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), _mm_packus_epi16(lo, hi));
  }
  blendPlain(dst + x, src + x, count - x, opacity);
}

// The 256-bit form keeps the channels where they are: blue and red in the low
// bytes of 16-bit lanes, green and alpha (shifted down) in another register,
// each lane multiplied by its pixel's factor, which a byte shuffle spreads.
// The rule itself gives every pixel, clear and opaque ones included; the
// loops only skip and copy them for speed.
template <bool kFullOpacity>
__attribute__((target("avx2"))) inline __m256i blendGroup(__m256i s, __m256i d, __m256i opacity16) {
  const __m256i lowBytes = _mm256_set1_epi16(0x00FF);
  // Index 3 (7, 11, 15) of each 128-bit half is a pixel's alpha byte.
  const __m256i alphaBytes =
      _mm256_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15, 3, 3, 3, 3, 7, 7, 7,
                       7, 11, 11, 11, 11, 15, 15, 15, 15);
  // Each pixel's alpha in all four bytes: the limit of its colours and, in
  // the low byte of each 16-bit lane, the factor of the rule.
  const __m256i spreadAlpha = _mm256_shuffle_epi8(s, alphaBytes);
  s = _mm256_min_epu8(s, spreadAlpha);
  const __m256i dEven = _mm256_and_si256(d, lowBytes), dOdd = _mm256_srli_epi16(d, 8);
  if constexpr (kFullOpacity) {
    // At full opacity the rule is src + dst (255 - A) / 255: one product a
    // channel; 255 - A of a byte is its complement.
    const __m256i keep = _mm256_andnot_si256(spreadAlpha, lowBytes);
    const __m256i even = divide255(_mm256_mullo_epi16(dEven, keep));
    const __m256i odd = divide255(_mm256_mullo_epi16(dOdd, keep));
    return _mm256_add_epi8(s, _mm256_or_si256(even, _mm256_slli_epi16(odd, 8)));
  } else {
    const __m256i alpha = _mm256_and_si256(spreadAlpha, lowBytes);
    const __m256i keep =
        _mm256_xor_si256(divide255(_mm256_mullo_epi16(alpha, opacity16)), lowBytes);
    const __m256i sEven = _mm256_and_si256(s, lowBytes), sOdd = _mm256_srli_epi16(s, 8);
    const __m256i even = divide255(
        _mm256_add_epi16(_mm256_mullo_epi16(dEven, keep), _mm256_mullo_epi16(sEven, opacity16)));
    const __m256i odd = divide255(
        _mm256_add_epi16(_mm256_mullo_epi16(dOdd, keep), _mm256_mullo_epi16(sOdd, opacity16)));
    return _mm256_or_si256(even, _mm256_slli_epi16(odd, 8));
  }
}

__attribute__((target("avx2"))) inline __m256i loadGroup(const uint32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
__attribute__((target("avx2"))) inline void storeGroup(uint32_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Rows of at least 8 pixels, eight at a time from the first (starting where
// dst lies on 32 bytes measured no faster). The last eight pixels are worked
// out from the untouched row before the loop and stored after it, which gives
// the pixels they share with the loop the same bytes again.
template <bool kFullOpacity>
__attribute__((target("avx2"), always_inline)) inline void blendRowAvx2(uint32_t* dst,
                                                                        const uint32_t* src,
                                                                        int32_t count,
                                                                        uint32_t opacity) {
  const __m256i opacity16 = _mm256_set1_epi16(static_cast<int16_t>(opacity));
  const __m256i alphaMask = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
  const int32_t last = count - 8;
  const __m256i tail =
      blendGroup<kFullOpacity>(loadGroup(src + last), loadGroup(dst + last), opacity16);
  int32_t x = 0;
  for (; x <= last; x += 8) {
    const __m256i s = loadGroup(src + x);
    if (_mm256_testz_si256(s, alphaMask)) continue;          // all clear
    if (kFullOpacity && _mm256_testc_si256(s, alphaMask)) {  // all opaque
      storeGroup(dst + x, s);
      continue;
    }
    storeGroup(dst + x, blendGroup<kFullOpacity>(s, loadGroup(dst + x), opacity16));
  }
  storeGroup(dst + last, tail);
}

__attribute__((target("avx2"))) void blendAvx2(uint32_t* dst, const uint32_t* src, int32_t count,
                                               uint32_t opacity) {
  if (count < 8) {
    blendSse2(dst, src, count, opacity);
  } else if (opacity == 255) {
    blendRowAvx2<true>(dst, src, count, opacity);
  } else {
    blendRowAvx2<false>(dst, src, count, opacity);
  }
}

// Whole rectangles in one call: the row loop inlined, no choice and no call
// per row, which counts at a few hundred pixels a row.
template <bool kFullOpacity>
__attribute__((target("avx2"))) void blendRowsAvx2(uint32_t* dst, ptrdiff_t dstStride,
                                                   const uint32_t* src, ptrdiff_t srcStride,
                                                   int32_t count, int32_t height,
                                                   uint32_t opacity) {
  for (int32_t y = 0; y < height; ++y, dst += dstStride, src += srcStride)
    blendRowAvx2<kFullOpacity>(dst, src, count, opacity);
}

void blendRows(uint32_t* dst, ptrdiff_t dstStride, const uint32_t* src, ptrdiff_t srcStride,
               int32_t count, int32_t height, uint32_t opacity) {
  if (cpu::hasAvx2() && count >= 8) {
    if (opacity == 255) {
      blendRowsAvx2<true>(dst, dstStride, src, srcStride, count, height, opacity);
    } else {
      blendRowsAvx2<false>(dst, dstStride, src, srcStride, count, height, opacity);
    }
    return;
  }
  for (int32_t y = 0; y < height; ++y, dst += dstStride, src += srcStride)
    blend(dst, src, count, opacity);
}

void blend(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t opacity) {
  if (cpu::hasAvx2()) {
    blendAvx2(dst, src, count, opacity);
  } else {
    blendSse2(dst, src, count, opacity);
  }
}

#else  // processors without the x86 vector forms use the plain one

void blendSse2(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t opacity) {
  blendPlain(dst, src, count, opacity);
}
void blendAvx2(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t opacity) {
  blendPlain(dst, src, count, opacity);
}
void blend(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t opacity) {
  blendPlain(dst, src, count, opacity);
}
void blendRows(uint32_t* dst, ptrdiff_t dstStride, const uint32_t* src, ptrdiff_t srcStride,
               int32_t count, int32_t height, uint32_t opacity) {
  for (int32_t y = 0; y < height; ++y, dst += dstStride, src += srcStride)
    blendPlain(dst, src, count, opacity);
}

#endif

}  // namespace renderpix::rows
