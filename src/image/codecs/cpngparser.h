#pragma once
// cPNGparser: PNG decoder into a c32bppDIB. One object serves one load.
//
// The system image service is tried first (when the image allows it); otherwise
// the decoder's own walk reads IHDR, PLTE, tRNS, IDAT and IEND, skips every other
// chunk (no gamma or colour-space correction), inflates the image data with zlib
// or its own inflate, reverses the row filters and Adam7, and writes
// premultiplied B, G, R, A straight into the image's buffer.
//
// The result of LoadStream/LoadFile says only whether the input is a PNG; the
// caller learns whether pixels were produced from the image itself, and why
// not from failure().

#include "image/codecs/decodefailure.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class c32bppDIB;
namespace pngpixels {
enum class Kernels;
}

class cPNGparser {
 public:
  // Decodes stream[streamOffset, streamOffset + streamLength) into cHost. The
  // bytes are read in place during the call.
  bool LoadStream(std::span<const uint8_t> stream, c32bppDIB& cHost, int32_t streamOffset,
                  int32_t streamLength, uint32_t gdiToken = 0);
  // Decodes the open, readable file (its position is moved freely; it is not closed).
  bool LoadFile(QFile& fileHandle, const QString& fileName, c32bppDIB& cHost,
                uint32_t gdiToken = 0);

  // Header fields of the last load (after a decode through the system image
  // service only width and height are known).
  int32_t width() const { return m_width; }
  int32_t height() const { return m_height; }
  uint8_t bitDepth() const { return m_bitDepth; }
  uint8_t colourType() const { return m_colourType; }
  uint8_t interlaceMethod() const { return m_interlace; }

  // Why the last load produced no pixels (kNone when it did, or when the
  // system image service decoded it).
  PngFailure failure() const { return m_failure; }
  // The failure named for people; an inflate failure carries zlib's status and
  // the built-in inflate's code.
  std::string failureDescription() const;

  // The loops that unfilter and convert (the fastest by default); the tests
  // decode with both and compare.
  void setKernels(pngpixels::Kernels kernels) { m_kernels = kernels; }

 private:
  struct ChunkView;

  bool loadBytes(std::span<const uint8_t> png, const QString& fileName, c32bppDIB& cHost,
                 uint32_t gdiToken);
  bool walkChunks(std::span<const uint8_t> png, bool checkCrc);
  bool onHeader(const ChunkView& chunk);
  bool onPalette(const ChunkView& chunk);
  void onTransparency(const ChunkView& chunk);
  bool onImageData(const ChunkView& chunk);
  void decode(c32bppDIB& cHost, bool useZlib);
  bool fail(PngFailure failure);
  void reset();

  pngpixels::Kernels m_kernels{};  // kFastest
  PngFailure m_failure = PngFailure::kNone;
  int m_zlibStatus = 0;   // zlib's complaint about the image data (0 none)
  int m_inflateCode = 0;  // the built-in inflate's result code (0 success or not run)

  int32_t m_width = 0;
  int32_t m_height = 0;
  uint8_t m_bitDepth = 0;
  uint8_t m_colourType = 0;
  uint8_t m_interlace = 0;
  bool m_haveHeader = false;
  bool m_havePalette = false;
  std::vector<uint8_t> m_palette;
  std::vector<uint8_t> m_transparency;
  int32_t m_transparentKey = -1;
  size_t m_expectedSize = 0;
  // The image data: views of the IDAT chunks in the input, joined only when
  // there are several.
  std::vector<std::span<const uint8_t>> m_idat;
  size_t m_idatBytes = 0;
};
