#include "image/render_pixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "image/c32bppdib.h"
#include "image/codecs/modparsers.h"

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
#endif

namespace renderpix {

namespace {

// The destination rectangle clipped to a width x height area, with the offset
// into the source block that the clipping implies.
struct Clip {
  int32_t destX = 0, destY = 0, srcX = 0, srcY = 0, width = 0, height = 0;
};

bool clipTo(const PixelBlock& source, int32_t destX, int32_t destY, int32_t areaWidth,
            int32_t areaHeight, Clip& clip) {
  const int64_t left = std::max<int64_t>(destX, 0);
  const int64_t top = std::max<int64_t>(destY, 0);
  const int64_t right = std::min<int64_t>(int64_t{destX} + source.width, areaWidth);
  const int64_t bottom = std::min<int64_t>(int64_t{destY} + source.height, areaHeight);
  if (right <= left || bottom <= top) return false;
  clip.destX = static_cast<int32_t>(left);
  clip.destY = static_cast<int32_t>(top);
  clip.srcX = static_cast<int32_t>(left - destX);
  clip.srcY = static_cast<int32_t>(top - destY);
  clip.width = static_cast<int32_t>(right - left);
  clip.height = static_cast<int32_t>(bottom - top);
  return true;
}

uint32_t withGray(uint32_t pixel, int32_t grayscaleCode) {
  if (grayscaleCode == -1) return pixel;
  const uint32_t g = GrayValue(pixel, grayscaleCode);
  return (pixel & 0xFF000000u) | g | (g << 8) | (g << 16);
}

// dst x (255 - A x O / 255) + src x O, over 255: the blending rule for one channel.
inline uint32_t blendChannel(uint32_t dst, uint32_t src, uint32_t keep, uint32_t opacity) {
  return (dst * keep + src * opacity) / 255u;
}

// floor(x / 255) for x in 0 .. 65279, the largest value the blending rule
// reaches with colours no larger than their alpha.
constexpr uint32_t div255(uint32_t x) { return (x + 1 + (x >> 8)) >> 8; }

// One pixel by the rule, alpha included. Colour channels are first limited to
// the pixel's alpha (a no-op for valid premultiplied pixels), which keeps every
// intermediate value below 65536.
inline uint32_t blendPixel(uint32_t d, uint32_t s, uint32_t opacity) {
  const uint32_t a = s >> 24;
  const uint32_t keep = 255u - div255(a * opacity);
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t src = std::min((s >> shift) & 0xFF, a);
    out |= div255(((d >> shift) & 0xFF) * keep + src * opacity) << shift;
  }
  return out;
}

// Blends one row into premultiplied pixels, alpha included, several pixels at
// a time in 16-bit lanes. The rule needs no special cases: alpha 0 leaves the
// destination as it is, alpha and opacity 255 give the source exactly. Whole
// groups that are invisible, or opaque at full opacity, skip the arithmetic.
// The 256-bit form unpacks and packs within 128-bit halves, which keeps the
// pixel order the same as the 128-bit form.
#if defined(__x86_64__) || defined(__SSE2__)
// div255 in 16-bit lanes.
__attribute__((target("avx2"))) inline __m256i divide255Wide(__m256i v) {
  const __m256i one16 = _mm256_set1_epi16(1);
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(v, one16), _mm256_srli_epi16(v, 8)),
                           8);
}

__attribute__((target("avx2"))) int32_t blendRowWide(uint32_t* dst, const uint32_t* src,
                                                     int32_t count, uint32_t opacity) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i opacity16 = _mm256_set1_epi16(static_cast<int16_t>(opacity));
  const __m256i opacity32 = _mm256_set1_epi32(static_cast<int32_t>(opacity));
  const __m256i all255 = _mm256_set1_epi32(255);
  const __m256i allOnes = _mm256_set1_epi32(-1);
  int32_t x = 0;
  for (; x + 8 <= count; x += 8) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + x));
    const __m256i a32 = _mm256_srli_epi32(s, 24);
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(a32, zero)) == -1) continue;
    if (opacity == 255 &&
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_srai_epi32(s, 24), allOnes)) == -1) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), s);
      continue;
    }
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + x));
    const __m256i aBytes =
        _mm256_or_si256(_mm256_or_si256(a32, _mm256_slli_epi32(a32, 8)),
                        _mm256_or_si256(_mm256_slli_epi32(a32, 16), _mm256_slli_epi32(a32, 24)));
    s = _mm256_min_epu8(s, aBytes);
    if (opacity == 255) {
      // At full opacity the rule is src + dst (255 - A) / 255: one product a channel.
      const __m256i keep16 = _mm256_sub_epi16(_mm256_set1_epi16(255),
                                              _mm256_or_si256(a32, _mm256_slli_epi32(a32, 16)));
      const __m256i keepLo = _mm256_unpacklo_epi32(keep16, keep16);
      const __m256i keepHi = _mm256_unpackhi_epi32(keep16, keep16);
      const __m256i lo = divide255Wide(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), keepLo));
      const __m256i hi = divide255Wide(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), keepHi));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x),
                          _mm256_add_epi8(s, _mm256_packus_epi16(lo, hi)));
      continue;
    }
    const __m256i keep32 =
        _mm256_sub_epi32(all255, divide255Wide(_mm256_mullo_epi16(a32, opacity32)));
    const __m256i keep16 = _mm256_or_si256(keep32, _mm256_slli_epi32(keep32, 16));
    const __m256i keepLo = _mm256_unpacklo_epi32(keep16, keep16);
    const __m256i keepHi = _mm256_unpackhi_epi32(keep16, keep16);
    const __m256i lo = divide255Wide(
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), keepLo),
                         _mm256_mullo_epi16(_mm256_unpacklo_epi8(s, zero), opacity16)));
    const __m256i hi = divide255Wide(
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), keepHi),
                         _mm256_mullo_epi16(_mm256_unpackhi_epi8(s, zero), opacity16)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), _mm256_packus_epi16(lo, hi));
  }
  return x;
}

