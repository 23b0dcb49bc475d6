#include "image/control/aicalphaimage.h"

// Placeholder bodies; the real ones replace them.
aicAlphaImage::aicAlphaImage(QWidget* parent) : QWidget(parent) {}
aicAlphaImage::~aicAlphaImage() = default;
bool aicAlphaImage::AutoRedraw() const { return false; }
void aicAlphaImage::setAutoRedraw(bool) {}
void aicAlphaImage::setHitTest(int32_t) {}
void aicAlphaImage::setMaskColor(int32_t) {}
void aicAlphaImage::setMaskUsed(int32_t) {}
bool aicAlphaImage::InversedImage() const { return false; }
void aicAlphaImage::setInversedImage(bool) {}
bool aicAlphaImage::AutoSize() const { return false; }
void aicAlphaImage::setAutoSize(bool) {}
void aicAlphaImage::setScaleMethod(int32_t) {}
bool aicAlphaImage::StretchQuality() const { return true; }
void aicAlphaImage::setStretchQuality(bool) {}
void aicAlphaImage::setOpacity(int32_t value) { m_opacity = value; update(); }
void aicAlphaImage::setMirror(int32_t) {}
bool aicAlphaImage::KeepOriginalFormat() const { return false; }
void aicAlphaImage::setKeepOriginalFormat(bool) {}
void aicAlphaImage::setGrayScale(int32_t) {}
bool aicAlphaImage::RotateEnabled() const { return false; }
void aicAlphaImage::setRotateEnabled(bool) {}
void aicAlphaImage::setRotation(int32_t) {}
bool aicAlphaImage::ShadowEnabled() const { return false; }
void aicAlphaImage::setShadowEnabled(bool) {}
void aicAlphaImage::setShadowColor(int32_t) {}
void aicAlphaImage::setShadowOffsetX(int32_t) {}
void aicAlphaImage::setShadowOffsetY(int32_t) {}
void aicAlphaImage::setShadowDepth(int32_t) {}
void aicAlphaImage::setShadowOpacity(int32_t) {}
void aicAlphaImage::setMousePointer(int16_t) {}
void aicAlphaImage::setMouseIcon(const QPixmap&) {}
void aicAlphaImage::setOLEDropMode(int16_t) {}
void aicAlphaImage::setIntensityOffset(float) {}
void aicAlphaImage::setScaleCustomSize(int32_t, int32_t) {}
bool aicAlphaImage::GDIplusInitialized() const { return false; }
bool aicAlphaImage::GDIplusEnabled() const { return false; }
void aicAlphaImage::setPropsBit(uint32_t bit, bool on) { m_props = on ? (m_props | bit) : (m_props & ~bit); }
