// Layout, the prepared shadow, the AutoRedraw cache and painting.
//
// The picture and its soft shadow are laid out together: the room the shadow
// needs beside the picture (its offset plus the blur) is kept free inside the
// control, and AutoSize makes the control the picture plus that room. A
// control exactly as large as its picture would otherwise cut the blurred edge
// off straight at its border.
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

// The most room kept for a shadow on one side; offsets beyond it would leave
// the picture no space at all.
constexpr int64_t kMaxShadowRoom = 4096;
// The largest picture drawn, in pixels. Only absurd custom sizes reach it;
// such a picture is drawn smaller with its proportions kept, because every
// drawing of it (on screen, cached, cut for hit testing) costs memory and time
// in proportion to its area.
constexpr double kMaxDrawnPixels = 2048.0 * 2048.0;
constexpr double kMaxDrawnSide = 8192.0;
constexpr uint32_t kSystemColorFlag = 0x80000000u;

bool isTurned(const aicAlphaImage& control) {
  return control.RotateEnabled() && control.Rotation() % 360 != 0;
}

int clampRoom(int64_t room) {
  return static_cast<int>(std::clamp<int64_t>(room, 0, kMaxShadowRoom));
}

// Where the shadow reaches beyond the picture rectangle on each side. The
// shadow image is the picture grown by twice the depth to the right and down,
// drawn at the picture's place moved by the offset. Turned, it spins about the
// picture's centre moved by offset + depth, and its half-diagonal exceeds the
// square's half side by at most depth x sqrt(2).
QMargins shadowRoom(const aicAlphaImage& control) {
  if (!control.ShadowEnabled()) return {};
  const int64_t depth = control.ShadowDepth();
  const int64_t x = control.ShadowOffsetX(), y = control.ShadowOffsetY();
  if (!control.RotateEnabled()) {
    return {clampRoom(-x), clampRoom(-y), clampRoom(x + 2 * depth), clampRoom(y + 2 * depth)};
  }
  const auto spread = static_cast<int64_t>(std::ceil(std::sqrt(2.0) * static_cast<double>(depth)));
  return {clampRoom(spread - x - depth), clampRoom(spread - y - depth),
          clampRoom(x + depth + spread), clampRoom(y + depth + spread)};
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

// Everything the shadow may cover, turned or not.
QRect shadowReach(const aicAlphaImage& control, const QRect& pictureRect) {
  return pictureRect.marginsAdded(shadowRoom(control));
}

// The picture's drawn size inside an available area (GetImageScales), and
// the size of its rectangle: the same, or with rotation enabled the square
// that holds the turned picture.
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
  double shrink = std::min({1.0, kMaxDrawnSide / w, kMaxDrawnSide / h,
                            std::sqrt(kMaxDrawnPixels / (w * h))});
  // The square around a turned picture must keep within the same bounds.
  if (control.RotateEnabled()) {
    shrink = std::min(shrink, std::sqrt(kMaxDrawnPixels) / std::hypot(w, h));
  }
  const QSize drawn(std::max(1, static_cast<int>(w * shrink)),
                    std::max(1, static_cast<int>(h * shrink)));
  if (!control.RotateEnabled()) return {drawn, drawn};
  const auto side =
      static_cast<int>(std::lround(std::hypot(double(drawn.width()), double(drawn.height()))));
  return {drawn, {side, side}};
}

// The picture with its shadow room, centred in the control.
QRect centredPicture(QSize control, QSize picture, const QMargins& room) {
  const int freeWidth = control.width() - room.left() - room.right() - picture.width();
  const int freeHeight = control.height() - room.top() - room.bottom() - picture.height();
  return {QPoint(room.left() + freeWidth / 2, room.top() + freeHeight / 2), picture};
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
    const QMargins room = shadowRoom(*this);
    sizes = laidOutPictureSize(*this, size().shrunkBy(room));
    if (AutoSize() && !sizes.rect.isEmpty()) resize(sizes.rect.grownBy(room));
    if (!sizes.rect.isEmpty()) placed = centredPicture(size(), sizes.rect, room);
  }
  if (placed == m_pictureRect && sizes.drawn == m_drawnSize && !placed.isEmpty()) return;
  m_pictureRect = placed;
  m_drawnSize = sizes.drawn;
  rebuildShadow();
  rebuildCachedDrawing();
}

void aicAlphaImage::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!m_inLayout) relayout();
}

// The shadow is prepared only when the picture is not drawn one to one (scaled
// or turned); otherwise painting blurs it from the picture itself. A change of
// the room the shadow needs re-lays the control out first.
void aicAlphaImage::rebuildShadow() {
  if (!m_inLayout && m_image.Handle()) {
    const PictureSizes sizes = laidOutPictureSize(*this, size().shrunkBy(shadowRoom(*this)));
    const bool resized = AutoSize() && sizes.rect.grownBy(shadowRoom(*this)) != size();
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
    m_renderedImage =
        aicdrawing::renderDrawnPicture(m_image, m_pictureRect, m_drawnSize, RotateEnabled(),
                                       m_rotation);
  }
  // The hit area is cut from the drawing, so it follows every change of it.
  rebuildHitArea();
  update();
}

void aicAlphaImage::paintEvent(QPaintEvent* event) {
  if (!m_image.Handle() || m_pictureRect.isEmpty()) return;
  QRect reach = m_pictureRect;
  if (ShadowEnabled()) reach = reach.united(shadowReach(*this, m_pictureRect));
  const QRect area = reach.intersected(event->rect()).intersected(rect());
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
                            shadow.y() + shadow.height() / 2, 0, 0, 0, 0, 0, 0, shadowOpacity,
                            true, nullptr, -1, 0, angle, true);
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
                   drawn.width(), drawn.height(), 0, 0, 0, 0, m_opacity, true, nullptr,
                   m_grayscale, m_lightness, angle, true);
  } else {
    m_image.Render(&surface, picture.x(), picture.y(), drawn.width(), drawn.height(), 0, 0, 0, 0,
                   m_opacity, true, nullptr, m_grayscale, m_lightness);
  }

  QPainter painter(this);
  painter.drawImage(origin, surface);
}
