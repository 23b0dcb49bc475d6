// Loading, clearing and the picture's saved bytes; the transparent mask colour.
//
// Every loader borrows the window's image-service session for the picture,
// keeps the source bytes when KeepOriginalFormat is on or the form is being
// designed (the designer reloads other icon sizes from them), and after a
// successful load shows the new picture the way the properties ask: mirrored,
// masked and inverted, at the stretch quality, with its shadow, cached drawing
// and layout rebuilt. A failed load leaves no picture, so what was derived
// from the old one is dropped as well.
#include "image/control/aicalphaimage.h"

#include "image/control/ccrosscomm.h"

#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>

namespace {

// Largest resource accepted as a picture; larger ones are not read at all.
constexpr qint64 kMaxResourceBytes = 256 * 1024 * 1024;

uint32_t sessionTokenOf(const cCrossComm* link) { return link != nullptr ? link->gdiToken() : 0; }

bool isPlainBitmapType(int32_t type) {
  return type == ImageTypeCode::kBitmap || type == ImageTypeCode::kStraightAlphaBitmap ||
         type == ImageTypeCode::kPremultipliedBitmap;
}

// The applied mask colour is kept as a colour of the picture before
// inversion, so that undoing the changes for saving works whatever order they
// were made in; on an inverted picture that colour shows inverted.
uint32_t asShown(uint32_t color, bool inverted) { return inverted ? (color ^ 0xFFFFFFu) : color; }

std::span<const uint8_t> bytesOf(const QByteArray& data) {
  return {reinterpret_cast<const uint8_t*>(data.constData()), static_cast<size_t>(data.size())};
}

// What the decoder chain reported for the user, shown in a plain OK box
// titled with the program's name (or given to the host's presenter).
void presentLoadError(const c32bppDIB& image, const aicAlphaImage::LoadErrorPresenter& presenter,
                      QWidget* owner) {
  const std::string& error = image.pngErrorToShow();
  if (error.empty()) return;
  const QString description = QString::fromStdString(error);
  if (presenter) {
    presenter(description);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), description,
                  QMessageBox::Ok, owner);
  box.exec();
}

}  // namespace

void aicAlphaImage::ClearImage() {
  m_image.DestroyDIB();
  m_maskApplied = false;
  m_maskRecord.clear();
  m_shadowImage.reset();
  m_renderedImage.reset();
  relayout();
  update();
}

void aicAlphaImage::Refresh() {
  rebuildCachedDrawing();
  update();
}

bool aicAlphaImage::LoadImage_FromArray(std::span<const uint8_t> bytes, int32_t iconCx,
                                        int32_t iconCy, int32_t iconBitDepth) {
  m_image.setGdiToken(sessionTokenOf(crossComm()));
  const bool keep = KeepOriginalFormat() || designMode();
  const bool loaded = m_image.LoadPicture_Stream(bytes, iconCx, iconCy, 0, 0, keep, iconBitDepth);
  presentLoadError(m_image, m_loadErrorPresenter, this);
  loaded ? applyAfterLoad() : ClearImage();
  return loaded;
}

bool aicAlphaImage::LoadImage_FromFile(const QString& fileName, int32_t iconCx, int32_t iconCy,
                                       int32_t iconBitDepth) {
  m_image.setGdiToken(sessionTokenOf(crossComm()));
  const bool keep = KeepOriginalFormat() || designMode();
  const bool loaded = m_image.LoadPicture_File(fileName, iconCx, iconCy, keep, iconBitDepth);
  presentLoadError(m_image, m_loadErrorPresenter, this);
  loaded ? applyAfterLoad() : ClearImage();
  return loaded;
}

bool aicAlphaImage::LoadImage_FromStdPicture(const StdPicture& picture) {
  m_image.setGdiToken(sessionTokenOf(crossComm()));
  const bool loaded = m_image.LoadPicture_StdPicture(picture);
  loaded ? applyAfterLoad() : ClearImage();
  return loaded;
}

bool aicAlphaImage::LoadImage_FromClipboard() {
  m_image.setGdiToken(sessionTokenOf(crossComm()));
  const bool loaded = m_image.LoadPicture_ClipBoard();
  loaded ? applyAfterLoad() : ClearImage();
  return loaded;
}

bool aicAlphaImage::LoadImage_FromHandle(const QImage& bitmap) {
  m_image.setGdiToken(sessionTokenOf(crossComm()));
  const bool loaded = m_image.LoadPicture_BitmapHandle(bitmap);
  loaded ? applyAfterLoad() : ClearImage();
  return loaded;
}

