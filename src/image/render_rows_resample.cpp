// The bilinear resampler's row kernels: the vertical pass in 16-bit lanes and
// the horizontal pass with multiply-add over pairs of 16-bit lanes, in plain,
// 128-bit and 256-bit forms that give the same bytes.
#include "image/render_rows.h"
#include "image/cpu_features.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace renderpix::rows {

namespace {

// The flipped top bit makes (value - 32768) x w1 + (value' - 32768) x w2 out of a
// signed multiply-add; as w1 + w2 = 256 this adds 32768 x 256 back, and 32768
// more rounds the final division by 65536 to the nearest.
constexpr int32_t kFlip = 0x8000;
constexpr int32_t kUnflipAndRound = 0x8000 * 256 + 0x8000;

}  // namespace

void mixRowsPlain(const uint32_t* top, const uint32_t* bottom, int32_t count, uint32_t wy,
                  uint16_t* mixed) {
  for (int32_t i = 0; i < count; ++i) {
    for (int c = 0; c < 4; ++c) {
      const uint32_t t = (top[i] >> (8 * c)) & 0xFF, b = (bottom[i] >> (8 * c)) & 0xFF;
      mixed[i * 4 + c] = static_cast<uint16_t>((t * (256 - wy) + b * wy) ^ kFlip);
    }
  }
}

void mixColumnsPlain(const uint16_t* mixed, const int32_t* left, const uint32_t* weights,
                     int32_t count, uint32_t* out) {
  for (int32_t x = 0; x < count; ++x) {
    const uint16_t* l = mixed + static_cast<size_t>(left[x]) * 4;
    const auto wl = static_cast<int32_t>(weights[x] & 0xFFFF);
    const auto wr = static_cast<int32_t>(weights[x] >> 16);
    uint32_t pixel = 0;
    for (int c = 0; c < 4; ++c) {
      const int32_t sum = (l[c] ^ kFlip) * wl + (l[c + 4] ^ kFlip) * wr + 0x8000;
      pixel |= static_cast<uint32_t>(sum >> 16) << (8 * c);
    }
    out[x] = pixel;
  }
}

#if defined(__x86_64__)

// Products stay below 65536, so 16-bit lanes hold them exactly.
void mixRowsSse2(const uint32_t* top, const uint32_t* bottom, int32_t count, uint32_t wy,
                 uint16_t* mixed) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i wTop = _mm_set1_epi16(static_cast<int16_t>(256 - wy));
  const __m128i wBottom = _mm_set1_epi16(static_cast<int16_t>(wy));
  const __m128i flip = _mm_set1_epi16(static_cast<int16_t>(kFlip));
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + i));
    const __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(t, zero), wTop),
                                     _mm_mullo_epi16(_mm_unpacklo_epi8(b, zero), wBottom));
    const __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(t, zero), wTop),
                                     _mm_mullo_epi16(_mm_unpackhi_epi8(b, zero), wBottom));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(mixed + i * 4), _mm_xor_si128(lo, flip));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(mixed + i * 4 + 8), _mm_xor_si128(hi, flip));
  }
  mixRowsPlain(top + i, bottom + i, count - i, wy, mixed + static_cast<size_t>(i) * 4);
}

namespace {

// One destination pixel: the left and right columns' four channels paired
// (l0 r0 l1 r1 ...) and multiplied-and-added with (256 - wx, wx).
inline __m128i mixOne(const uint16_t* mixed, int32_t left, __m128i weight) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mixed + left * 4));
  const __m128i pairs = _mm_unpacklo_epi16(v, _mm_srli_si128(v, 8));
  return _mm_srai_epi32(
      _mm_add_epi32(_mm_madd_epi16(pairs, weight), _mm_set1_epi32(kUnflipAndRound)), 16);
}

}  // namespace

void mixColumnsSse2(const uint16_t* mixed, const int32_t* left, const uint32_t* weights,
                    int32_t count, uint32_t* out) {
  int32_t x = 0;
  for (; x + 4 <= count; x += 4) {
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + x));
    const __m128i p0 = mixOne(mixed, left[x], _mm_shuffle_epi32(w, 0x00));
    const __m128i p1 = mixOne(mixed, left[x + 1], _mm_shuffle_epi32(w, 0x55));
    const __m128i p2 = mixOne(mixed, left[x + 2], _mm_shuffle_epi32(w, 0xAA));
    const __m128i p3 = mixOne(mixed, left[x + 3], _mm_shuffle_epi32(w, 0xFF));
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(p0, p1), _mm_packs_epi32(p2, p3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), packed);
  }
  mixColumnsPlain(mixed, left + x, weights + x, count - x, out + x);
}