bool hasAvx2() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
}
#endif

void blendRow(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t opacity) {
  int32_t x = 0;
#if defined(__x86_64__) || defined(__SSE2__)
  if (hasAvx2()) x = blendRowWide(dst, src, count, opacity);
#endif
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i opacity16 = _mm_set1_epi16(static_cast<int16_t>(opacity));
  const __m128i opacity32 = _mm_set1_epi32(static_cast<int32_t>(opacity));
  const __m128i one16 = _mm_set1_epi16(1);
  const __m128i all255 = _mm_set1_epi32(255);
  const __m128i allOnes = _mm_set1_epi32(-1);
  const auto divide = [&](__m128i v) {  // div255 in 16-bit lanes
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(v, one16), _mm_srli_epi16(v, 8)), 8);
  };
  for (; x + 4 <= count; x += 4) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
    const __m128i a32 = _mm_srli_epi32(s, 24);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(a32, zero)) == 0xFFFF) continue;
    if (opacity == 255 &&
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_srai_epi32(s, 24), allOnes)) == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), s);
      continue;
    }
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + x));
    const __m128i aBytes =
        _mm_or_si128(_mm_or_si128(a32, _mm_slli_epi32(a32, 8)),
                     _mm_or_si128(_mm_slli_epi32(a32, 16), _mm_slli_epi32(a32, 24)));
    s = _mm_min_epu8(s, aBytes);
    // keep = 255 - a O / 255, one per pixel, spread over the pixel's four lanes.
    const __m128i keep32 = _mm_sub_epi32(all255, divide(_mm_mullo_epi16(a32, opacity32)));
    const __m128i keep16 = _mm_or_si128(keep32, _mm_slli_epi32(keep32, 16));
    const __m128i keepLo = _mm_unpacklo_epi32(keep16, keep16);
    const __m128i keepHi = _mm_unpackhi_epi32(keep16, keep16);
    const __m128i lo =
        divide(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), keepLo),
                             _mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), opacity16)));
    const __m128i hi =
        divide(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), keepHi),
                             _mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), opacity16)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; x < count; ++x) dst[x] = blendPixel(dst[x], src[x], opacity);
}

// Two channels of a pixel (bits 0-7 and 16-23) weighed horizontally by wx/256:
// each result stays below 65536, so the two halves never meet.
inline uint32_t mixPair(uint32_t left, uint32_t right, uint32_t wx) {
  return (left & 0x00FF00FFu) * (256 - wx) + (right & 0x00FF00FFu) * wx;
}

// Two such horizontal mixes weighed vertically by wy/256 and rounded: the
// products need 24 bits, so the pair is spread over the two halves of 64 bits.
inline uint32_t mixRows(uint32_t top, uint32_t bottom, uint32_t wy) {
  const auto spread = [](uint32_t v) { return (v & 0xFFFFu) | (uint64_t{v >> 16} << 32); };
  const uint64_t v = (spread(top) * (256 - wy) + spread(bottom) * wy + 0x0000800000008000ull) >> 16;
  return static_cast<uint32_t>(v & 0xFF) | static_cast<uint32_t>((v >> 16) & 0xFF0000u);
}

// The 2 x 2 neighbourhood weighed by (1 - fx)(1 - fy), fx(1 - fy), (1 - fx)fy
// and fx fy, with fx = wx / 256 and fy = wy / 256, all four channels alike.
inline uint32_t bilinearPixel(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, uint32_t wx,
                              uint32_t wy) {
  const uint32_t blueRed = mixRows(mixPair(p00, p10, wx), mixPair(p01, p11, wx), wy);
  const uint32_t greenAlpha =
      mixRows(mixPair(p00 >> 8, p10 >> 8, wx), mixPair(p01 >> 8, p11 >> 8, wx), wy);
  return blueRed | (greenAlpha << 8);
}

}  // namespace

