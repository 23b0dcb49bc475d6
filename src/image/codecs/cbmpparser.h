#pragma once
// cBMPparser: the bitmap decoder, the last one the format dispatcher offers its
// bytes to. It reads uncompressed 32-bit bitmaps itself so that their alpha
// channel survives, and hands everything else (bitmaps of other depths or
// compressions, JPEG and whatever else the system picture loader reads) to the
// system picture loader, converting its picture into the image.

#include "image/codecs/decodefailure.h"
#include "image/codecs/modparsers.h"

#include <QImage>

#include <cstdint>
#include <span>

class c32bppDIB;

class cBMPparser {
 public:
  // Decodes stream[streamOffset, streamOffset + streamLength) (a length of 0 or
  // less means to the end). True when the image has pixels afterwards.
  bool LoadStream(std::span<const uint8_t> stream, c32bppDIB& cHost, int32_t streamOffset,
                  int32_t streamLength);
  // The decoder's own part alone: an uncompressed 32-bit bitmap with enough
  // data behind its header. False (the system picture loader never asked)
  // for anything else; failure() says why.
  bool LoadOwnStream(std::span<const uint8_t> stream, c32bppDIB& cHost, int32_t streamOffset,
                     int32_t streamLength);

  // Why the last load produced no pixels (kNone when it did).
  BmpFailure failure() const { return m_failure; }

  // Converts a picture object (bitmap, metafile or enhanced metafile) or a
  // bitmap handle (exactly one of them is given) into cHost. A 32-bit handle
  // keeps its alpha through the alpha classification; other bitmaps come out
  // opaque (type 1); metafiles keep what they did not draw on transparent and
  // take the picture's type. bitCount is the depth the source file declared
  // (0 when unknown); the pixels themselves decide.
  bool ConvertstdPicTo32bpp(const StdPicture* picture, const QImage* bitmapHandle, c32bppDIB& cHost,
                            int32_t bitCount = 0);

 private:
  bool loadOwn(std::span<const uint8_t> bytes, c32bppDIB& cHost);

  BmpFailure m_failure = BmpFailure::kNone;
  uint16_t m_bitCount = 0;  // the depth the last bitmap header declared
};