bool aicAlphaImage::LoadImage_FromResource(const QString& resourceId, const QString& section,
                                           int32_t iconCx, int32_t iconCy, int32_t iconBitDepth) {
  // A missing or oversized resource is loaded as no bytes, which fails like
  // any other unreadable picture.
  QByteArray data;
  QFile resource(QStringLiteral(":/%1/%2").arg(section, resourceId));
  if (resource.open(QIODevice::ReadOnly) && resource.size() <= kMaxResourceBytes) {
    data = resource.readAll();
  }
  return LoadImage_FromArray(bytesOf(data), iconCx, iconCy, iconBitDepth);
}

bool aicAlphaImage::LoadImage_FromOrignalBytes(int32_t iconCx, int32_t iconCy,
                                               int32_t iconBitDepth) {
  // Without kept bytes the loader refuses before touching the picture, and
  // the shown picture stays as it is.
  std::vector<uint8_t> kept;
  if (!m_image.GetOrginalFormat(kept)) return false;
  m_image.setGdiToken(sessionTokenOf(crossComm()));
  const bool loaded = m_image.LoadPicture_FromOrignalFormat(iconCx, iconCy, iconBitDepth);
  presentLoadError(m_image, m_loadErrorPresenter, this);
  loaded ? applyAfterLoad() : ClearImage();
  return loaded;
}

bool aicAlphaImage::GetImageBytes(std::vector<uint8_t>& bytes) const {
  bytes.clear();
  if (m_image.BitsPointer() == nullptr) return false;
  if (!isPlainBitmapType(m_image.ImageType()) && m_image.GetOrginalFormat(bytes)) return true;
  // Bitmaps, and pictures whose source bytes were not kept (an icon loaded at
  // run time, say), are saved as PNG so that they are never lost. The changes
  // made for showing are undone on a copy: inversion, mask, mirror.
  std::shared_ptr<c32bppDIB> unmodified;
  m_image.CopyImageTo(unmodified);
  if (!unmodified || unmodified->BitsPointer() == nullptr) return false;
  unmodified->setPNGwriter(m_image.PNGwriter());
  if (InversedImage()) unmodified->MakeImageInverse();
  if (m_maskApplied) m_maskRecord.restoreOnto(*unmodified, resolvedColor(m_appliedMaskColor));
  if (m_mirror != 0) unmodified->MirrorImage((m_mirror & 1) != 0, (m_mirror & 2) != 0);
  return unmodified->SaveToStream_PNG(bytes);
}

bool aicAlphaImage::SetImageBytes(std::span<const uint8_t> bytes) {
  // The same request as when the saved "Image" is read: the control's size
  // picks the icon entry, at full depth.
  return LoadImage_FromArray(bytes, width(), height(), 32);
}

void aicAlphaImage::applyAfterLoad() {
  m_maskApplied = false;
  m_maskRecord.clear();
  m_image.setHighQualityInterpolation(StretchQuality());
  // A new picture arrives unmirrored; show it the way Mirror says, so that
  // saving (which undoes the mirror) stores it as it was loaded.
  if (m_mirror != 0) m_image.MirrorImage((m_mirror & 1) != 0, (m_mirror & 2) != 0);
  if (InversedImage()) m_image.MakeImageInverse();
  applyMask();
  if (AutoRedraw() && !designMode()) setPropsBit(AlphaImageProps::kRenderedImageInUse, true);
  rebuildShadow();
  rebuildCachedDrawing();
  relayout();
  update();
}

void aicAlphaImage::applyMask() {
  if (m_maskApplied || m_maskSource == 0 || m_image.BitsPointer() == nullptr) return;
  uint32_t color = 0;
  if (m_maskSource == 1) {
    color = resolvedColor(m_maskColor);
  } else {
    // Sources 2..5: the top-left, top-right, bottom-left or bottom-right pixel.
    const int32_t right = m_image.Width() - 1;
    const int32_t bottom = m_image.Height() - 1;
    const int32_t corner = m_maskSource - 2;
    const int32_t x = (corner & 1) != 0 ? right : 0;
    const int32_t y = (corner & 2) != 0 ? bottom : 0;
    int32_t alpha = 0;
    const int32_t shown = m_image.GetPixel(x, y, &alpha, false);
    // A transparent corner has no colour to take; masking "black" would
    // punch holes the picture never asked for.
    if (alpha == 0) return;
    color = asShown(static_cast<uint32_t>(shown), InversedImage());
  }
  m_appliedMaskColor = static_cast<int32_t>(color);
  m_maskApplied = m_maskRecord.apply(m_image, asShown(color, InversedImage()));
}

void aicAlphaImage::undoMask() {
  if (!m_maskApplied) return;
  m_maskRecord.restore(m_image, asShown(resolvedColor(m_appliedMaskColor), InversedImage()));
  m_maskApplied = false;
}
