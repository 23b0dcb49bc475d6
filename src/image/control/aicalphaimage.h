#pragma once
// aicAlphaImage: a control that shows one picture with per-pixel alpha over
// whatever its window draws beneath it. The picture is a c32bppDIB loaded from a
// file, bytes, the clipboard or a handle; properties decide how it is drawn
// (scaling, quality, opacity, mirror, rotation, grayscale, lightness,
// inversion, a transparent mask colour and a soft drop shadow). The control
// decides which mouse positions hit the picture, fades its opacity on request
// and reports mouse and key input to its host as signals.
//
// Its design-time state is kept in a PropertyBag (ReadProperties /
// WriteProperties); every property set that changes something reports
// PropertyChanged with the stored property's name, so a designer knows the form
// was modified.
//
// The class is split over files by purpose: aicalphaimage.cpp (life cycle and
// properties), aicalphaimage_load.cpp (loading, clearing, image bytes, the mask),
// aicalphaimage_persist.cpp (the property bag), aicalphaimage_scales.cpp
// (GetImageScales), aicalphaimage_paint.cpp (layout, cached drawings, the
// shadow, painting), aicalphaimage_hit.cpp (hit area), aicalphaimage_input.cpp
// (mouse, keys, drag and drop, enter and exit) and aicalphaimage_fade.cpp
// (fading and offsets).
#include "image/c32bppdib.h"
#include "image/control/maskrecord.h"

#include <QBasicTimer>
#include <QCursor>
#include <QPixmap>
#include <QRect>
#include <QRegion>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

class PropertyBag;
class QMimeData;
class cCrossComm;
struct StdPicture;

// Bits of the "Props" property.
namespace AlphaImageProps {
constexpr uint32_t kStretchQuality = 1;
constexpr uint32_t kAutoSize = 4;
constexpr uint32_t kAutoRedraw = 8;
constexpr uint32_t kKeepOriginalFormat = 16;
constexpr uint32_t kRenderedImageInUse = 32;  // internal, never a property of its own
constexpr uint32_t kInversedImage = 64;
constexpr uint32_t kShadowEnabled = 128;
constexpr uint32_t kRotateEnabled = 256;
constexpr uint32_t kDefault = kStretchQuality;
}  // namespace AlphaImageProps

// Scale methods of the picture inside the control.
namespace AlphaImageScale {
constexpr int32_t kFit = 0;           // fit inside, keep the aspect ratio
constexpr int32_t kStretch = 1;       // fill the desired size
constexpr int32_t kFitNoEnlarge = 2;  // fit inside, never larger than the picture
constexpr int32_t kActualSize = 3;    // the picture's own size
constexpr int32_t kCustom = 4;        // ScaleCx x ScaleCy
}  // namespace AlphaImageScale

// The container's scale modes that mouse coordinates are reported in.
namespace ContainerScaleMode {
constexpr int32_t kTwips = 1;
constexpr int32_t kPixels = 3;
}  // namespace ContainerScaleMode

// The colour number of the system's button face, the default mask colour.
inline constexpr int32_t kButtonFaceColor = -2147483633;  // 0x8000000F
inline constexpr int32_t kDefaultShadowColor = 0x404040;

class aicAlphaImage : public QWidget {
  Q_OBJECT

 public:
  explicit aicAlphaImage(QWidget* parent = nullptr);
  ~aicAlphaImage() override;

