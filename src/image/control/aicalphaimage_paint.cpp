// Layout, the prepared shadow, the AutoRedraw cache and painting.
//
// The picture is drawn at the size GetImageScales gives, centred in the
// control; AutoSize makes the control that size. A shadow reaching past the
// control's edge is cut there.
#include "image/control/aicalphaimage.h"

#include "controls/colornumber.h"
#include "image/control/aicalphaimage_drawing.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScopedValueRollback>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr uint32_t kSystemColorFlag = 0x80000000u;

bool isTurned(const aicAlphaImage& control) {
  return control.RotateEnabled() && control.Rotation() % 360 != 0;
}

// The shadow's own rectangle (before any turn) for a picture rectangle.
QRect shadowImageRect(const aicAlphaImage& control, const QRect& pictureRect, QSize drawn) {
  const int depth = control.ShadowDepth();
  const QSize size = drawn + QSize(2 * depth, 2 * depth);
  const QPoint offset(control.ShadowOffsetX(), control.ShadowOffsetY());
  if (!control.RotateEnabled()) return {pictureRect.topLeft() + offset, size};
  const QPoint centre = pictureRect.topLeft() +
                        QPoint(pictureRect.width() / 2, pictureRect.height() / 2) + offset +
                        QPoint(depth, depth);
  return {centre - QPoint(size.width() / 2, size.height() / 2), size};
}

// The picture's drawn size (GetImageScales with the control's size), and the
// size of its rectangle: the same, or with rotation enabled the square that
// holds the turned picture. A rectangle beyond the bound of one drawing is
// made smaller with its proportions kept; no real picture comes near it.
struct PictureSizes {
  QSize drawn;
  QSize rect;
};

PictureSizes laidOutPictureSize(const aicAlphaImage& control, QSize available) {
  int32_t width = 0, height = 0;
  if (!control.GetImageScales(width, height, -1, std::max(available.width(), 1),
                              std::max(available.height(), 1), control.RotateEnabled())) {
    return {};
  }
  const double w = std::max(width, 1), h = std::max(height, 1);
  const double area = control.RotateEnabled() ? w * w + h * h : w * h;
  const double limit = static_cast<double>(aicAlphaImage::kMaxDrawingPixels);
  const double shrink = area > limit ? std::sqrt(limit / area) : 1.0;
  const QSize drawn(std::max(1, static_cast<int>(w * shrink)),
                    std::max(1, static_cast<int>(h * shrink)));
  if (!control.RotateEnabled()) return {drawn, drawn};
  const auto side =
      static_cast<int>(std::lround(std::hypot(double(drawn.width()), double(drawn.height()))));
  return {drawn, {side, side}};
}

QRect centredPicture(QSize control, QSize picture) {
  const QPoint corner((control.width() - picture.width()) / 2,
                      (control.height() - picture.height()) / 2);
  return {corner, picture};
}

}  // namespace

namespace aicdrawing {

std::shared_ptr<c32bppDIB> renderDrawnPicture(c32bppDIB& picture, const QRect& pictureRect,
                                              QSize drawn, bool rotateEnabled, int32_t rotation) {
  if (!picture.Handle() || pictureRect.isEmpty() || drawn.isEmpty()) return nullptr;
  auto drawing = std::make_shared<c32bppDIB>();
  drawing->setGdiToken(picture.gdiToken());
  drawing->setGDIplusEnabled(picture.isGDIplusEnabled());
  if (!drawing->InitializeDIB(pictureRect.width(), pictureRect.height())) return nullptr;
  bool drawnOk = false;
  if (rotateEnabled) {
    drawnOk = picture.Render(nullptr, pictureRect.width() / 2, pictureRect.height() / 2,
                             drawn.width(), drawn.height(), 0, 0, 0, 0, 100, true, drawing.get(),
                             -1, 0, static_cast<float>(rotation % 360), true);
  } else {
    drawnOk = picture.Render(nullptr, 0, 0, drawn.width(), drawn.height(), 0, 0, 0, 0, 100, true,
                             drawing.get());
  }
  if (!drawnOk) return nullptr;
  drawing->SetAlphaFlag(true);
  drawing->SetImageTypeCode(ImageTypeCode::kPremultipliedBitmap);
  return drawing;
}

}  // namespace aicdrawing

uint32_t aicAlphaImage::resolvedColor(int32_t colorNumber) const {
  const auto number = static_cast<uint32_t>(colorNumber);
  if ((number & kSystemColorFlag) == 0) return number & 0xFFFFFFu;
  const QColor colour = colorFromNumber(number, palette());
  return static_cast<uint32_t>(colour.red()) + static_cast<uint32_t>(colour.green()) * 256u +
         static_cast<uint32_t>(colour.blue()) * 65536u;
}

