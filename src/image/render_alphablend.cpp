// The system alpha-blend path of Render (QPainter at a constant opacity) and
// the test of whether it gives the own blender's bytes.
#include <QPainter>

#include "image/c32bppdib.h"
#include "image/render_request.h"

namespace renderpix {

// The system alpha blend: QPainter drawing the premultiplied pixels at a
// constant opacity of opacity x 255 / 100, scaling from the source to the
// destination rectangle. Without the alpha flag the pixels count as opaque.
bool DrawWithAlphaBlend(const c32bppDIB& image, const RenderRequest& r) {
  const int32_t width = image.Width(), height = image.Height();
  QImage view(image.BitsPointer(), width, height, image.scanWidth(),
              QImage::Format_ARGB32_Premultiplied);
  if (!image.Alpha()) {
    view = view.copy();
    auto* pixels = reinterpret_cast<uint32_t*>(view.bits());
    for (qsizetype i = 0, n = static_cast<qsizetype>(width) * height; i < n; ++i) {
      pixels[i] |= 0xFF000000u;
    }
    view.reinterpretAsFormat(QImage::Format_RGB32);
  }
  const int32_t constantAlpha = r.opacity * 255 / 100;
  return withPainter(r, [&](QPainter& painter) {
    painter.setOpacity(constantAlpha / 255.0);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, r.smoothStretch);
    // The buffer is bottom-up: draw its rows flipped into the destination.
    painter.translate(r.destX, static_cast<double>(r.destY) + r.destHeight);
    painter.scale(static_cast<double>(r.destWidth) / r.srcWidth,
                  -static_cast<double>(r.destHeight) / r.srcHeight);
    painter.drawImage(QPointF(0, 0), view,
                      QRectF(r.srcX, height - r.srcY - r.srcHeight, r.srcWidth, r.srcHeight));
  });
}

// The system blend gives the blending rule's bytes only where there is nothing
// to round: every pixel fully opaque or fully clear, drawn at full opacity.
// Anywhere else QPainter rounds where the rule truncates, so the own blender
// draws instead.
bool AlphaBlendIsExact(const c32bppDIB& image, const RenderRequest& r) {
  if (r.opacity != 100) return false;
  if (!image.Alpha()) return true;
  for (int32_t y = r.srcY; y < r.srcY + r.srcHeight; ++y) {
    const uint8_t* row = image.BitsPointer() + image.pixelOffset(r.srcX, y);
    for (int32_t x = 0; x < r.srcWidth; ++x) {
      const uint8_t alpha = row[x * 4 + 3];
      if (alpha != 0 && alpha != 255) return false;
    }
  }
  return true;
}

}  // namespace renderpix
