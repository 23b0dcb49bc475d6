#pragma once
// Pictures for the property and persistence tests of the image control: files
// written into a temporary folder, pixels compared with what Qt itself reads.
#include "image/c32bppdib.h"
#include "test_support.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace props {

inline QString suite(const char* name) { return testsupport::dataDir() + "/pngsuite/" + name; }

// An opaque picture with a different colour in every pixel, so that a mirror
// or a lost row shows.
inline QImage distinctPicture(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      image.setPixel(x, y, qRgb(20 + 9 * x, 30 + 11 * y, 200 - x - y));
  }
  return image;
}

inline QByteArray pngOf(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

inline std::span<const uint8_t> spanOf(const QByteArray& bytes) {
  return {reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())};
}

inline std::vector<uint8_t> vectorOf(const QByteArray& bytes) {
  const auto s = spanOf(bytes);
  return {s.begin(), s.end()};
}

inline QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
  const QString path = dir.filePath(name);
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(bytes);
  return path;
}

// The picture's colour at (x, y) as Qt's 0xAARRGGBB, premultiplied as stored.
inline QRgb pixelOf(const c32bppDIB& image, int x, int y) {
  int32_t alpha = 0;
  const int32_t color = image.GetPixel(x, y, &alpha);
  if (color < 0) return 0;
  return qRgba(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF, alpha);
}

// True when every pixel of the picture equals the (opaque) image's.
inline bool samePixels(const c32bppDIB& picture, const QImage& expected) {
  if (picture.Width() != expected.width() || picture.Height() != expected.height()) return false;
  for (int y = 0; y < expected.height(); ++y) {
    for (int x = 0; x < expected.width(); ++x) {
      if (pixelOf(picture, x, y) != expected.pixel(x, y)) return false;
    }
  }
  return true;
}

// Like samePixels, for pictures with partly transparent pixels: the engine
// and Qt may round a premultiplied channel differently by one.
inline bool nearPixels(const c32bppDIB& picture, const QImage& expected) {
  if (picture.Width() != expected.width() || picture.Height() != expected.height()) return false;
  const QImage premultiplied = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < expected.height(); ++y) {
    for (int x = 0; x < expected.width(); ++x) {
      const QRgb a = pixelOf(picture, x, y), b = premultiplied.pixel(x, y);
      if (std::abs(qRed(a) - qRed(b)) > 1 || std::abs(qGreen(a) - qGreen(b)) > 1 ||
          std::abs(qBlue(a) - qBlue(b)) > 1 || qAlpha(a) != qAlpha(b)) {
        return false;
      }
    }
  }
  return true;
}

// Bytes decoded by the engine on their own, the way a later load will see them.
inline bool decodesTo(const std::vector<uint8_t>& bytes, const QImage& expected) {
  c32bppDIB probe;
  return probe.LoadPicture_Stream(bytes) && samePixels(probe, expected);
}

}  // namespace props