// The drawings made from the layout are rebuilt only when the picture's place
// changed; a new picture, mirror or the like rebuild them on their own.
void aicAlphaImage::relayout() {
  // A resize made by the layout itself, and a shadow rebuilt by it, must not
  // start it again.
  const QScopedValueRollback<bool> inLayout(m_inLayout, true);
  QRect placed;
  PictureSizes sizes;
  if (m_image.Handle()) {
    sizes = laidOutPictureSize(*this, size());
    if (AutoSize() && !sizes.rect.isEmpty()) resize(sizes.rect);
    if (!sizes.rect.isEmpty()) placed = centredPicture(size(), sizes.rect);
  }
  if (placed == m_pictureRect && sizes.drawn == m_drawnSize && !placed.isEmpty()) return;
  m_pictureRect = placed;
  m_drawnSize = sizes.drawn;
  rebuildShadow();
  rebuildCachedDrawing();
}

void aicAlphaImage::setGDIplusAllowed(bool allowed) {
  m_image.setGDIplusEnabled(allowed);
  rebuildShadow();
  rebuildCachedDrawing();
}

void aicAlphaImage::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!m_inLayout) relayout();
}

// The shadow is prepared only when the picture is not drawn one to one (scaled
// or turned); otherwise painting blurs it from the picture itself. A change of
// the picture's size (rotation switched on, say) re-lays the control out first.
void aicAlphaImage::rebuildShadow() {
  if (!m_inLayout && m_image.Handle()) {
    const PictureSizes sizes = laidOutPictureSize(*this, size());
    const bool resized = AutoSize() && sizes.rect != size();
    if (sizes.rect != m_pictureRect.size() || sizes.drawn != m_drawnSize || resized) {
      relayout();
      return;
    }
  }
  m_shadowImage.reset();
  if (ShadowEnabled() && m_image.Handle() && !m_pictureRect.isEmpty()) {
    const QSize drawn = m_drawnSize;
    const bool oneToOne = !isTurned(*this) && drawn == QSize(m_image.Width(), m_image.Height());
    if (!oneToOne) {
      std::shared_ptr<c32bppDIB> scaled;
      m_image.CopyImageTo(scaled, drawn.width(), drawn.height());
      if (scaled) {
        m_shadowImage = scaled->CreateDropShadow(m_shadowDepth, resolvedColor(m_shadowColor));
      }
    }
  }
  update();
}

void aicAlphaImage::rebuildCachedDrawing() {
  m_renderedImage.reset();
  if (AutoRedraw()) {
    m_renderedImage = aicdrawing::renderDrawnPicture(m_image, m_pictureRect, m_drawnSize,
                                                     RotateEnabled(), m_rotation);
  }
  // The hit area is cut from the drawing, so it follows every change of it.
  rebuildHitArea();
  update();
}

void aicAlphaImage::paintEvent(QPaintEvent* event) {
  if (!m_image.Handle() || m_pictureRect.isEmpty()) return;
  // Everything asked for is drawn over: the shadow may lie anywhere in the
  // control, and whatever reaches past its edge is cut there.
  const QRect area = event->rect().intersected(rect());
  if (area.isEmpty()) return;

  QImage surface(area.size(), QImage::Format_ARGB32_Premultiplied);
  if (surface.isNull()) return;
  surface.fill(Qt::transparent);
  const QPoint origin = area.topLeft();
  const QRect picture = m_pictureRect.translated(-origin);
  const QSize drawn = m_drawnSize;
  const auto angle = static_cast<float>(RotateEnabled() ? m_rotation % 360 : 0);

  // The shadow goes down first so that the picture covers it.
  const int32_t shadowOpacity = m_shadowOpacity * m_opacity / 100;
  if (ShadowEnabled() && shadowOpacity > 0) {
    const QRect shadow = shadowImageRect(*this, m_pictureRect, drawn).translated(-origin);
    if (m_shadowImage && RotateEnabled()) {
      m_shadowImage->Render(&surface, shadow.x() + shadow.width() / 2,
                            shadow.y() + shadow.height() / 2, 0, 0, 0, 0, 0, 0, shadowOpacity, true,
                            nullptr, -1, 0, angle, true);
    } else if (m_shadowImage) {
      m_shadowImage->Render(&surface, shadow.x(), shadow.y(), 0, 0, 0, 0, 0, 0, shadowOpacity,
                            true);
    } else if (!isTurned(*this) && drawn == QSize(m_image.Width(), m_image.Height())) {
      m_image.RenderDropShadow_JIT(&surface, shadow.x(), shadow.y(), m_shadowDepth,
                                   resolvedColor(m_shadowColor), shadowOpacity);
    }
  }

  if (AutoRedraw() && m_renderedImage) {
    m_renderedImage->Render(&surface, picture.x(), picture.y(), 0, 0, 0, 0, 0, 0, m_opacity, false,
                            nullptr, m_grayscale, m_lightness);
  } else if (RotateEnabled()) {
    m_image.Render(&surface, picture.x() + picture.width() / 2, picture.y() + picture.height() / 2,
                   drawn.width(), drawn.height(), 0, 0, 0, 0, m_opacity, true, nullptr, m_grayscale,
                   m_lightness, angle, true);
  } else {
    m_image.Render(&surface, picture.x(), picture.y(), drawn.width(), drawn.height(), 0, 0, 0, 0,
                   m_opacity, true, nullptr, m_grayscale, m_lightness);
  }

  QPainter painter(this);
  painter.drawImage(origin, surface);
}