  // --- Properties (aicalphaimage.cpp). Colours are colour numbers 0x00BBGGRR,
  // or a system colour with the top bit set. A set to the current value, or
  // one outside its range, does nothing.
  bool AutoRedraw() const;
  void setAutoRedraw(bool value);
  int32_t HitTest() const { return m_hitTestMode; }  // 0..3
  void setHitTest(int32_t value);
  int32_t MaskColor() const { return m_maskColor; }
  void setMaskColor(int32_t value);
  // The mask source: 0 = no mask, 1 = MaskColor, 2..5 = the colour of the
  // picture's top-left, top-right, bottom-left or bottom-right pixel.
  int32_t MaskUsed() const { return m_maskSource; }
  void setMaskUsed(int32_t value);
  bool InversedImage() const;
  void setInversedImage(bool value);
  bool AutoSize() const;
  void setAutoSize(bool value);
  int32_t ScaleMethod() const { return m_scaleMethod; }
  void setScaleMethod(int32_t value);
  bool StretchQuality() const;
  void setStretchQuality(bool value);
  int32_t Opacity() const { return m_opacity; }
  // 0 stays 0; otherwise |value| mod 100, with 0 read as 100.
  void setOpacity(int32_t value);
  int32_t Mirror() const { return m_mirror; }  // 0 none, 1 horizontal, 2 vertical, 3 both
  void setMirror(int32_t value);
  bool KeepOriginalFormat() const;
  void setKeepOriginalFormat(bool value);
  // 0 = none, 1..8 a weighting; kept internally as value - 1.
  int32_t grayScale() const { return m_grayscale + 1; }
  void setGrayScale(int32_t value);
  bool RotateEnabled() const;
  void setRotateEnabled(bool value);
  int32_t Rotation() const { return m_rotation; }
  void setRotation(int32_t degrees);
  bool ShadowEnabled() const;
  void setShadowEnabled(bool value);
  int32_t ShadowColor() const { return m_shadowColor; }
  void setShadowColor(int32_t value);
  int32_t ShadowOffsetX() const { return m_shadowOffsetX; }
  void setShadowOffsetX(int32_t value);
  int32_t ShadowOffsetY() const { return m_shadowOffsetY; }
  void setShadowOffsetY(int32_t value);
  int32_t ShadowDepth() const { return m_shadowDepth; }  // 0..10
  void setShadowDepth(int32_t value);
  int32_t ShadowOpacity() const { return m_shadowOpacity; }  // 0..100
  void setShadowOpacity(int32_t value);
  // The platform's pointer codes: 0 default, 1 arrow, 2 cross, 3 I-beam,
  // 11 hourglass, 99 custom (MouseIcon), others as the platform defines them.
  int16_t MousePointer() const { return m_mousePointer; }
  void setMousePointer(int16_t value);
  QPixmap MouseIcon() const { return m_mouseIcon; }
  void setMouseIcon(const QPixmap& icon);
  int16_t OLEDropMode() const { return m_oleDropMode; }  // 0 none, 1 manual
  void setOLEDropMode(int16_t value);
  float IntensityOffset() const { return m_lightness; }  // -100..100
  void setIntensityOffset(float value);
  int32_t ScaleCx() const { return m_customWidth; }  // used by scale method 4
  int32_t ScaleCy() const { return m_customHeight; }
  void setScaleCustomSize(int32_t width, int32_t height);
  int32_t ImageType() const { return m_image.ImageType(); }
  bool isMouseOver() const;
  bool GDIplusInitialized() const;
  bool GDIplusEnabled() const;
  // Lets the picture use the image service (the default where it can run) or
  // not, so that the own drawing paths can be seen at work. For tests and
  // diagnostics (aicalphaimage_paint.cpp).
  void setGDIplusAllowed(bool allowed);
  // Enabled is QWidget's own; a change rebuilds the hit area (changeEvent).

  // True while the form is being designed: the whole control is the hit area
  // and loaded pictures keep their original bytes.
  bool designMode() const { return m_designMode; }
  void setDesignMode(bool designing) { m_designMode = designing; }

  // The picture, for the designer and for tests.
  const c32bppDIB& picture() const { return m_image; }

