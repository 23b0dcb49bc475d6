#pragma once
// modParsers: helpers shared by the decoders, the encoder and the image engine:
// the alpha classification of 32-bit pixels, the readers of little- and
// big-endian fields, the zlib locator, the bridges to
// the system picture loader, file opening and deletion, a probe for a library
// export, the grayscale weight table and small arithmetic routines.

#include <QFile>
#include <QImage>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

// A platform picture object: a picture type code (0 none, 1 bitmap, 2 metafile,
// 3 icon, 4 enhanced metafile) and its pixels.
struct StdPicture {
  int32_t Type = 0;
  QImage image;
  bool isEmpty() const { return Type == 0 || image.isNull(); }
};

namespace modParsers {

// What the zlib locator found.
struct ZlibInfo {
  QString libraryName;
  int32_t kind = 0;           // 0 none; 1 the fallback library; 2 the preferred one
  bool needsCdecl = false;    // calls go through a separate caller
  bool hasCompress2 = false;  // the one-call compression with a level exists
};
constexpr int32_t kZlibNone = 0;
constexpr int32_t kZlibFallback = 1;
constexpr int32_t kZlibPreferred = 2;

struct GrayWeights {
  float red;
  float green;
  float blue;
};

// Classifies (and optionally fixes up) the 32-bit B,G,R,A pixels of an image
// whose rows are `width` pixels long. typeCode on entry: -1 forces "opaque"
// without looking; anything else analyses. On return typeCode is 1 (no usable
// alpha), 6 (straight alpha) or 7 (already premultiplied); the result is the
// alpha flag. With modify: type 1 makes every alpha 255, type 6 premultiplies.
// The bytes a decoder may read: from streamOffset on, streamLength of them
// (0 or less, or more than there is, meaning "to the end"). Nothing when the
// offset lies outside the stream.
std::optional<std::span<const uint8_t>> StreamRange(std::span<const uint8_t> stream,
                                                    int32_t streamOffset, int32_t streamLength);

bool ClassifyAlpha(std::span<uint8_t> pixels, int32_t width, bool modify, int32_t& typeCode);

// Red, green, blue weights of a grayscale formula code.
GrayWeights GrayscaleWeights(int32_t formulaCode);

// Bytes in a row of `width` pixels of `bitsPerPixel`, padded to 4 bytes.
int64_t RowSize(int64_t width, int32_t bitsPerPixel);

// Fixed-size fields of the file formats. A field that would reach past the
// end of the bytes reads as 0, so a reader can never leave the input.
inline uint16_t ReadLE16(std::span<const uint8_t> bytes, size_t at) {
  if (at > bytes.size() || bytes.size() - at < 2) return 0;
  return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}
inline uint32_t ReadLE32(std::span<const uint8_t> bytes, size_t at) {
  if (at > bytes.size() || bytes.size() - at < 4) return 0;
  return uint32_t{bytes[at]} | (uint32_t{bytes[at + 1]} << 8) | (uint32_t{bytes[at + 2]} << 16) |
         (uint32_t{bytes[at + 3]} << 24);
}
inline uint32_t ReadBE32(std::span<const uint8_t> bytes, size_t at) {
  if (at > bytes.size() || bytes.size() - at < 4) return 0;
  return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
         (uint32_t{bytes[at + 2]} << 8) | uint32_t{bytes[at + 3]};
}

// The value with its four bytes in reverse order (big-endian <-> little-endian).
constexpr uint32_t SwapBytes32(uint32_t value) {
  return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
}

// Reports the zlib that serves the codecs. zlib is linked into the program, so
// this always finds it; the calling convention needs no probe here, and
// skipProbe is accepted for callers that only ask whether zlib exists.
bool LocateZlib(ZlibInfo& info, bool skipProbe = true);

// The system picture loader on bytes[offset, offset + length); an empty picture
// when it cannot decode them (or the range lies outside the bytes).
StdPicture PictureFromBytes(std::span<const uint8_t> bytes, int64_t offset, int64_t length);
// Wraps a bitmap or icon in a picture object of the given type (1 bitmap, 3 icon).
StdPicture PictureFromHandle(const QImage& handle, int32_t pictureType);

// Opens a file for reading or for writing (created or truncated); nullptr on failure.
std::unique_ptr<QFile> OpenFileShared(const QString& fileName, bool forWriting);
// Clears a read-only attribute and deletes the file; true when it is gone.
bool DeleteFileAny(const QString& fileName);

// Whether the shared library (a file name or path) loads and exports the function.
bool DllHasFunction(const QString& libraryName, const char* functionName);

}  // namespace modParsers
