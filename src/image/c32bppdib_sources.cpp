// Loading from platform pictures, bitmap and icon handles and the clipboard;
// the icon sizes of a kept icon file; dropped and pasted file names.
#include "image/c32bppdib.h"

#include "image/codecs/cbmpparser.h"
#include "image/codecs/cicoparser.h"
#include "image/codecs/modparsers.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

bool c32bppDIB::LoadPicture_StdPicture(const StdPicture& picture) {
  DestroyDIB();
  if (picture.isEmpty()) return false;
  if (picture.Type == 3) {
    IconHandle icon;
    icon.colour = picture.image;
    return LoadPicture_IconHandle(icon);
  }
  if (picture.Type == 1) {
    const QImage handle = picture.image;
    return cBMPparser().ConvertstdPicTo32bpp(nullptr, &handle, *this) && m_bits;
  }
  return cBMPparser().ConvertstdPicTo32bpp(&picture, nullptr, *this) && m_bits;
}

bool c32bppDIB::LoadPicture_BitmapHandle(const QImage& bitmap) {
  DestroyDIB();
  if (bitmap.isNull()) return false;
  return cBMPparser().ConvertstdPicTo32bpp(nullptr, &bitmap, *this) && m_bits;
}

bool c32bppDIB::LoadPicture_IconHandle(const IconHandle& icon) {
  DestroyDIB();
  return cICOparser().ConvertstdPicTo32bpp(icon, *this) && m_bits;
}

bool c32bppDIB::LoadPicture_ClipBoard() {
  DestroyDIB();
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data || !data->hasImage()) return false;
  const QImage image = qvariant_cast<QImage>(data->imageData());
  if (image.isNull()) return false;
  return LoadPicture_StdPicture(modParsers::PictureFromHandle(image, 1));
}

int32_t c32bppDIB::SourceIconSizes(std::vector<std::array<int32_t, 4>>& sizes) const {
  using namespace ImageTypeCode;
  if (!m_bits || (m_imageType != kIcon && m_imageType != kCursor && m_imageType != kAlphaIcon &&
                  m_imageType != kPngIcon && m_imageType != kAlphaCursor)) {
    return 0;
  }
  if (m_originalBytes.empty()) {
    sizes = {{m_width, m_height, 32, -1}};
    return 1;
  }
  cICOparser parser;
  if (!parser.ParseDirectory(m_originalBytes)) return 0;
  sizes.clear();
  for (int32_t k = 1; k <= parser.IconCount(); ++k) {
    const int32_t depth = parser.bitDepth(k);
    int32_t colours = -1;
    switch (depth) {
      case 1:
        colours = 2;
        break;
      case 2:
        colours = 4;
        break;
      case 4:
        colours = 16;
        break;
      case 8:
        colours = 256;
        break;
      default:
        if (depth <= 23)
          colours = 16776960;  // "High Color"
        else if (depth == 24)
          colours = -16777216;  // "True Color"
    }
    sizes.push_back({parser.Width(k), parser.Height(k), depth, colours});
  }
  return parser.IconCount();
}

bool GetDroppedFileNames(const QMimeData* data, QStringList& names) {
  names.clear();
  if (!data || !data->hasUrls()) return false;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) names.append(url.toLocalFile());
  }
  return !names.isEmpty();
}

int32_t GetPastedFileNames(QStringList& names) {
  names.clear();
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return 0;
  return GetDroppedFileNames(QGuiApplication::clipboard()->mimeData(), names)
             ? static_cast<int32_t>(names.size())
             : 0;
}
