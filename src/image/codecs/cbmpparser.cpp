// The bitmap decoder: the own 32-bit path and the conversion of pictures and
// bitmap handles from the system picture loader.
#include "image/codecs/cbmpparser.h"

#include "image/c32bppdib.h"
#include "image/codecs/modparsers.h"
#include "image/imagetype.h"

#include <QBuffer>
#include <QImageReader>

#include <cstring>

namespace {

constexpr uint16_t kBitmapSignature = 0x4D42;  // "BM", read little-endian
// The file header (14 bytes) and the info header up to its compression field.
constexpr size_t kSmallestHeader = 34;

struct BitmapFields {
  uint32_t pixelOffset = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitCount = 0;
  uint32_t compression = 0;
};

// Copies a 32-bit top-down picture into the image's bottom-up rows.
void copyTopDown(const QImage& picture, c32bppDIB& host) {
  for (int32_t y = 0; y < host.Height(); ++y) {
    std::memcpy(host.BitsPointer() + host.pixelOffset(0, y), picture.constScanLine(y),
                static_cast<size_t>(host.scanWidth()));
  }
}

void classifyInto(c32bppDIB& host, int32_t typeCode) {
  const bool alpha = modParsers::ClassifyAlpha(host.Bits(), host.Width(), true, typeCode);
  host.SetAlphaFlag(alpha);
  host.SetImageTypeCode(typeCode);
}

bool is32BitFormat(QImage::Format format) {
  return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
         format == QImage::Format_ARGB32_Premultiplied;
}

// Draws a metafile picture as a device would: only the pixels it draws change
// (blended over the untouched background, and opaque); the rest becomes
// transparent and gives the image its alpha.
void renderMetafile(const QImage& picture, c32bppDIB& host) {
  const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
  bool anyUntouched = false;
  for (int32_t y = 0; y < host.Height(); ++y) {
    const uint8_t* src = argb.constScanLine(y);
    uint8_t* dst = host.BitsPointer() + host.pixelOffset(0, y);
    for (int32_t x = 0; x < host.Width(); ++x, src += 4, dst += 4) {
      const uint32_t a = src[3];
      if (a == 0) {
        std::memset(dst, 0, 4);
        anyUntouched = true;
        continue;
      }
      for (int c = 0; c < 3; ++c) {
        dst[c] = static_cast<uint8_t>((src[c] * a + 255 * (255 - a)) / 255);
      }
      dst[3] = 255;
    }
  }
  host.SetAlphaFlag(anyUntouched);
}

bool isPictureLoaderFormat(std::span<const uint8_t> bytes) {
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  if (!buffer.open(QIODevice::ReadOnly)) return false;
  const QByteArray format = QImageReader::imageFormat(&buffer);
  return format == "bmp" || format == "jpeg" || format == "jpg";
}

}  // namespace

bool cBMPparser::LoadStream(std::span<const uint8_t> stream, c32bppDIB& cHost, int32_t streamOffset,
                            int32_t streamLength) {
  const auto range = modParsers::StreamRange(stream, streamOffset, streamLength);
  m_failure = BmpFailure::kNotPictureFormat;
  m_bitCount = 0;
  if (!range) return false;
  const std::span<const uint8_t> bytes = *range;
  if (loadOwn(bytes, cHost)) return true;
  // A bitmap header with impossible dimensions is refused altogether.
  if (m_failure == BmpFailure::kBadDimensions) return false;
  const BmpFailure ownFailure = m_failure;
  // Everything else is for the system picture loader, which reads bitmaps and
  // JPEG; other formats are left to the system image service further on.
  if (!isPictureLoaderFormat(bytes)) {
    m_failure =
        ownFailure == BmpFailure::kNotEnoughData ? ownFailure : BmpFailure::kNotPictureFormat;
    return false;
  }
  const StdPicture picture =
      modParsers::PictureFromBytes(bytes, 0, static_cast<int64_t>(bytes.size()));
  if (picture.isEmpty()) {
    m_failure = BmpFailure::kPictureLoaderFailed;
    return false;
  }
  if (!ConvertstdPicTo32bpp(&picture, nullptr, cHost, m_bitCount)) return false;
  m_failure = BmpFailure::kNone;
  return true;
}

