// The own blender: a block of premultiplied pixels blended into an image or
// onto a drawing surface, clipped to the destination.
#include <QPainter>
#include <algorithm>
#include <cstring>

#include "image/c32bppdib.h"
#include "image/codecs/modparsers.h"
#include "image/render_pixels.h"
#include "image/render_rows.h"

namespace renderpix {

namespace {

// The destination rectangle clipped to a width x height area, with the offset
// into the source block that the clipping implies.
struct Clip {
  int32_t destX = 0, destY = 0, srcX = 0, srcY = 0, width = 0, height = 0;
};

bool clipTo(const PixelBlock& source, int32_t destX, int32_t destY, int32_t areaWidth,
            int32_t areaHeight, Clip& clip) {
  const Area seen = VisiblePart(destX, destY, source.width, source.height, areaWidth, areaHeight);
  if (seen.empty()) return false;
  clip.srcX = seen.x;
  clip.srcY = seen.y;
  clip.destX = destX + seen.x;
  clip.destY = destY + seen.y;
  clip.width = seen.width;
  clip.height = seen.height;
  return true;
}

uint32_t withGray(uint32_t pixel, int32_t grayscaleCode) {
  if (grayscaleCode == -1) return pixel;
  const uint32_t g = GrayValue(pixel, grayscaleCode);
  return (pixel & 0xFF000000u) | g | (g << 8) | (g << 16);
}

// The clipped source rows one after another, grayscaled when asked for.
class SourceRows {
 public:
  SourceRows(const PixelBlock& source, const Clip& clip, int32_t grayscaleCode)
      : m_source(source), m_clip(clip), m_grayscale(grayscaleCode) {
    if (grayscaleCode != -1) m_gray.resize(static_cast<size_t>(clip.width));
  }

  const uint32_t* row(int32_t y) {
    const uint32_t* src = m_source.row(m_clip.srcY + y) + m_clip.srcX;
    if (m_grayscale == -1) return src;
    for (int32_t x = 0; x < m_clip.width; ++x) m_gray[x] = withGray(src[x], m_grayscale);
    return m_gray.data();
  }
  // Without grayscale the rows are the block's own, rowStride() apart.
  bool asStored() const { return m_grayscale == -1; }
  ptrdiff_t stride() const { return m_source.rowStride(); }

