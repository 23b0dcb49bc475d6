// The blender's row kernels: one pixel at a time, four at a time in 128-bit
// lanes and eight at a time in 256-bit lanes, all giving the same bytes.
#include <algorithm>

#include "image/render_rows.h"

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

// The 256-bit form unpacks and packs within 128-bit halves, which keeps the
// pixel order as in the 128-bit form.
__attribute__((target("avx2"))) void blendAvx2(uint32_t* dst, const uint32_t* src, int32_t count,
                                               uint32_t opacity) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i opacity16 = _mm256_set1_epi16(static_cast<int16_t>(opacity));
  const __m256i all255 = _mm256_set1_epi16(255);
  const __m256i allOnes = _mm256_set1_epi32(-1);
  int32_t x = 0;
  for (; x + 8 <= count; x += 8) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + x));
    const __m256i a32 = _mm256_srli_epi32(s, 24);
    if (_mm256_testz_si256(a32, a32)) continue;
    if (opacity == 255 &&
        _mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_srai_epi32(s, 24), allOnes)) == -1) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), s);
      continue;
    }
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + x));
    const __m256i a16 = _mm256_or_si256(a32, _mm256_slli_epi32(a32, 16));
    s = _mm256_min_epu8(s, _mm256_or_si256(a16, _mm256_slli_epi32(a16, 8)));
    const __m256i dLo = _mm256_unpacklo_epi8(d, zero), dHi = _mm256_unpackhi_epi8(d, zero);
    const __m256i sLo = _mm256_unpacklo_epi8(s, zero), sHi = _mm256_unpackhi_epi8(s, zero);
    __m256i lo, hi;
    if (opacity == 255) {
      // At full opacity the rule is src + dst (255 - A) / 255: one product a channel.
      const __m256i keep = _mm256_sub_epi16(all255, a16);
      lo = _mm256_add_epi16(sLo,
                            divide255(_mm256_mullo_epi16(dLo, _mm256_unpacklo_epi32(keep, keep))));
      hi = _mm256_add_epi16(sHi,
                            divide255(_mm256_mullo_epi16(dHi, _mm256_unpackhi_epi32(keep, keep))));
    } else {
      const __m256i keep = _mm256_sub_epi16(all255, divide255(_mm256_mullo_epi16(a16, opacity16)));
      lo = divide255(_mm256_add_epi16(_mm256_mullo_epi16(dLo, _mm256_unpacklo_epi32(keep, keep)),
                                      _mm256_mullo_epi16(sLo, opacity16)));
      hi = divide255(_mm256_add_epi16(_mm256_mullo_epi16(dHi, _mm256_unpackhi_epi32(keep, keep)),
                                      _mm256_mullo_epi16(sHi, opacity16)));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), _mm256_packus_epi16(lo, hi));
  }
  blendSse2(dst + x, src + x, count - x, opacity);
}

bool hasAvx2() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
}

void blend(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t opacity) {
  if (hasAvx2()) {
    blendAvx2(dst, src, count, opacity);
  } else {
    blendSse2(dst, src, count, opacity);
  }
}

#else  // processors without the x86 vector forms use the plain one

bool hasAvx2() { return false; }
void blendSse2(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t opacity) {
  blendPlain(dst, src, count, opacity);
}
void blendAvx2(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t opacity) {
  blendPlain(dst, src, count, opacity);
}
void blend(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t opacity) {
  blendPlain(dst, src, count, opacity);
}

#endif

}  // namespace renderpix::rows
