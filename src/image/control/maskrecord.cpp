#include "image/control/maskrecord.h"

#include "image/codecs/modparsers.h"

#include <algorithm>
#include <span>

namespace {

// A colour number as the stored pixel word: B, G, R, A in memory.
uint32_t opaquePixel(uint32_t color) {
  return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF) | 0xFF000000u;
}

std::span<uint32_t> pixelsOf(c32bppDIB& image) {
  return {reinterpret_cast<uint32_t*>(image.BitsPointer()),
          static_cast<size_t>(image.Width()) * static_cast<size_t>(image.Height())};
}

void reclassifyAlpha(c32bppDIB& image) {
  int32_t typeCode = 0;
  const bool alpha = modParsers::ClassifyAlpha(image.Bits(), image.Width(), false, typeCode);
  image.SetAlphaFlag(alpha);
  const int32_t type = image.ImageType();
  if (!alpha && (type == ImageTypeCode::kStraightAlphaBitmap ||
                 type == ImageTypeCode::kPremultipliedBitmap)) {
    image.SetImageTypeCode(ImageTypeCode::kBitmap);
  }
}

}  // namespace

bool MaskRecord::apply(c32bppDIB& image, uint32_t color) {
  m_removed.clear();
  if (image.BitsPointer() == nullptr) return false;
  const uint32_t opaque = opaquePixel(color);
  const auto pixels = pixelsOf(image);
  m_removed.assign(pixels.size(), false);
  for (size_t i = 0; i < pixels.size(); ++i) m_removed[i] = pixels[i] == opaque;
  return image.MakeTransparent(color, false);
}

void MaskRecord::restoreOnto(c32bppDIB& copy, uint32_t color) const {
  const auto pixels = pixelsOf(copy);
  if (copy.BitsPointer() == nullptr || pixels.size() != m_removed.size()) return;
  const uint32_t opaque = opaquePixel(color);
  for (size_t i = 0; i < pixels.size(); ++i) {
    if (m_removed[i]) pixels[i] = opaque;
  }
  reclassifyAlpha(copy);
}

void MaskRecord::restore(c32bppDIB& image, uint32_t color) {
  restoreOnto(image, color);
  m_removed.clear();
}

void MaskRecord::mirror(int32_t width, int32_t height, bool mirrorX, bool mirrorY) {
  if (m_removed.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) return;
  const auto row = [&](int32_t y) { return m_removed.begin() + static_cast<ptrdiff_t>(y) * width; };
  if (mirrorX) {
    for (int32_t y = 0; y < height; ++y) std::reverse(row(y), row(y) + width);
  }
  if (mirrorY) {
    for (int32_t y = 0; y < height / 2; ++y)
      std::swap_ranges(row(y), row(y) + width, row(height - 1 - y));
  }
}
