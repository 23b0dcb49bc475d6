// The control's design-time state in its window's property bag.
//
// Keys are read and written in one fixed order with their stored types; a
// value equal to its default is not kept. "Mask" exists only while a mask is
// applied and "ScaleCx"/"ScaleCy" only with the custom scale method; a save
// removes them otherwise, so a reused bag never keeps a stale one. Values read
// back are held to their property's range, so a hand-edited form cannot put
// the control into a state its setters would refuse.
#include "image/control/aicalphaimage.h"

#include "image/control/ccrosscomm.h"
#include "platform/propertybag.h"

#include <QBuffer>
#include <QVariant>

#include <algorithm>

namespace {

namespace Key {
const QString kImage = QStringLiteral("Image");
const QString kScaler = QStringLiteral("Scaler");
const QString kOpacity = QStringLiteral("Opacity");
const QString kMirror = QStringLiteral("Mirror");
const QString kAngle = QStringLiteral("Angle");
const QString kGrayScale = QStringLiteral("GrayScale");
const QString kHitTest = QStringLiteral("HitTest");
const QString kProps = QStringLiteral("Props");
const QString kMaskUsed = QStringLiteral("MaskUsed");
const QString kMaskColor = QStringLiteral("MaskColor");
const QString kMaskSource = QStringLiteral("MaskSource");
const QString kMask = QStringLiteral("Mask");
const QString kEnabled = QStringLiteral("Enabled");
const QString kMouseIcon = QStringLiteral("MIcon");
const QString kMousePointer = QStringLiteral("MPointer");
const QString kOleDrop = QStringLiteral("OLEdrop");
const QString kScaleCx = QStringLiteral("ScaleCx");
const QString kScaleCy = QStringLiteral("ScaleCy");
const QString kShadowColor = QStringLiteral("ShadowColor");
const QString kShadowDepth = QStringLiteral("ShadowDepth");
const QString kShadowX = QStringLiteral("ShadowX");
const QString kShadowY = QStringLiteral("ShadowY");
const QString kShadowOpacity = QStringLiteral("ShadowOpacity");
const QString kIntensity = QStringLiteral("Intensity");
}  // namespace Key

// The defaults of the stored values.
constexpr int16_t kDefaultOpacity = 100;
constexpr int32_t kDefaultGrayScale = -1;
constexpr int16_t kDefaultShadowDepth = 2;
constexpr int16_t kDefaultShadowOffset = 2;
constexpr int16_t kDefaultShadowOpacity = 50;
// Props keeps the internal "cached drawing in use" bit out of the form: it is
// run-time state and is worked out again when the form is loaded.
constexpr uint32_t kStoredPropsMask = ~AlphaImageProps::kRenderedImageInUse;

template <class T>
T inRangeOr(T value, T low, T high, T fallback) {
  return (value >= low && value <= high) ? value : fallback;
}

int32_t opacityInRange(int32_t stored) {
  return inRangeOr<int32_t>(stored, 0, 100, kDefaultOpacity);
}

QByteArray pngBytes(const QPixmap& pixmap) {
  QByteArray bytes;
  if (pixmap.isNull()) return bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  pixmap.save(&buffer, "PNG");
  return bytes;
}

// The container's scale mode, which mouse coordinates are reported in.
int32_t containerScaleMode(const QWidget* parent) {
  if (parent == nullptr) return ContainerScaleMode::kTwips;
  const QVariant mode = parent->property("ScaleMode");
  bool ok = false;
  const int32_t value = mode.toInt(&ok);
  return (mode.isValid() && ok) ? value : ContainerScaleMode::kTwips;
}

}  // namespace