namespace {

// Two destination pixels, one in each 128-bit half.
__attribute__((target("avx2"))) inline __m256i mixTwo(const uint16_t* mixed, int32_t left0,
                                                      int32_t left1, __m256i weights,
                                                      __m256i pick) {
  const __m256i v = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(mixed + left0 * 4))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(mixed + left1 * 4)), 1);
  const __m256i pairs = _mm256_unpacklo_epi16(v, _mm256_srli_si256(v, 8));
  const __m256i weight = _mm256_permutevar8x32_epi32(weights, pick);
  return _mm256_srai_epi32(
      _mm256_add_epi32(_mm256_madd_epi16(pairs, weight), _mm256_set1_epi32(kUnflipAndRound)), 16);
}

}  // namespace

__attribute__((target("avx2"))) void mixColumnsAvx2(const uint16_t* mixed, const int32_t* left,
                                                    const uint32_t* weights, int32_t count,
                                                    uint32_t* out) {
  const __m256i pick01 = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
  const __m256i pick23 = _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3);
  const __m256i pick45 = _mm256_setr_epi32(4, 4, 4, 4, 5, 5, 5, 5);
  const __m256i pick67 = _mm256_setr_epi32(6, 6, 6, 6, 7, 7, 7, 7);
  // Packing within halves leaves the pixels as 0 2 4 6 | 1 3 5 7.
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  int32_t x = 0;
  for (; x + 8 <= count; x += 8) {
    const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights + x));
    const int32_t* l = left + x;
    const __m256i p01 = mixTwo(mixed, l[0], l[1], w, pick01);
    const __m256i p23 = mixTwo(mixed, l[2], l[3], w, pick23);
    const __m256i p45 = mixTwo(mixed, l[4], l[5], w, pick45);
    const __m256i p67 = mixTwo(mixed, l[6], l[7], w, pick67);
    const __m256i packed =
        _mm256_packus_epi16(_mm256_packs_epi32(p01, p23), _mm256_packs_epi32(p45, p67));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                        _mm256_permutevar8x32_epi32(packed, order));
  }
  mixColumnsSse2(mixed, left + x, weights + x, count - x, out + x);
}

void mixRows(const uint32_t* top, const uint32_t* bottom, int32_t count, uint32_t wy,
             uint16_t* mixed) {
  mixRowsSse2(top, bottom, count, wy, mixed);
}

void mixColumns(const uint16_t* mixed, const int32_t* left, const uint32_t* weights, int32_t count,
                uint32_t* out) {
  if (cpu::hasAvx2()) {
    mixColumnsAvx2(mixed, left, weights, count, out);
  } else {
    mixColumnsSse2(mixed, left, weights, count, out);
  }
}

#else  // processors without the x86 vector forms use the plain ones

void mixRowsSse2(const uint32_t* top, const uint32_t* bottom, int32_t count, uint32_t wy,
                 uint16_t* mixed) {
  mixRowsPlain(top, bottom, count, wy, mixed);
}
void mixColumnsSse2(const uint16_t* mixed, const int32_t* left, const uint32_t* weights,
                    int32_t count, uint32_t* out) {
  mixColumnsPlain(mixed, left, weights, count, out);
}
void mixColumnsAvx2(const uint16_t* mixed, const int32_t* left, const uint32_t* weights,
                    int32_t count, uint32_t* out) {
  mixColumnsPlain(mixed, left, weights, count, out);
}
void mixRows(const uint32_t* top, const uint32_t* bottom, int32_t count, uint32_t wy,
             uint16_t* mixed) {
  mixRowsPlain(top, bottom, count, wy, mixed);
}
void mixColumns(const uint16_t* mixed, const int32_t* left, const uint32_t* weights, int32_t count,
                uint32_t* out) {
  mixColumnsPlain(mixed, left, weights, count, out);
}

#endif

}  // namespace renderpix::rows