bool PixelBlock::allocate(int32_t w, int32_t h) {
  if (w <= 0 || h <= 0) return false;
  if (static_cast<int64_t>(w) * h > std::numeric_limits<int32_t>::max() / 4) return false;
  width = w;
  height = h;
  pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  return true;
}

PixelBlock MirrorCopy(const c32bppDIB& image, int32_t srcX, int32_t srcY, int32_t srcWidth,
                      int32_t srcHeight, bool reverseColumns, bool reverseRows) {
  PixelBlock block;
  if (!image.BitsPointer() || srcX < 0 || srcY < 0 || int64_t{srcX} + srcWidth > image.Width() ||
      int64_t{srcY} + srcHeight > image.Height() || !block.allocate(srcWidth, srcHeight)) {
    return {};
  }
  const uint8_t* bits = image.BitsPointer();
  for (int32_t y = 0; y < srcHeight; ++y) {
    const int32_t outY = reverseRows ? srcHeight - 1 - y : y;
    const uint8_t* row = bits + image.pixelOffset(srcX, srcY + y);
    uint32_t* out = &block.at(0, outY);
    if (!reverseColumns) {
      std::memcpy(out, row, static_cast<size_t>(srcWidth) * 4);
    } else {
      for (int32_t x = 0; x < srcWidth; ++x) {
        std::memcpy(&out[srcWidth - 1 - x], row + static_cast<size_t>(x) * 4, 4);
      }
    }
  }
  return block;
}

bool Resample(const PixelBlock& source, int32_t width, int32_t height, bool bilinear,
              PixelBlock& out) {
  if (source.empty() || !out.allocate(width, height)) return false;
  const double xRatio = static_cast<double>(source.width) / width;
  const double yRatio = static_cast<double>(source.height) / height;

  // Per destination column: the left source column, its right neighbour and the
  // weight of the right one in 1/256 steps, computed once for all rows.
  std::vector<int32_t> col0(static_cast<size_t>(width)), col1(static_cast<size_t>(width));
  std::vector<uint32_t> weightX(static_cast<size_t>(width));
  for (int32_t x = 0; x < width; ++x) {
    const double sx = x * xRatio;
    const auto ix = std::min(static_cast<int32_t>(sx), source.width - 1);
    col0[x] = ix;
    col1[x] = std::min(ix + 1, source.width - 1);
    weightX[x] = static_cast<uint32_t>(std::lround((sx - ix) * 256));
  }
  for (int32_t y = 0; y < height; ++y) {
    const double sy = y * yRatio;
    const auto iy = std::min(static_cast<int32_t>(sy), source.height - 1);
    uint32_t* dst = &out.at(0, y);
    const uint32_t* row0 = &source.pixels[static_cast<size_t>(iy) * source.width];
    if (!bilinear) {
      for (int32_t x = 0; x < width; ++x) dst[x] = row0[col0[x]];
      continue;
    }
    const int32_t iy1 = std::min(iy + 1, source.height - 1);
    const uint32_t* row1 = &source.pixels[static_cast<size_t>(iy1) * source.width];
    const auto wy = static_cast<uint32_t>(std::lround((sy - iy) * 256));
    for (int32_t x = 0; x < width; ++x) {
      dst[x] =
          bilinearPixel(row0[col0[x]], row0[col1[x]], row1[col0[x]], row1[col1[x]], weightX[x], wy);
    }
  }
  return true;
}

void ApplyLightness(PixelBlock& block, float percent) {
  if (percent == 0 || percent < -100 || percent > 100) return;
  const double d = static_cast<double>(percent) / 100.0 * 255.0;
  for (uint32_t& pixel : block.pixels) {
    const int32_t alpha = static_cast<int32_t>(alphaOf(pixel));
    if (alpha == 0) continue;
    const auto delta = static_cast<int32_t>(std::lround(d * alpha)) / 255;
    uint32_t result = pixel & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
      int32_t channel = static_cast<int32_t>((pixel >> shift) & 0xFF) + delta;
      channel = percent > 0 ? std::min(channel, alpha) : std::max(channel, 0);
      result |= static_cast<uint32_t>(channel) << shift;
    }
    pixel = result;
  }
}

uint8_t GrayValue(uint32_t pixel, int32_t grayscaleCode) {
  const modParsers::GrayWeights w = modParsers::GrayscaleWeights(grayscaleCode);
  const double gray = ((pixel >> 16) & 0xFF) * static_cast<double>(w.red) +
                      ((pixel >> 8) & 0xFF) * static_cast<double>(w.green) +
                      (pixel & 0xFF) * static_cast<double>(w.blue);
  return static_cast<uint8_t>(std::min<long>(std::lround(gray), 255));
}