void aicAlphaImage::ReadProperties(const PropertyBag& bag) {
  // Start from a fresh control.
  ClearImage();
  m_props = AlphaImageProps::kDefault;
  m_lightness = 0;
  m_appliedMaskColor = kButtonFaceColor;

  const QByteArray image = bag.ReadProperty(Key::kImage, QByteArray());
  m_scaleMethod = bag.ReadProperty<int32_t>(Key::kScaler, AlphaImageScale::kFit);
  m_opacity = opacityInRange(bag.ReadProperty<int16_t>(Key::kOpacity, kDefaultOpacity));
  m_mirror = inRangeOr<int32_t>(bag.ReadProperty<int32_t>(Key::kMirror, 0), 0, 3, 0);
  m_rotation = bag.ReadProperty<int32_t>(Key::kAngle, 0);
  m_grayscale = inRangeOr<int32_t>(bag.ReadProperty<int32_t>(Key::kGrayScale, kDefaultGrayScale),
                                   -1, 7, kDefaultGrayScale);
  m_hitTestMode = inRangeOr<int32_t>(bag.ReadProperty<int32_t>(Key::kHitTest, 0), 0, 3, 0);
  m_props = static_cast<uint32_t>(bag.ReadProperty<int32_t>(
                Key::kProps, static_cast<int32_t>(AlphaImageProps::kDefault))) &
            kStoredPropsMask;
  const bool maskUsed = bag.ReadProperty(Key::kMaskUsed, false);
  m_maskColor = bag.ReadProperty<int32_t>(Key::kMaskColor, kButtonFaceColor);
  m_maskSource = inRangeOr<int32_t>(bag.ReadProperty<int32_t>(Key::kMaskSource, 0), 0, 5, 0);
  if (maskUsed) m_appliedMaskColor = bag.ReadProperty<int32_t>(Key::kMask, kButtonFaceColor);
  setEnabled(bag.ReadProperty(Key::kEnabled, true));
  QPixmap mouseIcon;
  mouseIcon.loadFromData(bag.ReadProperty(Key::kMouseIcon, StoredPicture{}).fileBytes);
  m_mouseIcon = mouseIcon;
  const int16_t mousePointer = bag.ReadProperty<int16_t>(Key::kMousePointer, 0);
  const int16_t oleDropMode = bag.ReadProperty<int16_t>(Key::kOleDrop, 0);
  m_customWidth = 0;
  m_customHeight = 0;
  if (m_scaleMethod == AlphaImageScale::kCustom) {
    m_customWidth = std::max(bag.ReadProperty<int32_t>(Key::kScaleCx, 0), 0);
    m_customHeight = std::max(bag.ReadProperty<int32_t>(Key::kScaleCy, 0), 0);
  }
  m_shadowColor = bag.ReadProperty<int32_t>(Key::kShadowColor, kDefaultShadowColor);
  m_shadowDepth =
      inRangeOr<int32_t>(bag.ReadProperty<int16_t>(Key::kShadowDepth, kDefaultShadowDepth), 0, 10,
                         kDefaultShadowDepth);
  m_shadowOffsetX = bag.ReadProperty<int16_t>(Key::kShadowX, kDefaultShadowOffset);
  m_shadowOffsetY = bag.ReadProperty<int16_t>(Key::kShadowY, kDefaultShadowOffset);
  m_shadowOpacity =
      inRangeOr<int32_t>(bag.ReadProperty<int16_t>(Key::kShadowOpacity, kDefaultShadowOpacity), 0,
                         100, kDefaultShadowOpacity);
  m_lightness = inRangeOr(bag.ReadProperty(Key::kIntensity, 0.0f), -100.0f, 100.0f, 0.0f);

  // The forwarded window properties go through their setters, which only act
  // on a change: start them from the window's own defaults.
  m_mousePointer = 0;
  m_oleDropMode = 0;
  unsetCursor();
  setAcceptDrops(false);
  setMousePointer(mousePointer);
  setOLEDropMode(oleDropMode);

  m_renderMode = containerScaleMode(parentWidget());

  m_image.setHighQualityInterpolation(StretchQuality());
  bool loaded = false;
  if (!image.isEmpty()) {
    m_image.setGdiToken(crossComm() != nullptr ? crossComm()->gdiToken() : 0);
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(image.constData()),
                                         static_cast<size_t>(image.size()));
    loaded = m_image.LoadPicture_Stream(bytes, width(), height(), 0, 0,
                                        KeepOriginalFormat() || designMode(), 32);
    m_image.setHighQualityInterpolation(StretchQuality());
    if (!loaded) {
      m_rotation = 0;
      m_mirror = 0;
      m_customWidth = 0;
      m_customHeight = 0;
      m_opacity = 100;
    }
  }

  // Show the picture as it was when saved: mirror, the applied mask,
  // inversion, then what is drawn from it.
  if (loaded) {
    if (m_mirror != 0) m_image.MirrorImage((m_mirror & 1) != 0, (m_mirror & 2) != 0);
    if (maskUsed) {
      m_maskApplied = m_maskRecord.apply(m_image, resolvedColor(m_appliedMaskColor));
    }
    if (InversedImage()) m_image.MakeImageInverse();
  }
  if (AutoRedraw() && !designMode()) setPropsBit(AlphaImageProps::kRenderedImageInUse, true);
  rebuildCachedDrawing();
  rebuildShadow();
  relayout();
  update();
}

