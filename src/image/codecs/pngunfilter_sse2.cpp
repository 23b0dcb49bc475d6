// SSE2 loops of the PNG row filters. Sub works on 16 bytes at a time as a
// prefix sum; Average and Paeth depend on the pixel just made, so they go
// pixel by pixel with all channels of a pixel in one register and the left
// pixel never leaving it (a byte loop would wait on the store of the byte it
// just wrote). Up is a plain vector add.
#include "image/codecs/pngunfilter_sse2.h"

#if defined(__SSE2__) && defined(__x86_64__)
#include "image/codecs/pngpaeth_vector.h"

#include <cstring>

namespace pngpixels {
namespace {

// Stores the low bytes of the lanes; every lane holds a byte value.
template <size_t kPixelBytes>
inline void storePixel(uint8_t* p, __m128i v) {
  const uint64_t packed = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(v, v)));
  std::memcpy(p, &packed, kPixelBytes);
}

// The bytes the vector loop left over, as the plain loop would do them.
void subTail(uint8_t* row, size_t from, size_t rowBytes, size_t distance) {
  for (size_t i = from < distance ? distance : from; i < rowBytes; ++i) {
    row[i] = static_cast<uint8_t>(row[i] + row[i - distance]);
  }
}

// x plus x shifted by 1, 2, 4 ... pixels: every pixel becomes the sum of itself
// and all pixels before it in the register.
template <size_t kShift>
inline __m128i prefixSum(__m128i x) {
  if constexpr (kShift >= 16) {
    return x;
  } else {
    return prefixSum<kShift * 2>(_mm_add_epi8(x, _mm_slli_si128(x, kShift)));
  }
}

// Sub for 1-, 2-, 4- and 8-byte pixels, 16 bytes a round.
template <size_t kPixelBytes>
void unfilterSubBlocks(uint8_t* row, size_t rowBytes) {
  __m128i carry = _mm_setzero_si128();  // the pixel left of the block, in the first lanes
  size_t i = 0;
  for (; i + 16 <= rowBytes; i += 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    x = prefixSum<kPixelBytes>(_mm_add_epi8(x, carry));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), x);
    carry = _mm_srli_si128(x, 16 - kPixelBytes);
  }
  subTail(row, i, rowBytes, kPixelBytes);
}

void unfilterSub3(uint8_t* row, size_t rowBytes) {
  const __m128i firstPixel = _mm_cvtsi32_si128(0x00FFFFFF);
  __m128i carry = _mm_setzero_si128();  // the pixel left of the block, in bytes 0 to 2
  size_t i = 0;
  // Four pixels (12 bytes) a round; the 16-byte load stays inside the row.
  for (; i + 16 <= rowBytes; i += 12) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    x = _mm_add_epi8(x, carry);
    x = _mm_add_epi8(x, _mm_slli_si128(x, 3));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 6));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row + i), x);
    const uint32_t high = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x, 8)));
    std::memcpy(row + i + 8, &high, 4);
    carry = _mm_and_si128(_mm_srli_si128(x, 9), firstPixel);
  }
  subTail(row, i, rowBytes, 3);
}

void unfilterUp(uint8_t* row, const uint8_t* previous, size_t rowBytes) {
  size_t i = 0;
  for (; i + 16 <= rowBytes; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    const __m128i above = _mm_loadu_si128(reinterpret_cast<const __m128i*>(previous + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_add_epi8(x, above));
  }
  for (; i < rowBytes; ++i) row[i] = static_cast<uint8_t>(row[i] + previous[i]);
}

// Sums of lanes below 256 are taken with 8-bit adds: each low byte wraps as
// the filter wants, and the high bytes (0 + 0) stay 0.
template <size_t kPixelBytes>
void unfilterAveragePixels(uint8_t* row, const uint8_t* previous, size_t rowBytes) {
  __m128i left = _mm_setzero_si128();
  for (size_t i = 0; i + kPixelBytes <= rowBytes; i += kPixelBytes) {
    const __m128i above = loadPixel<kPixelBytes>(previous + i);
    const __m128i raw = loadPixel<kPixelBytes>(row + i);
    left = _mm_add_epi8(raw, _mm_srli_epi16(_mm_add_epi16(left, above), 1));
    storePixel<kPixelBytes>(row + i, left);
  }
}

template <size_t kPixelBytes>
void unfilterPaethPixels(uint8_t* row, const uint8_t* previous, size_t rowBytes) {
  __m128i a = _mm_setzero_si128();
  __m128i c = _mm_setzero_si128();
  for (size_t i = 0; i + kPixelBytes <= rowBytes; i += kPixelBytes) {
    const __m128i b = loadPixel<kPixelBytes>(previous + i);
    a = paethStep(loadPixel<kPixelBytes>(row + i), a, b, c);
    storePixel<kPixelBytes>(row + i, a);
    c = b;
  }
}

template <size_t kPixelBytes>
bool unfilterPixels(uint8_t filterType, uint8_t* row, const uint8_t* previous, size_t rowBytes) {
  switch (filterType) {
    case 1:
      if constexpr (kPixelBytes == 3) {
        unfilterSub3(row, rowBytes);
      } else if constexpr (kPixelBytes == 6) {
        return false;  // 16-bit RGB: rare enough for the plain loop
      } else {
        unfilterSubBlocks<kPixelBytes>(row, rowBytes);
      }
      return true;
    case 3:
      unfilterAveragePixels<kPixelBytes>(row, previous, rowBytes);
      return true;
    case 4:
      unfilterPaethPixels<kPixelBytes>(row, previous, rowBytes);
      return true;
    default:
      return false;
  }
}

}  // namespace

bool unfilterPaethPairSse2(uint8_t* upper, uint8_t* lower, const uint8_t* previous, size_t rowBytes,
                           size_t distance) {
  return unfilterPaethPairRows(upper, lower, previous, rowBytes, distance);
}

bool unfilterRowSse2(uint8_t filterType, uint8_t* row, const uint8_t* previous, size_t rowBytes,
                     size_t distance) {
  if (filterType == 2) {
    unfilterUp(row, previous, rowBytes);
    return true;
  }
  // Pixels of 1 and 2 bytes (grey, grey with alpha, sub-byte rows) gain
  // nothing from a register per pixel, as measured: the plain loops keep them.
  // Rows of whole pixels only.
  if (distance < 3 || rowBytes % distance != 0) return false;
  switch (distance) {
    case 3:
      return unfilterPixels<3>(filterType, row, previous, rowBytes);
    case 4:
      return unfilterPixels<4>(filterType, row, previous, rowBytes);
    case 6:
      return unfilterPixels<6>(filterType, row, previous, rowBytes);
    case 8:
      return unfilterPixels<8>(filterType, row, previous, rowBytes);
    default:
      return false;
  }
}

}  // namespace pngpixels

#else

namespace pngpixels {

bool unfilterRowSse2(uint8_t, uint8_t*, const uint8_t*, size_t, size_t) { return false; }
bool unfilterPaethPairSse2(uint8_t*, uint8_t*, const uint8_t*, size_t, size_t) { return false; }

}  // namespace pngpixels

#endif
