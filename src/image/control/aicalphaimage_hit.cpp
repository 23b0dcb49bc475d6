#include "image/control/aicalphaimage.h"

// Placeholder bodies; the real ones replace them.
bool aicAlphaImage::isHit(const QPoint& pos) const { return rect().contains(pos); }
void aicAlphaImage::rebuildHitArea() {}
