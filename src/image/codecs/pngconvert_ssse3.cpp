// One shuffle puts the twelve bytes of four RGB pixels in B, G, R order with
// a zero byte after each pixel; an OR makes the pixels opaque.
#include "image/codecs/pngconvert_ssse3.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace pngpixels {

__attribute__((target("ssse3"))) size_t convertRgb8Ssse3(const uint8_t* src, uint32_t* dst,
                                                         size_t count) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
  const __m128i opaque = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
  size_t i = 0;
  // Four pixels use 12 of the 16 bytes loaded: the last group may need to be
  // left to the caller.
  for (; 3 * i + 16 <= 3 * count; i += 4) {
    const __m128i rgb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                     _mm_or_si128(_mm_shuffle_epi8(rgb, order), opaque));
  }
  return i;
}

}  // namespace pngpixels

#else

namespace pngpixels {

size_t convertRgb8Ssse3(const uint8_t*, uint32_t*, size_t) { return 0; }

}  // namespace pngpixels

#endif
