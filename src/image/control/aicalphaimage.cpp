// Life cycle and properties of the alpha image control.
//
// The picture in m_image is kept the way it is shown: mirrored, masked and
// inverted in memory. Those three changes are undone on a copy whenever the
// picture's bytes are saved, so the stored picture stays the unmodified one.
//
// Every set that changes something reports PropertyChanged; a set to the
// current value, or outside the property's range, does nothing and reports
// nothing.
#include "image/control/aicalphaimage.h"

#include "image/cgdiplus.h"
#include "image/control/ccrosscomm.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

constexpr int32_t kMaxMaskSource = 5;
constexpr int32_t kMaxHitTestMode = 3;
constexpr int32_t kMaxMirror = 3;
constexpr int32_t kMaxGrayScale = 8;
constexpr int32_t kMaxShadowDepth = 10;
constexpr int32_t kMaxShadowOpacity = 100;
constexpr float kMaxIntensity = 100.0f;
constexpr int16_t kCustomPointer = 99;
constexpr int16_t kLastStandardPointer = 15;

// Opacity's set rule: 0 stays 0 (invisible); anything else wraps into 1..100.
int32_t normalisedOpacity(int32_t value) {
  if (value == 0) return 0;
  const int64_t wrapped = std::llabs(static_cast<int64_t>(value)) % 100;
  return wrapped == 0 ? 100 : static_cast<int32_t>(wrapped);
}

// Shadow offsets are stored as 16-bit numbers; keeping them in that range
// means what is shown is what is saved.
int32_t storableOffset(int32_t value) {
  return std::clamp<int32_t>(value, std::numeric_limits<int16_t>::min(),
                             std::numeric_limits<int16_t>::max());
}

// The platform's pointer codes as Qt cursor shapes.
Qt::CursorShape cursorShape(int16_t pointer) {
  switch (pointer) {
    case 1:
      return Qt::ArrowCursor;
    case 2:
      return Qt::CrossCursor;
    case 3:
      return Qt::IBeamCursor;
    case 4:
      return Qt::ArrowCursor;  // the "icon" pointer: a plain arrow here
    case 5:
      return Qt::SizeAllCursor;
    case 6:
      return Qt::SizeBDiagCursor;
    case 7:
      return Qt::SizeVerCursor;
    case 8:
      return Qt::SizeFDiagCursor;
    case 9:
      return Qt::SizeHorCursor;
    case 10:
      return Qt::UpArrowCursor;
    case 11:
      return Qt::WaitCursor;
    case 12:
      return Qt::ForbiddenCursor;
    case 13:
      return Qt::BusyCursor;
    case 14:
      return Qt::WhatsThisCursor;
    case 15:
      return Qt::SizeAllCursor;
    default:
      return Qt::ArrowCursor;
  }
}

bool isKnownPointer(int16_t pointer) {
  return (pointer >= 0 && pointer <= kLastStandardPointer) || pointer == kCustomPointer;
}

bool samePixmap(const QPixmap& a, const QPixmap& b) {
  if (a.isNull() || b.isNull()) return a.isNull() == b.isNull();
  return a.cacheKey() == b.cacheKey() || a.toImage() == b.toImage();
}

}  // namespace

aicAlphaImage::aicAlphaImage(QWidget* parent) : QWidget(parent) {
  // The window shows through wherever the picture is transparent.
  setAttribute(Qt::WA_NoSystemBackground);
  setAutoFillBackground(false);
  // Entering the picture is noticed from plain moves, without a button held.
  setMouseTracking(true);
  m_image.setHighQualityInterpolation(StretchQuality());
}

aicAlphaImage::~aicAlphaImage() {
  m_fadeTimer.stop();
  detachCrossComm();
}

void aicAlphaImage::setPropsBit(uint32_t bit, bool on) {
  m_props = on ? (m_props | bit) : (m_props & ~bit);
}

// --- Drawing cache and layout switches.

bool aicAlphaImage::AutoRedraw() const { return propsBit(AlphaImageProps::kAutoRedraw); }

void aicAlphaImage::setAutoRedraw(bool value) {
  if (value == AutoRedraw()) return;
  setPropsBit(AlphaImageProps::kAutoRedraw, value);
  if (!designMode()) {
    setPropsBit(AlphaImageProps::kRenderedImageInUse, value);
    if (value) {
      rebuildCachedDrawing();
    } else {
      m_renderedImage.reset();
    }
    update();
  }
  emit PropertyChanged(QStringLiteral("AutoRedraw"));
}

bool aicAlphaImage::AutoSize() const { return propsBit(AlphaImageProps::kAutoSize); }

void aicAlphaImage::setAutoSize(bool value) {
  if (value == AutoSize()) return;
  setPropsBit(AlphaImageProps::kAutoSize, value);
  relayout();
  emit PropertyChanged(QStringLiteral("AutoSize"));
}

