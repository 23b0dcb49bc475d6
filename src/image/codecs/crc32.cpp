// CRC-32 by folding: the message is a polynomial over GF(2), and the CRC is
// its remainder modulo the CRC polynomial P (bits reflected, as PNG and zlib
// use it). A 128-bit block followed by n more bits has the same remainder as
// the block times x^n mod P, so with carry-less products by constants
// (x^n mod P for the distances below) the running remainder is moved forward
// over 512 bits (four blocks at a time in four registers) or 128 bits, and the
// bits in between are added (XOR). The last 128 bits are reduced to 32 with
// two more folds and a Barrett reduction.
#include "image/codecs/crc32.h"
#include "image/cpu_features.h"

#include <zlib.h>

#include <climits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace pngpixels {
namespace {

// zlib's loop, in pieces its unsigned length can take.
uint32_t crc32Plain(uint32_t crc, const uint8_t* data, size_t size) {
  while (size > 0) {
    const size_t piece = size < UINT_MAX ? size : UINT_MAX;
    crc = static_cast<uint32_t>(crc32(crc, data, static_cast<uInt>(piece)));
    data += piece;
    size -= piece;
  }
  return crc;
}

#if defined(__x86_64__)

// The constants (reflected): x^(512+64) and x^512 mod P for four-block folds,
// x^(128+64) and x^128 mod P for one-block folds, x^64 mod P for the last
// 64 bits, then P itself and floor(x^64 / P) for the Barrett reduction.
constexpr long long kFourBlocksLow = 0x154442bd4, kFourBlocksHigh = 0x1c6e41596;
constexpr long long kOneBlockLow = 0x1751997d0, kOneBlockHigh = 0x0ccaa009e;
constexpr long long kLast64 = 0x163cd6124;
constexpr long long kPolynomial = 0x1db710641, kBarrett = 0x1f7011641;

// `block` moved forward by the distance of `constants`, plus `next`.
__attribute__((target("pclmul,sse2"))) inline __m128i fold(__m128i block, __m128i constants,
                                                           __m128i next) {
  const __m128i low = _mm_clmulepi64_si128(block, constants, 0x00);
  const __m128i high = _mm_clmulepi64_si128(block, constants, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

inline __m128i load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// `blocks` 16-byte blocks, at least four; `crc` as zlib keeps it (inverted).
__attribute__((target("pclmul,sse2"))) uint32_t crc32Folded(uint32_t crc, const uint8_t* data,
                                                            size_t blocks) {
  __m128i x0 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(~crc)));
  __m128i x1 = load(data + 16), x2 = load(data + 32), x3 = load(data + 48);
  data += 64;
  blocks -= 4;
  const __m128i fourBlocks = _mm_set_epi64x(kFourBlocksHigh, kFourBlocksLow);
  for (; blocks >= 4; blocks -= 4, data += 64) {
    x0 = fold(x0, fourBlocks, load(data));
    x1 = fold(x1, fourBlocks, load(data + 16));
    x2 = fold(x2, fourBlocks, load(data + 32));
    x3 = fold(x3, fourBlocks, load(data + 48));
  }
  const __m128i oneBlock = _mm_set_epi64x(kOneBlockHigh, kOneBlockLow);
  x0 = fold(x0, oneBlock, x1);
  x0 = fold(x0, oneBlock, x2);
  x0 = fold(x0, oneBlock, x3);
  for (; blocks > 0; --blocks, data += 16) x0 = fold(x0, oneBlock, load(data));

  // 128 bits to 64 (with the 32 zero bits a CRC appends), then to 32.
  const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);
  x0 = _mm_xor_si128(_mm_clmulepi64_si128(x0, oneBlock, 0x10), _mm_srli_si128(x0, 8));
  x0 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x0, low32), _mm_cvtsi64_si128(kLast64), 0),
                     _mm_srli_si128(x0, 4));
  // Barrett: the quotient by P from floor(x^64 / P), then the remainder.
  const __m128i barrett = _mm_set_epi64x(kBarrett, kPolynomial);
  __m128i quotient = _mm_clmulepi64_si128(_mm_and_si128(x0, low32), barrett, 0x10);
  quotient = _mm_clmulepi64_si128(_mm_and_si128(quotient, low32), barrett, 0x00);
  x0 = _mm_xor_si128(x0, quotient);
  return ~static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x0, 4)));
}

#endif

}  // namespace

uint32_t crc32Update(uint32_t crc, const uint8_t* data, size_t size) {
#if defined(__x86_64__)
  if (size >= 64 && cpu::hasCarryLessMultiply()) {
    const size_t blocks = size / 16;
    crc = crc32Folded(crc, data, blocks);
    data += 16 * blocks;
    size -= 16 * blocks;
  }
#endif
  return crc32Plain(crc, data, size);
}

}  // namespace pngpixels
