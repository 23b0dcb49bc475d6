// Export and import of pixel rectangles in the layouts callers ask for.
#include "image/c32bppdib.h"
#include "image/premultiply.h"

#include <cstring>

namespace {

struct ClippedRect {
  int32_t x, y, width, height;
};

// Resolves "0 = to the edge" and clips to the image; false when nothing is left
// or the origin is negative.
bool clipRect(int32_t imageWidth, int32_t imageHeight, int32_t x, int32_t y, int32_t width,
              int32_t height, ClippedRect& out) {
  if (x < 0 || y < 0 || width < 0 || height < 0) return false;
  if (x >= imageWidth || y >= imageHeight) return false;
  if (width == 0 || width > imageWidth - x) width = imageWidth - x;
  if (height == 0 || height > imageHeight - y) height = imageHeight - y;
  out = {x, y, width, height};
  return true;
}

size_t rowBytesFor(const DibBitsLayout& layout, int32_t width) {
  if (layout.as32bpp) return static_cast<size_t>(width) * 4;
  const size_t bytes = static_cast<size_t>(width) * 3;
  return layout.asWordAligned ? (bytes + 3) / 4 * 4 : bytes;
}

// Picture row of the i-th row of an array laid out as the layout says.
int32_t pictureRowOf(const DibBitsLayout& layout, const ClippedRect& rect, int32_t i) {
  return layout.asBottomUp ? rect.y + rect.height - 1 - i : rect.y + i;
}

}  // namespace

bool c32bppDIB::GetDIBbits(DibBits& out, const DibBitsLayout& layout, int32_t x, int32_t y,
                           int32_t width, int32_t height, bool asPremultiplied) const {
  ClippedRect rect{};
  if (!m_bits || !clipRect(m_width, m_height, x, y, width, height, rect)) return false;
  const size_t rowBytes = rowBytesFor(layout, rect.width);
  out.bytes.assign(rowBytes * static_cast<size_t>(rect.height), 0);
  out.rowBytes =
      layout.as2DArray ? static_cast<int32_t>(rowBytes) : static_cast<int32_t>(out.bytes.size());
  out.rows = layout.as2DArray ? rect.height : 1;

  const bool storedLayout = layout.as32bpp && layout.asBGRformat && layout.asBottomUp &&
                            asPremultiplied && rect.width == m_width && rect.height == m_height;
  if (storedLayout) {
    std::memcpy(out.bytes.data(), m_bits.get(), bufferSize());
    return true;
  }

  const size_t pixelBytes = layout.as32bpp ? 4 : 3;
  for (int32_t i = 0; i < rect.height; ++i) {
    const uint8_t* src = m_bits.get() + pixelOffset(rect.x, pictureRowOf(layout, rect, i));
    uint8_t* dst = out.bytes.data() + rowBytes * static_cast<size_t>(i);
    for (int32_t col = 0; col < rect.width; ++col, src += 4, dst += pixelBytes) {
      uint8_t blue = src[0], green = src[1], red = src[2];
      const uint8_t alpha = src[3];
      if (!asPremultiplied) {
        if (alpha == 0) {
          blue = green = red = 0;
        } else if (alpha != 255) {
          blue = premul::unscale(blue, alpha);
          green = premul::unscale(green, alpha);
          red = premul::unscale(red, alpha);
        }
      }
      dst[0] = layout.asBGRformat ? blue : red;
      dst[1] = green;
      dst[2] = layout.asBGRformat ? red : blue;
      if (layout.as32bpp) dst[3] = alpha;
    }
  }
  return true;
}

bool c32bppDIB::SetDIBbits(std::span<const uint8_t> bytes, const DibBitsLayout& layout, int32_t x,
                           int32_t y, int32_t width, int32_t height) {
  ClippedRect rect{};
  if (!m_bits || bytes.empty() || !clipRect(m_width, m_height, x, y, width, height, rect)) {
    return false;
  }
  const size_t rowBytes = rowBytesFor(layout, rect.width);
  if (bytes.size() < rowBytes * static_cast<size_t>(rect.height)) return false;

  const size_t pixelBytes = layout.as32bpp ? 4 : 3;
  for (int32_t i = 0; i < rect.height; ++i) {
    const uint8_t* src = bytes.data() + rowBytes * static_cast<size_t>(i);
    uint8_t* dst = m_bits.get() + pixelOffset(rect.x, pictureRowOf(layout, rect, i));
    if (layout.as32bpp && layout.asBGRformat) {
      std::memcpy(dst, src, rowBytes);
      continue;
    }
    for (int32_t col = 0; col < rect.width; ++col, src += pixelBytes, dst += 4) {
      dst[0] = layout.asBGRformat ? src[0] : src[2];
      dst[1] = src[1];
      dst[2] = layout.asBGRformat ? src[2] : src[0];
      if (layout.as32bpp) dst[3] = src[3];
    }
  }
  return true;
}
