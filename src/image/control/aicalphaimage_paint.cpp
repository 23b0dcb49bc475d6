#include "image/control/aicalphaimage.h"

// Placeholder bodies; the real ones replace them.
void aicAlphaImage::paintEvent(QPaintEvent*) {}
void aicAlphaImage::resizeEvent(QResizeEvent*) {}
void aicAlphaImage::rebuildCachedDrawing() {}
void aicAlphaImage::rebuildShadow() {}
void aicAlphaImage::relayout() {}
uint32_t aicAlphaImage::resolvedColor(int32_t colorNumber) const { return static_cast<uint32_t>(colorNumber) & 0xFFFFFFu; }
