// The own rotation renderer: the picture turned into a square temporary image,
// which Render then draws unturned.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "image/c32bppdib.h"
#include "image/render_pixels.h"
#include "image/render_request.h"

namespace renderpix {

namespace {

// Bilinear sample at (sx, sy) in pixel units where pixel centres lie at .5;
// neighbours past the edge repeat the edge pixel.
uint32_t sampleBilinear(const PixelBlock& src, double sx, double sy) {
  const double bx = sx - 0.5, by = sy - 0.5;
  const double flx = std::floor(bx), fly = std::floor(by);
  const double fx = bx - flx, fy = by - fly;
  const auto x0 = std::clamp(static_cast<int32_t>(flx), 0, src.width - 1);
  const auto x1 = std::clamp(static_cast<int32_t>(flx) + 1, 0, src.width - 1);
  const auto y0 = std::clamp(static_cast<int32_t>(fly), 0, src.height - 1);
  const auto y1 = std::clamp(static_cast<int32_t>(fly) + 1, 0, src.height - 1);
  const uint32_t p00 = src.at(x0, y0), p10 = src.at(x1, y0), p01 = src.at(x0, y1),
                 p11 = src.at(x1, y1);
  uint32_t result = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const double v = (1 - fx) * (1 - fy) * ((p00 >> shift) & 0xFF) +
                     fx * (1 - fy) * ((p10 >> shift) & 0xFF) +
                     (1 - fx) * fy * ((p01 >> shift) & 0xFF) + fx * fy * ((p11 >> shift) & 0xFF);
    result |= static_cast<uint32_t>(std::min(255.0, v + 0.5)) << shift;
  }
  return result;
}

}  // namespace

bool RenderRotated(const c32bppDIB& image, const RenderRequest& request) {
  RenderRequest r = request;
  // A negative size extends the destination rectangle to the left (or upwards).
  const int64_t cornerX = int64_t{r.destX} + std::min(r.destWidth, 0);
  const int64_t cornerY = int64_t{r.destY} + std::min(r.destHeight, 0);
  if (cornerX < INT32_MIN || cornerY < INT32_MIN) return false;
  r.destX = static_cast<int32_t>(cornerX);
  r.destY = static_cast<int32_t>(cornerY);

  if (image.isGDIplusEnabled() && image.gdiToken() != 0 && DrawWithImageService(image, r)) {
    return true;
  }

  PixelBlock source =
      MirrorCopy(image, r.srcX, r.srcY, r.srcWidth, r.srcHeight, r.destWidth < 0, r.destHeight < 0);
  if (source.empty()) return false;
  ApplyLightness(source, r.lightness);

  const double degrees = std::fmod(std::round(static_cast<double>(r.angle)), 360.0);
  const double radians = std::numbers::pi * degrees / 180.0;
  const double cosA = std::cos(radians), sinA = std::sin(radians);
  const double width = std::abs(r.destWidth), height = std::abs(r.destHeight);
  const double xScale = width / r.srcWidth, yScale = height / r.srcHeight;

  // The square that holds every turn, centred on the destination's centre; only
  // its part inside the destination is made, every pixel mapped back about
  // that exact centre.
  const auto side = static_cast<int64_t>(std::llround(std::sqrt(width * width + height * height)));
  const int64_t squareX = r.destX + static_cast<int64_t>(std::floor((width - side) / 2));
  const int64_t squareY = r.destY + static_cast<int64_t>(std::floor((height - side) / 2));
  int32_t areaWidth = 0, areaHeight = 0;
  if (r.target) {
    areaWidth = r.target->Width();
    areaHeight = r.target->Height();
  } else if (r.surface) {
    areaWidth = r.surface->width();
    areaHeight = r.surface->height();
  }
  const Area seen = VisiblePart(squareX, squareY, side, side, areaWidth, areaHeight);
  if (seen.empty()) return true;
  if (seen.pixels() > c32bppDIB::kMaxRenderPixels) return false;

  c32bppDIB rotated;
  rotated.setGdiToken(image.gdiToken());
  rotated.setGDIplusEnabled(image.isGDIplusEnabled());
  rotated.setHighQualityInterpolation(image.HighQualityInterpolation());
  if (!rotated.InitializeDIB(seen.width, seen.height)) return false;

  const double centreX = r.destX + width / 2, centreY = r.destY + height / 2;
  const bool bilinear = image.HighQualityInterpolation();
  uint8_t* bits = rotated.BitsPointer();
  for (int32_t ty = 0; ty < seen.height; ++ty) {
    auto* row = reinterpret_cast<uint32_t*>(bits + rotated.pixelOffset(0, ty));
    const double v = static_cast<double>(squareY) + seen.y + ty + 0.5 - centreY;
    for (int32_t tx = 0; tx < seen.width; ++tx) {
      const double u = static_cast<double>(squareX) + seen.x + tx + 0.5 - centreX;
      // Undo a clockwise turn on a screen whose y axis points down.
      const double sx = (u * cosA + v * sinA) / xScale + source.width / 2.0;
      const double sy = (-u * sinA + v * cosA) / yScale + source.height / 2.0;
      if (!(sx >= 0 && sy >= 0 && sx < source.width && sy < source.height)) continue;
      row[tx] = bilinear ? sampleBilinear(source, sx, sy)
                         : source.at(static_cast<int32_t>(sx), static_cast<int32_t>(sy));
    }
  }
  rotated.SetAlphaFlag(true);
  rotated.SetImageTypeCode(ImageTypeCode::kBlank);
  return rotated.Render(r.surface, static_cast<int32_t>(squareX + seen.x),
                        static_cast<int32_t>(squareY + seen.y), 0, 0, 0, 0, 0, 0, r.opacity,
                        r.target == nullptr, r.target, r.grayscale, 0, 0, false);
}

}  // namespace renderpix
