// In-place effects on the premultiplied pixels (inverse, transparent colour,
// mirroring) and the soft drop shadow made from the picture's alpha.
#include <algorithm>
#include <vector>

#include "image/c32bppdib.h"
#include "image/codecs/modparsers.h"

namespace {

// The opaque pixel of a colour given with red in the low byte.
uint32_t opaquePixel(uint32_t colour) {
  return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF) | 0xFF000000u;
}

std::span<uint32_t> pixelsOf(c32bppDIB& image) {
  return {reinterpret_cast<uint32_t*>(image.BitsPointer()),
          static_cast<size_t>(image.Width()) * static_cast<size_t>(image.Height())};
}

}  // namespace

bool c32bppDIB::MakeImageInverse() {
  if (!m_bits) return false;
  for (uint32_t& pixel : pixelsOf(*this)) {
    // alpha - channel is the premultiplied form of 255 - colour. A colour above
    // its alpha (not a valid premultiplied pixel) is first limited to it, so
    // no channel borrows from its neighbour.
    const uint32_t a = pixel >> 24;
    uint32_t inverse = pixel & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
      inverse |= (a - std::min((pixel >> shift) & 0xFF, a)) << shift;
    }
    pixel = inverse;
  }
  return true;
}

bool c32bppDIB::MakeTransparent(uint32_t transparentColor, bool revert) {
  if (!m_bits) return false;
  const uint32_t opaque = opaquePixel(transparentColor);
  if (!revert) {
    bool changed = false;
    for (uint32_t& pixel : pixelsOf(*this)) {
      if (pixel == opaque) {
        pixel = 0;
        changed = true;
      }
    }
    if (changed) {
      m_alpha = true;
      if (m_imageType == ImageTypeCode::kBitmap) m_imageType = ImageTypeCode::kPremultipliedBitmap;
    }
    return true;
  }
  for (uint32_t& pixel : pixelsOf(*this)) {
    if (pixel == 0) pixel = opaque;
  }
  int32_t typeCode = 0;
  m_alpha = modParsers::ClassifyAlpha(Bits(), m_width, false, typeCode);
  if (!m_alpha && (m_imageType == ImageTypeCode::kStraightAlphaBitmap ||
                   m_imageType == ImageTypeCode::kPremultipliedBitmap)) {
    m_imageType = ImageTypeCode::kBitmap;
  }
  return true;
}

bool c32bppDIB::MirrorImage(bool mirrorX, bool mirrorY) {
  if (!m_bits) return false;
  const auto pixels = pixelsOf(*this);
  const auto width = static_cast<size_t>(m_width);
  if (mirrorX) {
    for (size_t row = 0; row < static_cast<size_t>(m_height); ++row) {
      std::reverse(pixels.begin() + row * width, pixels.begin() + (row + 1) * width);
    }
  }
  if (mirrorY) {
    for (size_t top = 0, bottom = static_cast<size_t>(m_height) - 1; top < bottom;
         ++top, --bottom) {
      std::swap_ranges(pixels.begin() + top * width, pixels.begin() + (top + 1) * width,
                       pixels.begin() + bottom * width);
    }
  }
  return true;
}

std::shared_ptr<c32bppDIB> c32bppDIB::CreateDropShadow(int32_t blurDepth,
                                                       uint32_t shadowColor) const {
  if (!m_bits) return nullptr;
  const int32_t m = 2 * std::clamp(blurDepth, 0, 10);
  auto shadow = std::make_shared<c32bppDIB>();
  shadow->setGdiToken(m_gdiToken);
  if (!shadow->InitializeDIB(m_width + m, m_height + m)) return nullptr;

  // Mean of the (m + 1) x (m + 1) alpha square ending at each shadow pixel, with
  // running sums: a column sum per source column slides down the rows, and a
  // window of m + 1 column sums slides along each row. The cost per pixel does
  // not depend on the depth, and the integer result equals the direct sum.
  const int32_t outWidth = m_width + m, outHeight = m_height + m;
  const uint32_t area = static_cast<uint32_t>(m + 1) * static_cast<uint32_t>(m + 1);
  const uint32_t red = shadowColor & 0xFF, green = (shadowColor >> 8) & 0xFF,
                 blue = (shadowColor >> 16) & 0xFF;
  // Premultiplied shadow pixel for every possible alpha.
  uint32_t byAlpha[256];
  for (uint32_t a = 0; a < 256; ++a) {
    byAlpha[a] =
        a == 0 ? 0
               : (a << 24) | ((red * a / 255) << 16) | ((green * a / 255) << 8) | (blue * a / 255);
  }
  const auto alphaAt = [this](int32_t x, int32_t y) -> uint32_t {
    return m_bits.get()[pixelOffset(x, y) + 3];
  };
  std::vector<uint32_t> columnSums(static_cast<size_t>(m_width), 0);
  for (int32_t y = 0; y < outHeight; ++y) {
    // Column sums over the source rows y - m .. y.
    if (y < m_height) {
      for (int32_t x = 0; x < m_width; ++x) columnSums[x] += alphaAt(x, y);
    }
    if (y - m - 1 >= 0 && y - m - 1 < m_height) {
      for (int32_t x = 0; x < m_width; ++x) columnSums[x] -= alphaAt(x, y - m - 1);
    }
    auto* row = reinterpret_cast<uint32_t*>(shadow->BitsPointer() + shadow->pixelOffset(0, y));
    uint32_t window = 0;
    for (int32_t x = 0; x < outWidth; ++x) {
      if (x < m_width) window += columnSums[x];
      if (x - m - 1 >= 0 && x - m - 1 < m_width) window -= columnSums[x - m - 1];
      row[x] = byAlpha[window / area];
    }
  }
  shadow->SetAlphaFlag(true);
  shadow->SetImageTypeCode(ImageTypeCode::kPremultipliedBitmap);
  return shadow;
}

bool c32bppDIB::RenderDropShadow_JIT(QImage* destSurface, int32_t x, int32_t y, int32_t blurDepth,
                                     uint32_t shadowColor, int32_t opacity,
                                     c32bppDIB* targetImage) const {
  const std::shared_ptr<c32bppDIB> shadow = CreateDropShadow(blurDepth, shadowColor);
  if (!shadow) return false;
  return shadow->Render(destSurface, x, y, 0, 0, 0, 0, 0, 0, opacity, true, targetImage);
}
