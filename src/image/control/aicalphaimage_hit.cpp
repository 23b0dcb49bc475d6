// Which positions of the control hit the picture.
//
// Mode 0 is the whole control; mode 1 the box around the picture's visible
// pixels; mode 2 only its fully opaque pixels; mode 3 every visible pixel. The
// shapes are cut from the picture as drawn, so they follow scaling, turning and
// the mirror. A disabled control, or one on a form being designed, is hit
// everywhere; so is a control whose shape could not be cut.
#include "image/control/aicalphaimage.h"

#include "image/control/aicalphaimage_drawing.h"

namespace {

// The image engine's region styles: 0 every pixel with alpha above 0, 1 only
// fully opaque pixels, 2 the box around the visible pixels.
constexpr int32_t kVisiblePixels = 0;
constexpr int32_t kOpaquePixels = 1;

}  // namespace

bool aicAlphaImage::isHit(const QPoint& pos) const {
  if (!isEnabled() || m_designMode || m_hitTestMode == 0) return rect().contains(pos);
  if (m_hasHitRegion) return m_hitRegion.contains(pos);
  return m_hitRect.contains(pos);
}

void aicAlphaImage::rebuildHitArea() {
  m_hitRegion = QRegion();
  m_hasHitRegion = false;
  m_hitRect = rect();
  if (!isEnabled() || m_designMode || m_hitTestMode <= 0 || m_hitTestMode > 3) return;

  std::shared_ptr<c32bppDIB> drawing =
      AutoRedraw() && m_renderedImage
          ? m_renderedImage
          : aicdrawing::renderDrawnPicture(m_image, m_pictureRect, m_drawnSize, RotateEnabled(),
                                           m_rotation);
  if (!drawing) return;
  const int32_t x = m_pictureRect.x(), y = m_pictureRect.y();
  switch (m_hitTestMode) {
    case 1:
      m_hitRect = drawing->CreateRegion(kVisiblePixels, x, y).boundingRect();
      break;
    case 2:
      m_hitRegion = drawing->CreateRegion(kOpaquePixels, x, y);
      m_hasHitRegion = true;
      break;
    case 3:
      // The engine's style 2 is only the box of mode 1 again; the exact
      // outline of the visible pixels is its style 0.
      m_hitRegion = drawing->CreateRegion(kVisiblePixels, x, y);
      m_hasHitRegion = true;
      break;
  }
}
