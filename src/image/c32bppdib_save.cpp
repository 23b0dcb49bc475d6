// Saving: the image as the bytes of a bitmap file or of a PNG file.
#include "image/c32bppdib.h"

#include "image/cgdiplus.h"
#include "image/codecs/cpngwriter.h"
#include "image/codecs/modparsers.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <cstring>

namespace {

constexpr uint32_t kBitmapHeaderBytes = 54;

void putLE(std::vector<uint8_t>& out, size_t at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

// The system image service's PNG encoder, within a session of the image's
// token (or one of its own).
bool savePngThroughService(const c32bppDIB& image, std::vector<uint8_t>& bytes) {
  if (!image.isGDIplusEnabled()) return false;
  ScopedGdiplusSession session(image.gdiToken());
  if (session.token() == 0) return false;
  QImage picture(image.Width(), image.Height(),
                 image.Alpha() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  if (picture.isNull()) return false;
  for (int32_t y = 0; y < image.Height(); ++y) {
    std::memcpy(picture.scanLine(y), image.BitsPointer() + image.pixelOffset(0, y),
                static_cast<size_t>(image.scanWidth()));
  }
  QByteArray encoded;
  QBuffer buffer(&encoded);
  if (!buffer.open(QIODevice::WriteOnly)) return false;
  QImageWriter writer(&buffer, "png");
  if (!writer.write(picture) || encoded.isEmpty()) return false;
  bytes.assign(encoded.begin(), encoded.end());
  return true;
}

bool savePngOwn(const c32bppDIB& image, const cPNGwriter& writer, std::vector<uint8_t>& bytes) {
  return writer.SavePNG(image, QString(), bytes);
}

}  // namespace

bool c32bppDIB::SaveToStream(std::vector<uint8_t>& bytes) const {
  bytes.clear();
  if (!m_bits) return false;
  const uint16_t bits = m_alpha ? 32 : 24;
  const int64_t rowSize = modParsers::RowSize(m_width, bits);
  const int64_t pixelBytes = rowSize * m_height;
  if (pixelBytes > static_cast<int64_t>(UINT32_MAX) - kBitmapHeaderBytes) return false;
  bytes.assign(kBitmapHeaderBytes + static_cast<size_t>(pixelBytes), 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  putLE(bytes, 2, kBitmapHeaderBytes + static_cast<uint32_t>(pixelBytes), 4);
  putLE(bytes, 10, kBitmapHeaderBytes, 4);
  putLE(bytes, 14, 40, 4);
  putLE(bytes, 18, static_cast<uint32_t>(m_width), 4);
  putLE(bytes, 22, static_cast<uint32_t>(m_height), 4);
  putLE(bytes, 26, 1, 2);
  putLE(bytes, 28, bits, 2);
  putLE(bytes, 34, static_cast<uint32_t>(pixelBytes), 4);

  uint8_t* out = bytes.data() + kBitmapHeaderBytes;
  if (bits == 32) {
    std::memcpy(out, m_bits.get(), bufferSize());
    return true;
  }
  // Opaque images: the stored colours are the colours; rows stay bottom-up.
  for (int32_t row = 0; row < m_height; ++row) {
    const uint8_t* src = m_bits.get() + static_cast<size_t>(row) * static_cast<size_t>(scanWidth());
    uint8_t* dst = out + static_cast<size_t>(row) * static_cast<size_t>(rowSize);
    for (int32_t x = 0; x < m_width; ++x, src += 4, dst += 3) {
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
    }
  }
  return true;
}

bool c32bppDIB::SaveToStream_PNG(std::vector<uint8_t>& bytes) const {
  bytes.clear();
  if (!m_bits) return false;
  if (m_pngWriter) {
    return savePngOwn(*this, *m_pngWriter, bytes) || savePngThroughService(*this, bytes);
  }
  return savePngThroughService(*this, bytes) || savePngOwn(*this, cPNGwriter{}, bytes);
}
