// The own drawing path of Render: only the part of the destination that can
// be seen is made and blended, so a huge destination size costs what shows.
#include <cstdlib>

#include "image/c32bppdib.h"
#include "image/render_pixels.h"
#include "image/render_request.h"

namespace renderpix {

namespace {

// The size of what is drawn on: the target image, or the surface.
bool destinationSize(const RenderRequest& r, int32_t& width, int32_t& height) {
  if (r.target) {
    width = r.target->Width();
    height = r.target->Height();
    return true;
  }
  if (!r.surface || r.surface->isNull()) return false;
  width = r.surface->width();
  height = r.surface->height();
  return true;
}

// Unscaled, a visible column i shows source column i, or srcWidth - 1 - i when
// mirrored; so the visible part is itself a mirror copy of a smaller rectangle.
PixelBlock visibleUnscaled(const c32bppDIB& image, const RenderRequest& r, const Area& seen,
                           RowOrder order) {
  const bool reverseColumns = r.destWidth < 0, reverseRows = r.destHeight < 0;
  const int32_t x = reverseColumns ? r.srcWidth - seen.x - seen.width : seen.x;
  const int32_t y = reverseRows ? r.srcHeight - seen.y - seen.height : seen.y;
  return MirrorCopy(image, r.srcX + x, r.srcY + y, seen.width, seen.height, reverseColumns,
                    reverseRows, order);
}

PixelBlock visibleScaled(const c32bppDIB& image, const RenderRequest& r, const Area& seen,
                         RowOrder order) {
  const PixelBlock whole =
      MirrorCopy(image, r.srcX, r.srcY, r.srcWidth, r.srcHeight, r.destWidth < 0, r.destHeight < 0);
  PixelBlock scaled;
  if (whole.empty() || !Resample(whole, std::abs(r.destWidth), std::abs(r.destHeight),
                                 image.HighQualityInterpolation(), seen, scaled, order)) {
    return {};
  }
  return scaled;
}

}  // namespace

bool DrawWithOwnBlender(const c32bppDIB& image, const RenderRequest& r) {
  int32_t areaWidth = 0, areaHeight = 0;
  if (!destinationSize(r, areaWidth, areaHeight)) return false;
  const int32_t width = std::abs(r.destWidth), height = std::abs(r.destHeight);
  const Area seen = VisiblePart(r.destX, r.destY, width, height, areaWidth, areaHeight);
  if (seen.empty()) return true;
  if (seen.pixels() > c32bppDIB::kMaxRenderPixels) return false;
  const bool scaled = width != r.srcWidth || height != r.srcHeight;
  // Made in the row order of what it is drawn on: pictures keep their rows
  // bottom-up, surfaces top-down.
  const RowOrder order = r.target ? RowOrder::kBottomUp : RowOrder::kTopDown;
  PixelBlock block =
      scaled ? visibleScaled(image, r, seen, order) : visibleUnscaled(image, r, seen, order);
  if (block.empty()) return false;
  ApplyLightness(block, r.lightness);
  const int32_t x = r.destX + seen.x, y = r.destY + seen.y;
  const auto opacity = static_cast<uint32_t>(r.opacity * 255 / 100);
  if (r.target) {
    BlendIntoImage(block, *r.target, x, y, opacity, r.grayscale);
  } else {
    BlendOntoSurface(block, *r.surface, x, y, opacity, r.grayscale);
  }
  return true;
}

}  // namespace renderpix
