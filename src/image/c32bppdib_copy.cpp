// Copying an image into another one, scaled or mirrored when the sizes differ.
#include "image/c32bppdib.h"

#include <QImage>
#include <QTransform>

#include <cstdlib>
#include <cstring>

void c32bppDIB::CopyImageTo(std::shared_ptr<c32bppDIB>& target, int32_t width, int32_t height,
                            bool copyOriginalFormat) const {
  if (!m_bits) return;
  if (width == 0) width = m_width;
  if (height == 0) height = m_height;
  if (width == INT32_MIN || height == INT32_MIN) return;
  const int32_t absWidth = std::abs(width);
  const int32_t absHeight = std::abs(height);

  if (!target) {
    target = std::make_shared<c32bppDIB>();
    target->setGdiToken(m_gdiToken);
    target->setGDIplusEnabled(isGDIplusEnabled());
    target->setHighQualityInterpolation(m_highQuality);
    if (!target->InitializeDIB(absWidth, absHeight)) return;
  } else {
    target->setGdiToken(m_gdiToken);
    if (target->Width() != absWidth || target->Height() != absHeight || !target->BitsPointer()) {
      if (!target->InitializeDIB(absWidth, absHeight)) return;
    }
  }
  target->SetAlphaFlag(m_alpha);
  target->SetImageTypeCode(m_imageType);

  if (width == m_width && height == m_height) {
    std::memcpy(target->BitsPointer(), m_bits.get(), bufferSize());
  } else {
    target->EraseDIB();
    target->SetAlphaFlag(m_alpha);
    target->SetImageTypeCode(m_imageType);
    scaledCopyInto(*target, width, height);
  }
  if (copyOriginalFormat) target->SetOriginalBytes(m_originalBytes);
}

// Draws the whole image into the target at (0, 0, |width|, |height|), mirrored
// along an axis whose size is negative. Smooth interpolation follows the
// high-quality flag.
void c32bppDIB::scaledCopyInto(c32bppDIB& target, int32_t width, int32_t height) const {
  const QImage source(static_cast<const uchar*>(m_bits.get()), m_width, m_height, scanWidth(),
                      QImage::Format_ARGB32_Premultiplied);
  // The source view is bottom-up; flip it to picture orientation for drawing.
  QTransform toPicture(1, 0, 0, -1, 0, m_height);
  QPainter* painter = target.LoadDIBinDC(true);
  if (!painter) return;
  painter->save();
  painter->setCompositionMode(QPainter::CompositionMode_Source);
  painter->setRenderHint(QPainter::SmoothPixmapTransform, m_highQuality);
  QTransform placement;
  placement.translate(width < 0 ? -width : 0, height < 0 ? -height : 0);
  placement.scale(static_cast<qreal>(width) / m_width, static_cast<qreal>(height) / m_height);
  painter->setTransform(toPicture * placement, true);
  painter->drawImage(0, 0, source);
  painter->restore();
  target.LoadDIBinDC(false);
}
