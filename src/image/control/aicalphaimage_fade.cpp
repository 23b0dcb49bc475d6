// Fading the opacity over time, moving the shadow and the picture, and the
// dispatch of the control's one-shot timers.
#include "image/control/aicalphaimage.h"

#include <QTimerEvent>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int32_t kMinimumFadeInterval = 10;  // milliseconds

}  // namespace

void aicAlphaImage::FadeInOut(int32_t finalOpacity, int32_t fadeStepPercent,
                              int32_t fadeDelayInterval) {
  m_fadeTimer.stop();
  m_fadeStep = 0;
  finalOpacity = std::clamp(finalOpacity, 0, 100);
  if (fadeStepPercent == 0 || finalOpacity == m_opacity) return;
  // |INT32_MIN| does not fit; a step of 100 already crosses the whole range.
  const int32_t magnitude = std::min(std::abs(std::max(fadeStepPercent, -100)), 100);
  m_fadeStep = finalOpacity < m_opacity ? -magnitude : magnitude;
  m_fadeTarget = finalOpacity;
  m_fadeInterval = std::max(fadeDelayInterval, kMinimumFadeInterval);
  m_fadeTimer.start(m_fadeInterval, Qt::PreciseTimer, this);
}

// One step. A value that reaches or passes the target lands exactly on it, so
// every intermediate value lies strictly between 0 and 100 and passes the
// opacity's set rule unchanged (100 would wrap to 100 and 0 stay 0, but a value
// above 100 would wrap to something small).
void aicAlphaImage::fadeTick() {
  m_fadeTimer.stop();
  if (m_fadeStep == 0) return;
  const int32_t next = m_opacity + m_fadeStep;
  const bool landed = m_fadeStep < 0 ? next <= m_fadeTarget : next >= m_fadeTarget;
  if (landed) {
    const int32_t target = m_fadeTarget;
    m_fadeStep = 0;
    setOpacity(target);
    emit FadeTerminated(target);
    return;
  }
  setOpacity(next);
  // The host may have stopped or restarted the fade from an Opacity handler.
  if (m_fadeStep != 0 && !m_fadeTimer.isActive()) {
    m_fadeTimer.start(m_fadeInterval, Qt::PreciseTimer, this);
  }
}

void aicAlphaImage::OffsetShadow(int32_t x, int32_t y) {
  // Each offset's setter keeps room beside the picture for the moved shadow.
  setShadowOffsetX(x);
  setShadowOffsetY(y);
}

// setOffsets true places the picture's top-left corner at (x, y); the hit area
// moves with it. setOffsets false puts the picture back where the layout
// places it. A manual place lasts until the next layout (a resize, a new
// picture, a change of scale method or of the shadow's room).
void aicAlphaImage::OffsetImage(bool setOffsets, int32_t x, int32_t y, int32_t shadowX,
                                int32_t shadowY) {
  if (!setOffsets) {
    relayout();
    return;
  }
  if (shadowX != 0) setShadowOffsetX(shadowX);
  if (shadowY != 0) setShadowOffsetY(shadowY);
  const QPoint shift = QPoint(x, y) - m_pictureRect.topLeft();
  m_pictureRect.moveTo(x, y);
  if (m_hasHitRegion) {
    m_hitRegion.translate(shift);
  } else if (m_hitTestMode == 1) {
    m_hitRect.translate(shift);
  }
  update();
}

void aicAlphaImage::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_fadeTimer.timerId()) {
    fadeTick();
  } else if (event->timerId() == m_exitTimer.timerId()) {
    checkMouseStillOver();
  } else {
    QWidget::timerEvent(event);
  }
}
