// Render: argument normalisation and the choice between the three drawing
// paths (system alpha blend, image service, own blender), and the chequer board.
#include <QPainter>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "image/c32bppdib.h"
#include "image/render_pixels.h"
#include "image/render_request.h"

using renderpix::RenderRequest;

namespace {

bool fitsInt32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

}  // namespace

bool c32bppDIB::Render(QImage* destSurface, int32_t destX, int32_t destY, int32_t destWidth,
                       int32_t destHeight, int32_t srcX, int32_t srcY, int32_t srcWidth,
                       int32_t srcHeight, int32_t opacity, bool smoothStretch,
                       c32bppDIB* targetImage, int32_t grayscale, float lightness, float angle,
                       bool centerOnDest) {
  if (!m_bits) return false;
  if (opacity <= 0) return true;
  if (srcWidth == INT32_MIN || srcHeight == INT32_MIN || destWidth == INT32_MIN ||
      destHeight == INT32_MIN) {
    return false;
  }

  // Source rectangle: a negative size mirrors; the rectangle stays inside the image.
  const bool mirrorX = srcWidth < 0, mirrorY = srcHeight < 0;
  srcWidth = std::abs(srcWidth);
  srcHeight = std::abs(srcHeight);
  if (srcX < 0) srcX = 0;
  if (srcY < 0) srcY = 0;
  if (srcWidth == 0) srcWidth = m_width;
  if (srcHeight == 0) srcHeight = m_height;
  if (srcX >= m_width || srcY >= m_height) return false;
  srcWidth = std::min(srcWidth, m_width - srcX);
  srcHeight = std::min(srcHeight, m_height - srcY);

  if (destWidth == 0) destWidth = srcWidth;
  if (destHeight == 0) destHeight = srcHeight;
  if (mirrorX) destWidth = -destWidth;
  if (mirrorY) destHeight = -destHeight;

  RenderRequest r;
  r.surface = destSurface;
  r.target = targetImage;
  r.srcX = srcX;
  r.srcY = srcY;
  r.srcWidth = srcWidth;
  r.srcHeight = srcHeight;
  r.destWidth = destWidth;
  r.destHeight = destHeight;
  r.opacity = opacity % 100 == 0 ? 100 : opacity % 100;
  r.smoothStretch = smoothStretch;
  r.grayscale = grayscale;
  r.lightness = (lightness >= -100 && lightness <= 100) ? lightness : 0.0f;
  r.angle = std::isfinite(angle) ? angle : 0.0f;
  if (!r.target && !r.surface) return false;

  const bool rotated = !(std::trunc(r.angle) == r.angle && std::fmod(r.angle, 360.0f) == 0);
  if (rotated) {
    const int64_t x = centerOnDest ? int64_t{destX} - destWidth / 2 : destX;
    const int64_t y = centerOnDest ? int64_t{destY} - destHeight / 2 : destY;
    if (!fitsInt32(x) || !fitsInt32(y)) return false;
    r.destX = static_cast<int32_t>(x);
    r.destY = static_cast<int32_t>(y);
    return renderpix::RenderRotated(*this, r);
  }
  int64_t x = destX, y = destY;
  if (centerOnDest) {
    x -= std::abs(destWidth) / 2;
    y -= std::abs(destHeight) / 2;
  }
  if (!fitsInt32(x) || !fitsInt32(y) || !fitsInt32(x + std::abs(destWidth)) ||
      !fitsInt32(y + std::abs(destHeight))) {
    return false;
  }
  r.destX = static_cast<int32_t>(x);
  r.destY = static_cast<int32_t>(y);
  r.angle = 0;

  const bool mirrored = destWidth < 0 || destHeight < 0;
  const bool scaled = std::abs(destWidth) != srcWidth || std::abs(destHeight) != srcHeight;
  const bool imageService = isGDIplusEnabled() && m_gdiToken != 0;
  const bool alphaBlend = !imageService && isAlphaBlendFriendly() && !mirrored && grayscale == -1 &&
                          r.lightness == 0 && (!scaled || !m_highQuality) &&
                          renderpix::AlphaBlendIsExact(*this, r);
  if (alphaBlend) return renderpix::DrawWithAlphaBlend(*this, r);
  if (imageService) return renderpix::DrawWithImageService(*this, r);
  return renderpix::DrawWithOwnBlender(*this, r);
}

bool c32bppDIB::CreateCheckerBoard(int32_t checkerSize, uint32_t firstColor, uint32_t secondColor) {
  if (!m_bits || checkerSize <= 0) return false;
  // Colours arrive with red in the low byte; pixels hold blue there.
  const auto opaque = [](uint32_t colour) {
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF) | 0xFF000000u;
  };
  const uint32_t first = opaque(firstColor), second = opaque(secondColor);
  for (int32_t y = 0; y < m_height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(m_bits.get() + pixelOffset(0, y));
    const int32_t squareRow = y / checkerSize;
    for (int32_t x = 0; x < m_width; ++x) {
      row[x] = ((squareRow + x / checkerSize) % 2 == 0) ? first : second;
    }
  }
  return true;
}