 private:
  const PixelBlock& m_source;
  const Clip& m_clip;
  int32_t m_grayscale;
  std::vector<uint32_t> m_gray;
};

// The clipped rows onto premultiplied rows dstStride pixels apart; the
// source as stored goes in one call.
void blendRectangle(SourceRows& rows, const Clip& clip, uint32_t* dst, ptrdiff_t dstStride,
                    uint32_t opacity) {
  if (rows.asStored()) {
    const uint32_t* src = rows.row(0);
    ptrdiff_t srcStride = rows.stride();
    if (dstStride < 0 && srcStride < 0) {
      // Both kept bottom-up: the rows from the last one, so that both are
      // read upwards in memory, which the memory system streams best.
      const ptrdiff_t last = clip.height - 1;
      dst += last * dstStride;
      src += last * srcStride;
      dstStride = -dstStride;
      srcStride = -srcStride;
    }
    rows::blendRows(dst, dstStride, src, srcStride, clip.width, clip.height, opacity);
    return;
  }
  for (int32_t y = 0; y < clip.height; ++y, dst += dstStride)
    rows::blend(dst, rows.row(y), clip.width, opacity);
}

// Premultiplied 32-bit rows of a surface, blended in place.
void blendOntoPremultiplied(SourceRows& rows, const Clip& clip, QImage& surface, uint32_t opacity) {
  auto* dst = reinterpret_cast<uint32_t*>(surface.scanLine(clip.destY)) + clip.destX;
  blendRectangle(rows, clip, dst, surface.bytesPerLine() / 4, opacity);
}

// A surface with an alpha channel in another format: the rectangle converted
// to premultiplied pixels, blended, and put back in the surface's format.
void blendOntoOtherAlphaFormat(SourceRows& rows, const Clip& clip, QImage& surface,
                               uint32_t opacity) {
  QImage area = surface.copy(clip.destX, clip.destY, clip.width, clip.height)
                    .convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (area.isNull()) return;
  const Clip local{0, 0, clip.srcX, clip.srcY, clip.width, clip.height};
  blendOntoPremultiplied(rows, local, area, opacity);
  QPainter painter(&surface);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(clip.destX, clip.destY, area);
}

// dst x (255 - A x O / 255) + src x O, over 255: the blending rule for one channel.
inline uint8_t blendChannel(uint32_t dst, uint32_t src, uint32_t keep, uint32_t opacity) {
  return static_cast<uint8_t>((dst * keep + src * opacity) / 255u);
}

// A surface without alpha: the rectangle as 24-bit B,G,R rows padded to 4
// bytes, blended there and written back opaque.
void blendOntoOpaque(SourceRows& rows, const Clip& clip, QImage& surface, uint32_t opacity) {
  const size_t stride = static_cast<size_t>(modParsers::RowSize(clip.width, 24));
  std::vector<uint8_t> buffer(stride * static_cast<size_t>(clip.height));
  // 32-bit surfaces hold B, G, R, (unused) in memory and are read and written
  // directly; other formats go through QImage's accessors.
  const bool direct = surface.format() == QImage::Format_RGB32;
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
    const uint32_t* src = rows.row(y);
    uint8_t* dst = buffer.data() + stride * static_cast<size_t>(y);
    for (int32_t x = 0; x < clip.width; ++x, dst += 3) {
      const uint32_t s = src[x];
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
        dst[c] = blendChannel(dst[c], (s >> (8 * c)) & 0xFF, keep, opacity);
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

}  // namespace

Area VisiblePart(int64_t x, int64_t y, int64_t width, int64_t height, int32_t areaWidth,
                 int32_t areaHeight) {
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(x + width, areaWidth);
  const int64_t bottom = std::min<int64_t>(y + height, areaHeight);
  if (right <= left || bottom <= top) return {};
  return {static_cast<int32_t>(left - x), static_cast<int32_t>(top - y),
          static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top)};
}

void BlendIntoImage(const PixelBlock& source, c32bppDIB& target, int32_t destX, int32_t destY,
                    uint32_t opacity, int32_t grayscaleCode) {
  Clip clip;
  if (!target.BitsPointer() || opacity == 0 ||
      !clipTo(source, destX, destY, target.Width(), target.Height(), clip)) {
    return;
  }
  uint8_t* bits = target.BitsPointer();
  const auto rowAt = [&](int32_t y) {
    return reinterpret_cast<uint32_t*>(bits + target.pixelOffset(clip.destX, clip.destY + y));
  };
  // Rows are stored bottom-up: the stride between them comes out negative.
  const ptrdiff_t dstStride = clip.height > 1 ? rowAt(1) - rowAt(0) : 0;
  SourceRows rows(source, clip, grayscaleCode);
  blendRectangle(rows, clip, rowAt(0), dstStride, opacity);
}

void BlendOntoSurface(const PixelBlock& source, QImage& surface, int32_t destX, int32_t destY,
                      uint32_t opacity, int32_t grayscaleCode) {
  Clip clip;
  if (surface.isNull() || opacity == 0 ||
      !clipTo(source, destX, destY, surface.width(), surface.height(), clip)) {
    return;
  }
  SourceRows rows(source, clip, grayscaleCode);
  if (surface.format() == QImage::Format_ARGB32_Premultiplied) {
    blendOntoPremultiplied(rows, clip, surface, opacity);
  } else if (surface.hasAlphaChannel()) {
    blendOntoOtherAlphaFormat(rows, clip, surface, opacity);
  } else {
    blendOntoOpaque(rows, clip, surface, opacity);
  }
}

}  // namespace renderpix
