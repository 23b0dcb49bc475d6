// The pixel blocks of the own drawing path: the mirror copy, the lightness
// adjustment and the grayscale value.
#include "image/render_pixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "image/c32bppdib.h"
#include "image/codecs/modparsers.h"

namespace renderpix {

bool PixelBlock::allocate(int32_t w, int32_t h, RowOrder rowOrder) {
  if (w <= 0 || h <= 0) return false;
  if (static_cast<int64_t>(w) * h > std::numeric_limits<int32_t>::max() / 4) return false;
  width = w;
  height = h;
  order = rowOrder;
  pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  return true;
}

PixelBlock MirrorCopy(const c32bppDIB& image, int32_t srcX, int32_t srcY, int32_t srcWidth,
                      int32_t srcHeight, bool reverseColumns, bool reverseRows, RowOrder order) {
  PixelBlock block;
  if (!image.BitsPointer() || srcX < 0 || srcY < 0 || int64_t{srcX} + srcWidth > image.Width() ||
      int64_t{srcY} + srcHeight > image.Height() || !block.allocate(srcWidth, srcHeight, order)) {
    return {};
  }
  const uint8_t* bits = image.BitsPointer();
  for (int32_t y = 0; y < srcHeight; ++y) {
    const int32_t outY = reverseRows ? srcHeight - 1 - y : y;
    const uint8_t* row = bits + image.pixelOffset(srcX, srcY + y);
    uint32_t* out = block.row(outY);
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

}  // namespace renderpix