void aicAlphaImage::WriteProperties(PropertyBag& bag) const {
  std::vector<uint8_t> picture;
  QByteArray image;
  if (GetImageBytes(picture)) {
    image = QByteArray(reinterpret_cast<const char*>(picture.data()),
                       static_cast<qsizetype>(picture.size()));
  }
  bag.WriteProperty(Key::kImage, image, QByteArray());
  bag.WriteProperty<int32_t>(Key::kScaler, m_scaleMethod, AlphaImageScale::kFit);
  bag.WriteProperty<int16_t>(Key::kOpacity, static_cast<int16_t>(m_opacity), kDefaultOpacity);
  bag.WriteProperty<int32_t>(Key::kMirror, m_mirror, 0);
  bag.WriteProperty<int32_t>(Key::kAngle, m_rotation, 0);
  bag.WriteProperty<int32_t>(Key::kGrayScale, m_grayscale, kDefaultGrayScale);
  bag.WriteProperty<int32_t>(Key::kHitTest, m_hitTestMode, 0);
  bag.WriteProperty<int32_t>(Key::kProps, static_cast<int32_t>(m_props & kStoredPropsMask),
                             static_cast<int32_t>(AlphaImageProps::kDefault));
  bag.WriteProperty(Key::kMaskUsed, m_maskApplied, false);
  bag.WriteProperty<int32_t>(Key::kMaskColor, m_maskColor, kButtonFaceColor);
  bag.WriteProperty<int32_t>(Key::kMaskSource, m_maskSource, 0);
  if (m_maskApplied) {
    bag.WriteProperty<int32_t>(Key::kMask, m_appliedMaskColor, kButtonFaceColor);
  } else {
    bag.remove(Key::kMask);
  }
  // The control's own setting, not whether a disabled parent greys it out.
  bag.WriteProperty(Key::kEnabled, !testAttribute(Qt::WA_ForceDisabled), true);
  bag.WriteProperty(Key::kMouseIcon, StoredPicture{pngBytes(m_mouseIcon)}, StoredPicture{});
  bag.WriteProperty<int16_t>(Key::kMousePointer, m_mousePointer, 0);
  bag.WriteProperty<int16_t>(Key::kOleDrop, m_oleDropMode, 0);
  if (m_scaleMethod == AlphaImageScale::kCustom) {
    bag.WriteProperty<int32_t>(Key::kScaleCx, m_customWidth, 0);
    bag.WriteProperty<int32_t>(Key::kScaleCy, m_customHeight, 0);
  } else {
    bag.remove(Key::kScaleCx);
    bag.remove(Key::kScaleCy);
  }
  bag.WriteProperty<int32_t>(Key::kShadowColor, m_shadowColor, kDefaultShadowColor);
  bag.WriteProperty<int16_t>(Key::kShadowDepth, static_cast<int16_t>(m_shadowDepth),
                             kDefaultShadowDepth);
  bag.WriteProperty<int16_t>(Key::kShadowX, static_cast<int16_t>(m_shadowOffsetX),
                             kDefaultShadowOffset);
  bag.WriteProperty<int16_t>(Key::kShadowY, static_cast<int16_t>(m_shadowOffsetY),
                             kDefaultShadowOffset);
  bag.WriteProperty<int16_t>(Key::kShadowOpacity, static_cast<int16_t>(m_shadowOpacity),
                             kDefaultShadowOpacity);
  bag.WriteProperty(Key::kIntensity, m_lightness, 0.0f);
}