  // --- Methods (aicalphaimage_load.cpp). Loaders return the loader's result.
  void ClearImage();
  void Refresh();
  bool LoadImage_FromArray(std::span<const uint8_t> bytes, int32_t iconCx = 0, int32_t iconCy = 0,
                           int32_t iconBitDepth = 32);
  bool LoadImage_FromFile(const QString& fileName, int32_t iconCx = 0, int32_t iconCy = 0,
                          int32_t iconBitDepth = 32);
  bool LoadImage_FromStdPicture(const StdPicture& picture);
  bool LoadImage_FromClipboard();
  bool LoadImage_FromHandle(const QImage& bitmap);
  // A resource of the program (a Qt resource path built from section and id,
  // ":/<section>/<id>"), then as LoadImage_FromArray.
  bool LoadImage_FromResource(const QString& resourceId, const QString& section, int32_t iconCx = 0,
                              int32_t iconCy = 0, int32_t iconBitDepth = 32);
  bool LoadImage_FromOrignalBytes(int32_t iconCx = 0, int32_t iconCy = 0,
                                  int32_t iconBitDepth = 32);
  // Shows an error the PNG decoder reported while LoadImage_FromArray, _FromFile,
  // _FromResource or _FromOrignalBytes ran. Without a presenter: a message box
  // with an OK button; hosts without a user (tests, tools) set their own.
  using LoadErrorPresenter = std::function<void(const QString& description)>;
  void setLoadErrorPresenter(LoadErrorPresenter presenter) {
    m_loadErrorPresenter = std::move(presenter);
  }
  // The "Image" form of the picture: PNG bytes of the unmodified picture for
  // bitmaps and alpha bitmaps, the kept original bytes otherwise.
  bool GetImageBytes(std::vector<uint8_t>& bytes) const;
  bool SetImageBytes(std::span<const uint8_t> bytes);

  // (aicalphaimage_scales.cpp) The drawn size for a scale method (negative =
  // the current one) and a desired size (below 1 = the control's inner size).
  // False, outputs untouched, without a picture.
  bool GetImageScales(int32_t& width, int32_t& height, int32_t scaleMethod = -1,
                      int32_t desiredWidth = 0, int32_t desiredHeight = 0,
                      bool asRotatedImage = false) const;

  // (aicalphaimage_fade.cpp)
  void FadeInOut(int32_t finalOpacity, int32_t fadeStepPercent, int32_t fadeDelayInterval);
  void OffsetShadow(int32_t x, int32_t y);
  void OffsetImage(bool setOffsets, int32_t x, int32_t y, int32_t shadowX = 0, int32_t shadowY = 0);

  // --- Persistence (aicalphaimage_persist.cpp).
  void ReadProperties(const PropertyBag& bag);
  void WriteProperties(PropertyBag& bag) const;

  // Told by the window's cross-control link when another control takes the
  // mouse capture (aicalphaimage_input.cpp).
  void ReleaseMouseCapture();

  // Where the picture is drawn inside the control, in pixels: the size
  // GetImageScales gives (with rotation enabled, the square that holds it
  // turned), centred. The one bound: a rectangle of more than
  // kMaxDrawingPixels (16384 x 16384) is made smaller with its proportions
  // kept, because the cached drawing and the hit area are drawings of it.
  QRect pictureRect() const { return m_pictureRect; }
  static constexpr int64_t kMaxDrawingPixels = c32bppDIB::kMaxRenderPixels;
  // True when pos (control pixels) is inside the hit area.
  bool isHit(const QPoint& pos) const;

 signals:
  // The host's events, in the order of the control's event interface.
  void Click(int16_t button);
  void DblClick(int16_t button);
  void MouseExit();
  void MouseEnter();
  void MouseUp(int16_t button, int16_t shift, float x, float y);
  void MouseMove(int16_t button, int16_t shift, float x, float y);
  void MouseDown(int16_t button, int16_t shift, float x, float y);
  void KeyDown(int16_t keyCode, int16_t shift);
  void KeyPress(int16_t keyAscii);
  void KeyUp(int16_t keyCode, int16_t shift);
  void OLEDragDrop(const QMimeData* data, int32_t effect, int16_t button, int16_t shift, float x,
                   float y);
  void OLEDragOver(const QMimeData* data, int32_t effect, int16_t button, int16_t shift, float x,
                   float y, int16_t state);
  void FadeTerminated(int32_t finalOpacity);

  // A property changed; name is the name it is stored and reported under.
  void PropertyChanged(const QString& name);

 protected:
  // (aicalphaimage_paint.cpp)
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // (aicalphaimage_input.cpp)
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void changeEvent(QEvent* event) override;
  // The fade and mouse-exit one-shot timers (aicalphaimage_fade.cpp and _input.cpp).
  void timerEvent(QTimerEvent* event) override;