bool cBMPparser::LoadOwnStream(std::span<const uint8_t> stream, c32bppDIB& cHost,
                               int32_t streamOffset, int32_t streamLength) {
  const auto range = modParsers::StreamRange(stream, streamOffset, streamLength);
  m_failure = BmpFailure::kNotOwnFormat;
  m_bitCount = 0;
  return range && loadOwn(*range, cHost);
}

bool cBMPparser::loadOwn(std::span<const uint8_t> bytes, c32bppDIB& cHost) {
  m_failure = BmpFailure::kNotOwnFormat;
  if (bytes.size() < kSmallestHeader || modParsers::ReadLE16(bytes, 0) != kBitmapSignature)
    return false;
  BitmapFields fields;
  fields.pixelOffset = modParsers::ReadLE32(bytes, 10);
  fields.width = static_cast<int32_t>(modParsers::ReadLE32(bytes, 18));
  fields.height = static_cast<int32_t>(modParsers::ReadLE32(bytes, 22));
  fields.bitCount = modParsers::ReadLE16(bytes, 28);
  fields.compression = modParsers::ReadLE32(bytes, 30);
  m_bitCount = fields.bitCount;
  if (fields.width < 1 || fields.height == 0) {
    m_failure = BmpFailure::kBadDimensions;
    return false;
  }

  // The pixel rows must lie inside the given range, not merely inside the array.
  const int64_t rows = fields.height < 0 ? -static_cast<int64_t>(fields.height) : fields.height;
  const int64_t rowSize = modParsers::RowSize(fields.width, fields.bitCount & 0xFF);
  // Any overflow in the arithmetic counts as not enough data.
  int64_t needed = 0;
  const bool enoughData = rowSize > 0 && !__builtin_mul_overflow(rowSize, rows, &needed) &&
                          !__builtin_add_overflow(needed, int64_t{fields.pixelOffset}, &needed) &&
                          needed <= static_cast<int64_t>(bytes.size());
  if (!enoughData) {
    m_failure = BmpFailure::kNotEnoughData;
    return false;
  }
  if (fields.bitCount != 32 || fields.compression != 0) return false;
  if (rows > INT32_MAX || !cHost.InitializeDIB(fields.width, static_cast<int32_t>(rows))) {
    m_failure = BmpFailure::kOutOfMemory;
    return false;
  }
  const uint8_t* pixels = bytes.data() + fields.pixelOffset;
  if (fields.height > 0) {
    std::memcpy(cHost.BitsPointer(), pixels, cHost.Bits().size());
  } else {
    const size_t scan = static_cast<size_t>(cHost.scanWidth());
    for (int64_t r = 0; r < rows; ++r) {
      std::memcpy(cHost.BitsPointer() + static_cast<size_t>(r) * scan,
                  pixels + static_cast<size_t>(rows - 1 - r) * scan, scan);
    }
  }
  classifyInto(cHost, 0);
  m_failure = BmpFailure::kNone;
  return true;
}

bool cBMPparser::ConvertstdPicTo32bpp(const StdPicture* picture, const QImage* bitmapHandle,
                                      c32bppDIB& cHost, int32_t /*bitCount*/) {
  const QImage* source = bitmapHandle ? bitmapHandle : (picture ? &picture->image : nullptr);
  if (!source || source->isNull()) return false;
  if (!cHost.InitializeDIB(source->width(), source->height())) return false;

  if (bitmapHandle && is32BitFormat(bitmapHandle->format())) {
    copyTopDown(*bitmapHandle, cHost);
    classifyInto(cHost, 0);
    return true;
  }
  if (picture && (picture->Type == 2 || picture->Type == 4)) {
    renderMetafile(picture->image, cHost);
    cHost.SetImageTypeCode(picture->Type);
    return true;
  }
  // Any other bitmap is drawn without its alpha.
  copyTopDown(source->convertToFormat(QImage::Format_RGB32), cHost);
  classifyInto(cHost, -1);
  return true;
}
