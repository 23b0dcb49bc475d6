#include "image/control/aicalphaimage.h"

// Placeholder bodies; the real ones replace them.
void aicAlphaImage::mousePressEvent(QMouseEvent*) {}
void aicAlphaImage::mouseReleaseEvent(QMouseEvent*) {}
void aicAlphaImage::mouseDoubleClickEvent(QMouseEvent*) {}
void aicAlphaImage::mouseMoveEvent(QMouseEvent*) {}
void aicAlphaImage::keyPressEvent(QKeyEvent*) {}
void aicAlphaImage::keyReleaseEvent(QKeyEvent*) {}
void aicAlphaImage::dragEnterEvent(QDragEnterEvent*) {}
void aicAlphaImage::dragMoveEvent(QDragMoveEvent*) {}
void aicAlphaImage::dragLeaveEvent(QDragLeaveEvent*) {}
void aicAlphaImage::dropEvent(QDropEvent*) {}
void aicAlphaImage::changeEvent(QEvent* event) { QWidget::changeEvent(event); }
void aicAlphaImage::ReleaseMouseCapture() {}
bool aicAlphaImage::isMouseOver() const { return false; }
float aicAlphaImage::toContainerUnits(int pixels) const { return static_cast<float>(pixels); }
int16_t aicAlphaImage::shiftState(Qt::KeyboardModifiers) const { return 0; }
void aicAlphaImage::takeMouseCapture() {}
void aicAlphaImage::checkMouseStillOver() {}
cCrossComm* aicAlphaImage::crossComm() { return nullptr; }
