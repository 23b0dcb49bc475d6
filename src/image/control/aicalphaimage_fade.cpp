#include "image/control/aicalphaimage.h"

// Placeholder bodies; the real ones replace them.
void aicAlphaImage::FadeInOut(int32_t, int32_t, int32_t) {}
void aicAlphaImage::OffsetShadow(int32_t, int32_t) {}
void aicAlphaImage::OffsetImage(bool, int32_t, int32_t, int32_t, int32_t) {}
void aicAlphaImage::timerEvent(QTimerEvent* event) { QWidget::timerEvent(event); }
void aicAlphaImage::fadeTick() {}