void BlendIntoImage(const PixelBlock& source, c32bppDIB& target, int32_t destX, int32_t destY,
                    uint32_t opacity, int32_t grayscaleCode) {
  Clip clip;
  if (!target.BitsPointer() || opacity == 0 ||
      !clipTo(source, destX, destY, target.Width(), target.Height(), clip)) {
    return;
  }
  uint8_t* bits = target.BitsPointer();
  std::vector<uint32_t> grayRow;
  if (grayscaleCode != -1) grayRow.resize(static_cast<size_t>(clip.width));
  for (int32_t y = 0; y < clip.height; ++y) {
    const uint32_t* src =
        source.pixels.data() + static_cast<size_t>(clip.srcY + y) * source.width + clip.srcX;
    if (grayscaleCode != -1) {
      for (int32_t x = 0; x < clip.width; ++x) grayRow[x] = withGray(src[x], grayscaleCode);
      src = grayRow.data();
    }
    auto* dst = reinterpret_cast<uint32_t*>(bits + target.pixelOffset(clip.destX, clip.destY + y));
    blendRow(dst, src, clip.width, opacity);
  }
}

void BlendOntoSurface(const PixelBlock& source, QImage& surface, int32_t destX, int32_t destY,
                      uint32_t opacity, int32_t grayscaleCode) {
  Clip clip;
  if (surface.isNull() || opacity == 0 ||
      !clipTo(source, destX, destY, surface.width(), surface.height(), clip)) {
    return;
  }
  // The destination rectangle as 24-bit B,G,R rows padded to 4 bytes.
  const size_t stride = static_cast<size_t>(modParsers::RowSize(clip.width, 24));
  std::vector<uint8_t> buffer(stride * static_cast<size_t>(clip.height));
  // 32-bit surfaces with straight (or no) alpha hold B, G, R, A in memory and
  // are read and written directly; other formats go through QImage's accessors.
  const bool direct =
      surface.format() == QImage::Format_RGB32 || surface.format() == QImage::Format_ARGB32;
  for (int32_t y = 0; y < clip.height; ++y) {
    uint8_t* out = buffer.data() + stride * static_cast<size_t>(y);
    if (direct) {
      const uchar* in = surface.constScanLine(clip.destY + y) + static_cast<size_t>(clip.destX) * 4;
      for (int32_t x = 0; x < clip.width; ++x) std::memcpy(out + x * 3, in + x * 4, 3);
      continue;
    }
    for (int32_t x = 0; x < clip.width; ++x) {
      const QRgb c = surface.pixel(clip.destX + x, clip.destY + y);
      out[x * 3] = static_cast<uint8_t>(qBlue(c));
      out[x * 3 + 1] = static_cast<uint8_t>(qGreen(c));
      out[x * 3 + 2] = static_cast<uint8_t>(qRed(c));
    }
  }
  for (int32_t y = 0; y < clip.height; ++y) {
    const uint32_t* src =
        source.pixels.data() + static_cast<size_t>(clip.srcY + y) * source.width + clip.srcX;
    uint8_t* dst = buffer.data() + stride * static_cast<size_t>(y);
    for (int32_t x = 0; x < clip.width; ++x, dst += 3) {
      const uint32_t s = withGray(src[x], grayscaleCode);
      const uint32_t a = alphaOf(s);
      if (a == 0) continue;
      if (a == 255 && opacity == 255) {
        dst[0] = static_cast<uint8_t>(s);
        dst[1] = static_cast<uint8_t>(s >> 8);
        dst[2] = static_cast<uint8_t>(s >> 16);
        continue;
      }
      const uint32_t keep = 255u - a * opacity / 255u;
      for (int c = 0; c < 3; ++c) {
        dst[c] = static_cast<uint8_t>(blendChannel(dst[c], (s >> (8 * c)) & 0xFF, keep, opacity));
      }
    }
  }
  for (int32_t y = 0; y < clip.height; ++y) {
    const uint8_t* in = buffer.data() + stride * static_cast<size_t>(y);
    if (direct) {
      uchar* line = surface.scanLine(clip.destY + y) + static_cast<size_t>(clip.destX) * 4;
      for (int32_t x = 0; x < clip.width; ++x) {
        std::memcpy(line + x * 4, in + x * 3, 3);
        line[x * 4 + 3] = 255;
      }
      continue;
    }
    for (int32_t x = 0; x < clip.width; ++x) {
      surface.setPixel(clip.destX + x, clip.destY + y,
                       qRgb(in[x * 3 + 2], in[x * 3 + 1], in[x * 3]));
    }
  }
}

}  // namespace renderpix
