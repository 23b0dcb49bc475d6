// Reversal of the five PNG row filters. Paeth, the costly one, has an SSE2 path
// for 3- and 4-byte pixels that works on all channels of a pixel at once.
#include "image/codecs/pngreconstruct.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pngpixels {
namespace {

// Paeth predictor: the neighbour closest to left + above - upper-left, ties
// going to left, then above.
inline uint8_t paeth(int left, int above, int upperLeft) {
  const int pa = std::abs(above - upperLeft);
  const int pb = std::abs(left - upperLeft);
  const int pc = std::abs(above - upperLeft + left - upperLeft);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(left);
  if (pb <= pc) return static_cast<uint8_t>(above);
  return static_cast<uint8_t>(upperLeft);
}

void unfilterSub(uint8_t* row, size_t rowBytes, size_t distance) {
  for (size_t i = distance; i < rowBytes; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - distance]);
}

void unfilterUp(uint8_t* row, const uint8_t* previous, size_t rowBytes) {
  for (size_t i = 0; i < rowBytes; ++i) row[i] = static_cast<uint8_t>(row[i] + previous[i]);
}

void unfilterAverage(uint8_t* row, const uint8_t* previous, size_t rowBytes, size_t distance) {
  const size_t head = distance < rowBytes ? distance : rowBytes;
  for (size_t i = 0; i < head; ++i) row[i] = static_cast<uint8_t>(row[i] + (previous[i] >> 1));
  for (size_t i = distance; i < rowBytes; ++i) {
    row[i] = static_cast<uint8_t>(row[i] + ((row[i - distance] + previous[i]) >> 1));
  }
}

void unfilterPaethScalar(uint8_t* row, const uint8_t* previous, size_t rowBytes, size_t distance) {
  const size_t head = distance < rowBytes ? distance : rowBytes;
  for (size_t i = 0; i < head; ++i) row[i] = static_cast<uint8_t>(row[i] + previous[i]);
  for (size_t i = distance; i < rowBytes; ++i) {
    row[i] = static_cast<uint8_t>(row[i] + paeth(row[i - distance], previous[i], previous[i - distance]));
  }
}

#if defined(__SSE2__)
// Pixels are moved through general registers: composing a 3-byte value in
// memory first would make every later load wait on a failed store forward.
template <size_t kPixelBytes>
inline __m128i loadPixel(const uint8_t* p) {
  uint32_t v;
  if constexpr (kPixelBytes == 4) {
    std::memcpy(&v, p, 4);
  } else {
    v = uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
  }
  return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(v)), _mm_setzero_si128());
}

template <size_t kPixelBytes>
inline void storePixel(uint8_t* p, __m128i v) {
  const uint32_t packed = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(v, v)));
  if constexpr (kPixelBytes == 4) {
    std::memcpy(p, &packed, 4);
  } else {
    p[0] = static_cast<uint8_t>(packed);
    p[1] = static_cast<uint8_t>(packed >> 8);
    p[2] = static_cast<uint8_t>(packed >> 16);
  }
}

inline __m128i absolute16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }

template <size_t kPixelBytes>
void unfilterPaethPixels(uint8_t* row, const uint8_t* previous, size_t rowBytes) {
  const __m128i byteMask = _mm_set1_epi16(0xFF);
  __m128i left = _mm_setzero_si128();
  __m128i upperLeft = _mm_setzero_si128();
  if (rowBytes < kPixelBytes) return;
  // The next raw pixel is loaded before the current one is stored.
  __m128i raw = loadPixel<kPixelBytes>(row);
  for (size_t i = 0; i + kPixelBytes <= rowBytes; i += kPixelBytes) {
    const __m128i above = loadPixel<kPixelBytes>(previous + i);
    const __m128i current = raw;
    if (i + 2 * kPixelBytes <= rowBytes) raw = loadPixel<kPixelBytes>(row + i + kPixelBytes);
    const __m128i towardAbove = _mm_sub_epi16(above, upperLeft);  // b - c
    const __m128i towardLeft = _mm_sub_epi16(left, upperLeft);    // a - c
    const __m128i pa = absolute16(towardAbove);
    const __m128i pb = absolute16(towardLeft);
    const __m128i pc = absolute16(_mm_add_epi16(towardAbove, towardLeft));
    const __m128i smallest = _mm_min_epi16(_mm_min_epi16(pa, pb), pc);
    // Start from upper-left, let above win where it is nearest, then left, so
    // that ties go to left, then above.
    const __m128i pickAbove = _mm_cmpeq_epi16(pb, smallest);
    const __m128i pickLeft = _mm_cmpeq_epi16(pa, smallest);
    __m128i predictor = _mm_xor_si128(upperLeft, _mm_and_si128(_mm_xor_si128(upperLeft, above), pickAbove));
    predictor = _mm_xor_si128(predictor, _mm_and_si128(_mm_xor_si128(predictor, left), pickLeft));
    const __m128i value = _mm_and_si128(_mm_add_epi16(current, predictor), byteMask);
    storePixel<kPixelBytes>(row + i, value);
    left = value;
    upperLeft = above;
  }
}
#endif

void unfilterPaeth(uint8_t* row, const uint8_t* previous, size_t rowBytes, size_t distance) {
#if defined(__SSE2__)
  if (rowBytes % distance == 0) {
    if (distance == 4) return unfilterPaethPixels<4>(row, previous, rowBytes);
    if (distance == 3) return unfilterPaethPixels<3>(row, previous, rowBytes);
  }
#endif
  unfilterPaethScalar(row, previous, rowBytes, distance);
}

}  // namespace

void unfilterRow(uint8_t filterType, uint8_t* row, const uint8_t* previous, size_t rowBytes,
                 size_t distance) {
  switch (filterType) {
    case 1: unfilterSub(row, rowBytes, distance); break;
    case 2: unfilterUp(row, previous, rowBytes); break;
    case 3: unfilterAverage(row, previous, rowBytes, distance); break;
    case 4: unfilterPaeth(row, previous, rowBytes, distance); break;
    default: break;
  }
}

}  // namespace pngpixels
