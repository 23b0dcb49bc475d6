// Adler-32: a = 1 + the sum of the bytes, b = the sum of every a on the way,
// both modulo 65521. Over 16 bytes b grows by 16 times the a it started with
// plus the bytes weighed 16 down to 1; sums of bytes and weighed sums are
// vector operations (32 bytes a step where the processor has AVX2), and the
// modulo is taken only every kLongestRun bytes, the most that keeps b within
// 32 bits.
#include "image/codecs/adler32.h"

#include "image/cpu_features.h"

#if defined(__SSE2__)
#include <immintrin.h>
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

#if defined(__x86_64__)
// The same over 32-byte blocks, where the processor has AVX2: the weighed sum
// as byte products added in pairs, then in fours.
__attribute__((target("avx2"))) void addBlocksAvx2(uint32_t& a, uint32_t& b, const uint8_t* data,
                                                   size_t blocks) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i weights =
      _mm256_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14,
                       13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
  const __m256i ones = _mm256_set1_epi16(1);
  __m256i sums = zero, sumsBefore = zero, weighed = zero;
  for (size_t i = 0; i < blocks; ++i, data += 32) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
    sumsBefore = _mm256_add_epi32(sumsBefore, sums);
    sums = _mm256_add_epi32(sums, _mm256_sad_epu8(bytes, zero));
    weighed =
        _mm256_add_epi32(weighed, _mm256_madd_epi16(_mm256_maddubs_epi16(bytes, weights), ones));
  }
  // Each as two 128-bit halves added.
  const __m128i sumsHalves =
      _mm_add_epi32(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
  const __m128i beforeHalves =
      _mm_add_epi32(_mm256_castsi256_si128(sumsBefore), _mm256_extracti128_si256(sumsBefore, 1));
  const __m128i weighedHalves =
      _mm_add_epi32(_mm256_castsi256_si128(weighed), _mm256_extracti128_si256(weighed, 1));
  b += 32 * static_cast<uint32_t>(blocks) * a + 32 * horizontalSum(beforeHalves) +
       horizontalSum(weighedHalves);
  a += horizontalSum(sumsHalves);
}
#endif
#endif

}  // namespace

uint32_t adler32Update(uint32_t adler, const uint8_t* data, size_t size) {
  uint32_t a = adler & 0xFFFF, b = adler >> 16;
  while (size > 0) {
    size_t run = std::min(size, kLongestRun);
    size -= run;
#if defined(__x86_64__)
    if (cpu::hasAvx2()) {
      const size_t wideBlocks = run / 32;
      addBlocksAvx2(a, b, data, wideBlocks);
      data += 32 * wideBlocks;
      run -= 32 * wideBlocks;
    }
#endif
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