void aicAlphaImage::setScaleMethod(int32_t value) {
  if (value == m_scaleMethod) return;
  m_scaleMethod = value;
  relayout();
  emit PropertyChanged(QStringLiteral("Stretch"));
}

void aicAlphaImage::setScaleCustomSize(int32_t width, int32_t height) {
  if (width < 0 || height < 0) return;
  const bool widthChanged = width != m_customWidth;
  const bool heightChanged = height != m_customHeight;
  if (!widthChanged && !heightChanged) return;
  m_customWidth = width;
  m_customHeight = height;
  if (m_scaleMethod == AlphaImageScale::kCustom) relayout();
  if (widthChanged) emit PropertyChanged(QStringLiteral("ScaleCx"));
  if (heightChanged) emit PropertyChanged(QStringLiteral("ScaleCy"));
}

bool aicAlphaImage::StretchQuality() const { return propsBit(AlphaImageProps::kStretchQuality); }

void aicAlphaImage::setStretchQuality(bool value) {
  if (value == StretchQuality()) return;
  setPropsBit(AlphaImageProps::kStretchQuality, value);
  m_image.setHighQualityInterpolation(value);
  rebuildCachedDrawing();
  update();
  emit PropertyChanged(QStringLiteral("StretchQuality"));
}

bool aicAlphaImage::KeepOriginalFormat() const {
  return propsBit(AlphaImageProps::kKeepOriginalFormat);
}

void aicAlphaImage::setKeepOriginalFormat(bool value) {
  if (value == KeepOriginalFormat()) return;
  setPropsBit(AlphaImageProps::kKeepOriginalFormat, value);
  emit PropertyChanged(QStringLiteral("KeepOriginalFormat"));
}

void aicAlphaImage::setHitTest(int32_t value) {
  if (value < 0 || value > kMaxHitTestMode || value == m_hitTestMode) return;
  m_hitTestMode = value;
  rebuildHitArea();
  emit PropertyChanged(QStringLiteral("HitTest"));
}

// --- The picture itself: mask, inversion, mirror, rotation.

void aicAlphaImage::setMaskColor(int32_t value) {
  if (value == m_maskColor) return;
  const bool remask = m_maskApplied && m_maskSource == 1;
  if (remask) undoMask();
  m_maskColor = value;
  if (remask) {
    applyMask();
    rebuildCachedDrawing();
    rebuildShadow();
    rebuildHitArea();
    update();
  }
  emit PropertyChanged(QStringLiteral("MaskColor"));
}

void aicAlphaImage::setMaskUsed(int32_t value) {
  if (value < 0 || value > kMaxMaskSource || value == m_maskSource) return;
  undoMask();
  m_maskSource = value;
  applyMask();
  rebuildCachedDrawing();
  rebuildShadow();
  rebuildHitArea();
  update();
  emit PropertyChanged(QStringLiteral("MaskUsed"));
}

bool aicAlphaImage::InversedImage() const { return propsBit(AlphaImageProps::kInversedImage); }

void aicAlphaImage::setInversedImage(bool value) {
  if (value == InversedImage()) return;
  setPropsBit(AlphaImageProps::kInversedImage, value);
  // Inverting twice gives the original colours back exactly.
  m_image.MakeImageInverse();
  rebuildCachedDrawing();
  update();
  emit PropertyChanged(QStringLiteral("InversedImage"));
}

void aicAlphaImage::setMirror(int32_t value) {
  if (value < 0 || value > kMaxMirror || value == m_mirror) return;
  // Flip only the axes whose state changes.
  const int32_t change = value ^ m_mirror;
  m_image.MirrorImage((change & 1) != 0, (change & 2) != 0);
  m_maskRecord.mirror(m_image.Width(), m_image.Height(), (change & 1) != 0, (change & 2) != 0);
  m_mirror = value;
  rebuildCachedDrawing();
  rebuildShadow();
  rebuildHitArea();
  update();
  emit PropertyChanged(QStringLiteral("Mirror"));
}

bool aicAlphaImage::RotateEnabled() const { return propsBit(AlphaImageProps::kRotateEnabled); }

void aicAlphaImage::setRotateEnabled(bool value) {
  if (value == RotateEnabled()) return;
  setPropsBit(AlphaImageProps::kRotateEnabled, value);
  rebuildCachedDrawing();
  rebuildShadow();
  relayout();
  update();
  emit PropertyChanged(QStringLiteral("RotateEnabled"));
}

void aicAlphaImage::setRotation(int32_t degrees) {
  if (degrees == m_rotation) return;
  m_rotation = degrees;
  if (RotateEnabled()) {
    rebuildCachedDrawing();
    rebuildShadow();
    rebuildHitArea();
    update();
  }
  emit PropertyChanged(QStringLiteral("Rotation"));
}

