// Premultiplication in 16-bit lanes: every channel times its alpha (the alpha
// itself times 255, which keeps it), then the exact floor(v / 255) as
// (v + 1 + (v >> 8)) >> 8, the engine's one rule; alpha 0 gives zeros and
// alpha 255 the colours unchanged without a branch. Red and blue change
// places in the same pass.
#include "image/codecs/pngconvert_sse2.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace pngpixels {
namespace {

// Two pixels of 16-bit R, G, B, A lanes to premultiplied B, G, R, A lanes.
inline __m128i premultiplyTwo(__m128i rgba) {
  const __m128i colourLanes = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
  const __m128i alphaLaneFactor = _mm_set_epi16(255, 0, 0, 0, 255, 0, 0, 0);
  const __m128i one = _mm_set1_epi16(1);
  __m128i alpha = _mm_shufflelo_epi16(rgba, _MM_SHUFFLE(3, 3, 3, 3));
  alpha = _mm_shufflehi_epi16(alpha, _MM_SHUFFLE(3, 3, 3, 3));
  const __m128i factor = _mm_or_si128(_mm_and_si128(alpha, colourLanes), alphaLaneFactor);
  const __m128i product = _mm_mullo_epi16(rgba, factor);
  const __m128i scaled =
      _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(product, one), _mm_srli_epi16(product, 8)), 8);
  const __m128i swapped = _mm_shufflelo_epi16(scaled, _MM_SHUFFLE(3, 0, 1, 2));
  return _mm_shufflehi_epi16(swapped, _MM_SHUFFLE(3, 0, 1, 2));
}

}  // namespace

size_t convertRgba8Sse2(const uint8_t* src, uint32_t* dst, size_t count) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i alphaBytes = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
  const __m128i greenAndAlpha = _mm_set1_epi32(static_cast<int32_t>(0xFF00FF00u));
  const __m128i lowByte = _mm_set1_epi32(0xFF);
  size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i));
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(pixels, alphaBytes), alphaBytes)) ==
        0xFFFF) {
      // Four opaque pixels, common in photographs: the colours only change places.
      const __m128i red = _mm_and_si128(pixels, lowByte);
      const __m128i blue = _mm_and_si128(_mm_srli_epi32(pixels, 16), lowByte);
      const __m128i swapped = _mm_or_si128(_mm_and_si128(pixels, greenAndAlpha),
                                           _mm_or_si128(_mm_slli_epi32(red, 16), blue));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), swapped);
      continue;
    }
    const __m128i low = premultiplyTwo(_mm_unpacklo_epi8(pixels, zero));
    const __m128i high = premultiplyTwo(_mm_unpackhi_epi8(pixels, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(low, high));
  }
  return i;
}

size_t convertGrey8Sse2(const uint8_t* src, uint32_t* dst, size_t count) {
  const __m128i opaque = _mm_set1_epi8(static_cast<char>(0xFF));
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i grey = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    // g g pairs and g FF pairs, interleaved: g g g FF per pixel.
    const __m128i pairsLow = _mm_unpacklo_epi8(grey, grey),
                  pairsHigh = _mm_unpackhi_epi8(grey, grey);
    const __m128i alphaLow = _mm_unpacklo_epi8(grey, opaque),
                  alphaHigh = _mm_unpackhi_epi8(grey, opaque);
    auto* out = reinterpret_cast<__m128i*>(dst + i);
    _mm_storeu_si128(out, _mm_unpacklo_epi16(pairsLow, alphaLow));
    _mm_storeu_si128(out + 1, _mm_unpackhi_epi16(pairsLow, alphaLow));
    _mm_storeu_si128(out + 2, _mm_unpacklo_epi16(pairsHigh, alphaHigh));
    _mm_storeu_si128(out + 3, _mm_unpackhi_epi16(pairsHigh, alphaHigh));
  }
  return i;
}

}  // namespace pngpixels

#else

namespace pngpixels {

size_t convertRgba8Sse2(const uint8_t*, uint32_t*, size_t) { return 0; }
size_t convertGrey8Sse2(const uint8_t*, uint32_t*, size_t) { return 0; }

}  // namespace pngpixels

#endif
