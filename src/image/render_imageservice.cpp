// The image-service drawing path of Render: QPainter with the image's
// interpolation, a colour matrix on the premultiplied pixels and a world
// transform for mirroring and rotation.
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "image/c32bppdib.h"
#include "image/cgdiplus.h"
#include "image/codecs/modparsers.h"
#include "image/render_pixels.h"
#include "image/render_request.h"

namespace renderpix {

namespace {

// The colour matrix of the image-service path on premultiplied pixels: each
// colour output is R wR + G wG + B wB (identity without grayscale) plus the
// lightness translation. In premultiplied form the translation is scaled by
// alpha so that the result stays a valid premultiplied pixel.
void applyColourMatrix(PixelBlock& block, int32_t grayscale, float lightness) {
  const modParsers::GrayWeights w = modParsers::GrayscaleWeights(grayscale);
  const double shift = lightness / 100.0;
  for (uint32_t& pixel : block.pixels) {
    const double a = pixel >> 24;
    if (a == 0) continue;
    const double red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF, blue = pixel & 0xFF;
    const auto clampToAlpha = [a](double v) {
      return static_cast<uint32_t>(std::clamp(std::round(v), 0.0, a));
    };
    uint32_t b, g, r;
    if (grayscale == -1) {
      r = clampToAlpha(red + shift * a);
      g = clampToAlpha(green + shift * a);
      b = clampToAlpha(blue + shift * a);
    } else {
      r = g = b = clampToAlpha(red * w.red + green * w.green + blue * w.blue + shift * a);
    }
    pixel = (pixel & 0xFF000000u) | (r << 16) | (g << 8) | b;
  }
}

}  // namespace

bool DrawWithImageService(const c32bppDIB& image, const RenderRequest& r) {
  const ScopedGdiplusSession session(image.gdiToken());
  if (session.token() == 0) return false;
  PixelBlock block = MirrorCopy(image, r.srcX, r.srcY, r.srcWidth, r.srcHeight, false, false);
  if (block.empty()) return false;
  if (r.grayscale != -1 || r.lightness != 0) applyColourMatrix(block, r.grayscale, r.lightness);
  const QImage picture(reinterpret_cast<const uchar*>(block.pixels.data()), block.width,
                       block.height, static_cast<qsizetype>(block.width) * 4,
                       QImage::Format_ARGB32_Premultiplied);
  const double width = std::abs(r.destWidth), height = std::abs(r.destHeight);
  const auto draw = [&](QPainter& painter) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform, image.HighQualityInterpolation());
    // Opacity scales all four premultiplied channels alike, as the matrix's alpha
    // entry would on straight colours.
    painter.setOpacity(r.opacity / 100.0);
    painter.translate(r.destX + width / 2, r.destY + height / 2);
    if (r.angle != 0) painter.rotate(r.angle);
    painter.scale(r.destWidth < 0 ? -1 : 1, r.destHeight < 0 ? -1 : 1);
    painter.drawImage(QRectF(-width / 2, -height / 2, width, height), picture);
  };
  return withPainter(r, draw);
}

}  // namespace renderpix