// --- How the picture is drawn.

void aicAlphaImage::setOpacity(int32_t value) {
  const int32_t opacity = normalisedOpacity(value);
  if (opacity == m_opacity) return;
  m_opacity = opacity;
  update();
  emit PropertyChanged(QStringLiteral("Opacity"));
}

void aicAlphaImage::setGrayScale(int32_t value) {
  if (value < 0 || value > kMaxGrayScale || value - 1 == m_grayscale) return;
  m_grayscale = value - 1;
  rebuildCachedDrawing();
  update();
  emit PropertyChanged(QStringLiteral("GrayScale"));
}

void aicAlphaImage::setIntensityOffset(float value) {
  // NaN fails both comparisons and is ignored with the other out-of-range values.
  if (!(value >= -kMaxIntensity && value <= kMaxIntensity) || value == m_lightness) return;
  m_lightness = value;
  rebuildCachedDrawing();
  update();
  emit PropertyChanged(QStringLiteral("Intensity"));
}

// --- The drop shadow.

bool aicAlphaImage::ShadowEnabled() const { return propsBit(AlphaImageProps::kShadowEnabled); }

void aicAlphaImage::setShadowEnabled(bool value) {
  if (value == ShadowEnabled()) return;
  setPropsBit(AlphaImageProps::kShadowEnabled, value);
  rebuildShadow();
  update();
  emit PropertyChanged(QStringLiteral("ShadowEnabled"));
}

void aicAlphaImage::setShadowColor(int32_t value) {
  if (value == m_shadowColor) return;
  m_shadowColor = value;
  rebuildShadow();
  update();
  emit PropertyChanged(QStringLiteral("ShadowColor"));
}

void aicAlphaImage::setShadowOffsetX(int32_t value) {
  value = storableOffset(value);
  if (value == m_shadowOffsetX) return;
  m_shadowOffsetX = value;
  // The room kept for the shadow follows its offset.
  if (ShadowEnabled()) {
    relayout();
    update();
  }
  emit PropertyChanged(QStringLiteral("ShadowOffsetX"));
}

void aicAlphaImage::setShadowOffsetY(int32_t value) {
  value = storableOffset(value);
  if (value == m_shadowOffsetY) return;
  m_shadowOffsetY = value;
  // The room kept for the shadow follows its offset.
  if (ShadowEnabled()) {
    relayout();
    update();
  }
  emit PropertyChanged(QStringLiteral("ShadowOffsetY"));
}

void aicAlphaImage::setShadowDepth(int32_t value) {
  if (value < 0 || value > kMaxShadowDepth || value == m_shadowDepth) return;
  m_shadowDepth = value;
  rebuildShadow();
  update();
  emit PropertyChanged(QStringLiteral("ShadowDepth"));
}

void aicAlphaImage::setShadowOpacity(int32_t value) {
  if (value < 0 || value > kMaxShadowOpacity || value == m_shadowOpacity) return;
  m_shadowOpacity = value;
  if (ShadowEnabled()) update();
  emit PropertyChanged(QStringLiteral("ShadowOpacity"));
}

// --- Forwarded to the control window.

void aicAlphaImage::setMousePointer(int16_t value) {
  if (!isKnownPointer(value) || value == m_mousePointer) return;
  m_mousePointer = value;
  if (value == 0 || (value == kCustomPointer && m_mouseIcon.isNull())) {
    unsetCursor();
  } else if (value == kCustomPointer) {
    setCursor(QCursor(m_mouseIcon));
  } else {
    setCursor(QCursor(cursorShape(value)));
  }
  emit PropertyChanged(QStringLiteral("MousePointer"));
}

void aicAlphaImage::setMouseIcon(const QPixmap& icon) {
  if (samePixmap(icon, m_mouseIcon)) return;
  m_mouseIcon = icon;
  if (m_mousePointer == kCustomPointer) {
    if (icon.isNull()) {
      unsetCursor();
    } else {
      setCursor(QCursor(icon));
    }
  }
  emit PropertyChanged(QStringLiteral("MouseIcon"));
}

void aicAlphaImage::setOLEDropMode(int16_t value) {
  if (value < 0 || value > 1 || value == m_oleDropMode) return;
  m_oleDropMode = value;
  setAcceptDrops(value == 1);
  emit PropertyChanged(QStringLiteral("OLEDropMode"));
}

// --- The image service.

bool aicAlphaImage::GDIplusInitialized() const {
  const uint32_t token = m_crossComm != nullptr ? m_crossComm->gdiToken() : m_image.gdiToken();
  return token != 0 && cGDIPlus::isSessionActive(token);
}

bool aicAlphaImage::GDIplusEnabled() const { return m_image.isGDIplusEnabled(); }
