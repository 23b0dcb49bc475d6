#include "image/codecs/modparsers.h"

#include "image/premultiply.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QLibrary>

#include <zlib.h>

namespace modParsers {
namespace {

enum class AlphaState { Clean, TransparentColour, Straight };

// Walks the pixels row by row and stops after the row in which straight alpha
// became certain. Counts pixels with alpha 0 and 255 along the way.
AlphaState analyseAlpha(std::span<const uint8_t> pixels, size_t rowBytes, size_t& zeroCount,
                        size_t& opaqueCount) {
  AlphaState state = AlphaState::Clean;
  zeroCount = 0;
  opaqueCount = 0;
  for (size_t rowStart = 0; rowStart + rowBytes <= pixels.size(); rowStart += rowBytes) {
    const uint8_t* p = pixels.data() + rowStart;
    for (size_t i = 0; i < rowBytes; i += 4) {
      const uint8_t b = p[i], g = p[i + 1], r = p[i + 2], a = p[i + 3];
      if (a == 0) {
        ++zeroCount;
        if (state == AlphaState::Clean && (b | g | r) != 0) state = AlphaState::TransparentColour;
      } else if (a == 255) {
        ++opaqueCount;
        if (state == AlphaState::TransparentColour) state = AlphaState::Straight;
      } else {
        if (state == AlphaState::TransparentColour) state = AlphaState::Straight;
        if (b > a || g > a || r > a) state = AlphaState::Straight;
      }
    }
    if (state == AlphaState::Straight) break;
  }
  return state;
}

}  // namespace

std::optional<std::span<const uint8_t>> StreamRange(std::span<const uint8_t> stream,
                                                    int32_t streamOffset, int32_t streamLength) {
  if (streamOffset < 0 || static_cast<size_t>(streamOffset) >= stream.size()) return std::nullopt;
  const size_t available = stream.size() - static_cast<size_t>(streamOffset);
  const size_t length = (streamLength <= 0 || static_cast<size_t>(streamLength) > available)
                            ? available
                            : static_cast<size_t>(streamLength);
  return stream.subspan(static_cast<size_t>(streamOffset), length);
}

bool ClassifyAlpha(std::span<uint8_t> pixels, int32_t width, bool modify, int32_t& typeCode) {
  const size_t rowBytes = width > 0 ? static_cast<size_t>(width) * 4 : 0;
  const size_t usable = rowBytes ? pixels.size() / rowBytes * rowBytes : 0;
  pixels = pixels.first(usable);
  const size_t total = usable / 4;

  bool opaque = typeCode == -1;
  AlphaState state = AlphaState::Clean;
  if (!opaque) {
    size_t zeroCount = 0, opaqueCount = 0;
    state = analyseAlpha(pixels, rowBytes, zeroCount, opaqueCount);
    opaque = zeroCount == total || opaqueCount == total;
  }
  if (opaque) {
    typeCode = 1;
    if (modify) {
      for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    }
    return false;
  }
  if (state == AlphaState::Clean) {
    typeCode = 7;
    return true;
  }
  typeCode = 6;
  if (modify) {
    for (size_t i = 0; i < pixels.size(); i += 4) {
      const uint8_t a = pixels[i + 3];
      if (a == 255) continue;
      for (size_t c = 0; c < 3; ++c) pixels[i + c] = a == 0 ? 0 : premul::scale(pixels[i + c], a);
    }
  }
  return true;
}

GrayWeights GrayscaleWeights(int32_t formulaCode) {
  switch (formulaCode) {
    case 1:
      return {0.213f, 0.715f, 0.072f};
    case 2:
      return {0.333f, 0.334f, 0.333f};
    case 3:
      return {0.8f, 0.1f, 0.1f};
    case 4:
      return {0.1f, 0.8f, 0.1f};
    case 5:
      return {0.1f, 0.1f, 0.8f};
    case 6:
      return {0.45f, 0.45f, 0.1f};
    case 7:
      return {0.1f, 0.45f, 0.45f};
    case -1:
      return {1.0f, 1.0f, 1.0f};
    default:
      return {0.299f, 0.587f, 0.114f};
  }
}

int64_t RowSize(int64_t width, int32_t bitsPerPixel) {
  return (width * bitsPerPixel + 31) / 32 * 4;
}

bool LocateZlib(ZlibInfo& info, bool /*skipProbe*/) {
  info.libraryName = QStringLiteral("zlib ") + QString::fromLatin1(zlibVersion());
  info.kind = kZlibPreferred;
  info.needsCdecl = false;
  info.hasCompress2 = true;
  return true;
}

StdPicture PictureFromBytes(std::span<const uint8_t> bytes, int64_t offset, int64_t length) {
  if (offset < 0 || length <= 0 || static_cast<uint64_t>(offset) > bytes.size() ||
      static_cast<uint64_t>(length) > bytes.size() - static_cast<uint64_t>(offset)) {
    return {};
  }
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data() + offset),
                                            static_cast<qsizetype>(length));
  QBuffer buffer(&data);
  if (!buffer.open(QIODevice::ReadOnly)) return {};
  QImageReader reader(&buffer);
  reader.setAutoTransform(false);
  QImage image = reader.read();
  if (image.isNull()) return {};
  return {1, std::move(image)};
}

StdPicture PictureFromHandle(const QImage& handle, int32_t pictureType) {
  if (handle.isNull()) return {};
  return {pictureType, handle};
}

std::unique_ptr<QFile> OpenFileShared(const QString& fileName, bool forWriting) {
  auto file = std::make_unique<QFile>(fileName);
  if (!forWriting) {
    const QFileInfo info(fileName);
    if (!info.exists() || info.isDir()) return nullptr;
  }
  const QIODevice::OpenMode mode =
      forWriting ? (QIODevice::WriteOnly | QIODevice::Truncate) : QIODevice::ReadOnly;
  if (!file->open(mode)) return nullptr;
  return file;
}

bool DeleteFileAny(const QString& fileName) {
  QFile file(fileName);
  if (!file.exists()) return false;
  if (!file.setPermissions(file.permissions() | QFileDevice::WriteOwner)) return false;
  return file.remove();
}

bool DllHasFunction(const QString& libraryName, const char* functionName) {
  QLibrary library(libraryName);
  if (!library.load()) return false;
  const bool found = library.resolve(functionName) != nullptr;
  library.unload();
  return found;
}

}  // namespace modParsers
