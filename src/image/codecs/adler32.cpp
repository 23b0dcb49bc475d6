// Adler-32: a = 1 + the sum of the bytes, b = the sum of every a on the way,
// both modulo 65521. Over 16 bytes b grows by 16 times the a it started with
// plus the bytes weighed 16 down to 1; sums of bytes and weighed sums are
// vector operations, and the modulo is taken only every kLongestRun bytes,
// the most that keeps b within 32 bits.
#include "image/codecs/adler32.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>

namespace pngpixels {
namespace {

constexpr uint32_t kModulus = 65521;
constexpr size_t kLongestRun = 5552;  // a multiple of 16

#if defined(__SSE2__)
uint32_t horizontalSum(__m128i v) {
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(v));
}

// Whole 16-byte blocks of one run; a and b below the modulus on entry.
void addBlocks(uint32_t& a, uint32_t& b, const uint8_t* data, size_t blocks) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i weightsLow = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
  const __m128i weightsHigh = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
  __m128i sums = zero;        // the bytes so far
  __m128i sumsBefore = zero;  // sums as each block began, added up
  __m128i weighed = zero;
  for (size_t i = 0; i < blocks; ++i, data += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
    sumsBefore = _mm_add_epi32(sumsBefore, sums);
    sums = _mm_add_epi32(sums, _mm_sad_epu8(bytes, zero));
    weighed = _mm_add_epi32(
        weighed, _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(bytes, zero), weightsLow),
                               _mm_madd_epi16(_mm_unpackhi_epi8(bytes, zero), weightsHigh)));
  }
  b += 16 * static_cast<uint32_t>(blocks) * a + 16 * horizontalSum(sumsBefore) +
       horizontalSum(weighed);
  a += horizontalSum(sums);
}
#endif

}  // namespace

uint32_t adler32Update(uint32_t adler, const uint8_t* data, size_t size) {
  uint32_t a = adler & 0xFFFF, b = adler >> 16;
  while (size > 0) {
    size_t run = std::min(size, kLongestRun);
    size -= run;
#if defined(__SSE2__)
    const size_t blocks = run / 16;
    addBlocks(a, b, data, blocks);
    data += 16 * blocks;
    run -= 16 * blocks;
#endif
    for (; run > 0; --run) {
      a += *data++;
      b += a;
    }
    a %= kModulus;
    b %= kModulus;
  }
  return (b << 16) | a;
}

}  // namespace pngpixels