 private:
  // --- Shared work between the files.
  // After a successful load: mask, inversion, stretch quality, shadow, cached
  // drawings, layout, repaint (aicalphaimage_load.cpp).
  void applyAfterLoad();
  // Makes the mask colour of the current mask source transparent, or undoes it.
  void applyMask();
  void undoMask();
  // (aicalphaimage_paint.cpp) Drops and, while AutoRedraw is on, rebuilds the
  // cached drawing of the picture.
  void rebuildCachedDrawing();
  // Drops and, while ShadowEnabled is on, rebuilds the prepared shadow image.
  void rebuildShadow();
  // Recomputes the picture rectangle (and resizes the control with AutoSize),
  // then rebuilds the hit area.
  void relayout();
  // A colour number made a real 0x00BBGGRR colour (system colours resolved).
  uint32_t resolvedColor(int32_t colorNumber) const;
  // (aicalphaimage_hit.cpp) Rebuilds the hit region or rectangle.
  void rebuildHitArea();
  // (aicalphaimage_input.cpp) Pixels to the container's scale units.
  float toContainerUnits(int pixels) const;
  int16_t shiftState(Qt::KeyboardModifiers modifiers) const;
  // Takes the shared capture and starts the 100 ms exit check.
  void takeMouseCapture();
  void checkMouseStillOver();
  // (aicalphaimage_fade.cpp)
  void fadeTick();
  // The window's shared link, found or created on first use.
  cCrossComm* crossComm();
  // Lets go of the window's link (capture and reference): on a move to another
  // window, and what the destructor does (aicalphaimage_input.cpp).
  void detachCrossComm();
  void setPropsBit(uint32_t bit, bool on);
  bool propsBit(uint32_t bit) const { return (m_props & bit) != 0; }

  // --- Control state.
  uint32_t m_props = AlphaImageProps::kDefault;
  int32_t m_rotation = 0;
  int32_t m_hitTestMode = 0;
  int32_t m_grayscale = -1;
  int32_t m_renderMode = ContainerScaleMode::kTwips;
  int32_t m_scaleMethod = AlphaImageScale::kFit;
  int32_t m_mirror = 0;
  int32_t m_opacity = 100;
  float m_lightness = 0;
  int32_t m_maskColor = kButtonFaceColor;
  int32_t m_appliedMaskColor = kButtonFaceColor;
  bool m_maskApplied = false;
  MaskRecord m_maskRecord;  // the pixels the applied mask removed
  int32_t m_maskSource = 0;
  int32_t m_customWidth = 0;
  int32_t m_customHeight = 0;
  c32bppDIB m_image;
  std::shared_ptr<c32bppDIB> m_renderedImage;
  std::shared_ptr<c32bppDIB> m_shadowImage;
  int32_t m_shadowColor = kDefaultShadowColor;
  int32_t m_shadowOffsetX = 2;
  int32_t m_shadowOffsetY = 2;
  int32_t m_shadowDepth = 2;
  int32_t m_shadowOpacity = 50;
  cCrossComm* m_crossComm = nullptr;
  int16_t m_mousePointer = 0;
  QPixmap m_mouseIcon;
  int16_t m_oleDropMode = 0;
  bool m_designMode = false;
  LoadErrorPresenter m_loadErrorPresenter;

  // --- Painting and input state.
  QRect m_pictureRect;
  // The picture's drawn size: m_pictureRect's own size, or with rotation
  // enabled the picture inside that square (the square's side is its diagonal).
  QSize m_drawnSize;
  bool m_inLayout = false;  // relayout() is running
  QRegion m_hitRegion;
  bool m_hasHitRegion = false;
  QRect m_hitRect;
  uint16_t m_buttonState = 0;
  int32_t m_fadeStep = 0;
  int32_t m_fadeTarget = 0;
  int32_t m_fadeInterval = 10;
  QBasicTimer m_fadeTimer;
  QBasicTimer m_exitTimer;
};
