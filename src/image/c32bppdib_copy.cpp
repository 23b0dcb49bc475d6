// Copying an image into another one, scaled or mirrored when the sizes differ.
#include "image/c32bppdib.h"

#include <cstdlib>
#include <cstring>

#include "image/render_request.h"

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

// Draws the whole image into the (cleared) target at (0, 0, |width|, |height|),
// mirrored along an axis whose size is negative, by the first path that
// applies: the image service unless the system blend may draw unsmoothed; the
// own path for a mirrored copy, or when the system blend may not draw or the
// copy is smoothed; otherwise the path Render takes for the whole image at
// full opacity. The copy so equals what Render draws.
void c32bppDIB::scaledCopyInto(c32bppDIB& target, int32_t width, int32_t height) const {
  renderpix::RenderRequest r;
  r.target = &target;
  r.srcWidth = m_width;
  r.srcHeight = m_height;
  r.destWidth = width;
  r.destHeight = height;
  const bool imageService = isGDIplusEnabled() && m_gdiToken != 0;
  const bool alphaBlend = isAlphaBlendFriendly();
  if (imageService && !(alphaBlend && !m_highQuality)) {
    renderpix::DrawWithImageService(*this, r);
  } else if (width < 0 || height < 0 || !alphaBlend || m_highQuality) {
    renderpix::DrawWithOwnBlender(*this, r);
  } else if (imageService) {
    renderpix::DrawWithImageService(*this, r);
  } else if (renderpix::AlphaBlendIsExact(*this, r)) {
    renderpix::DrawWithAlphaBlend(*this, r);
  } else {
    renderpix::DrawWithOwnBlender(*this, r);
  }
}
