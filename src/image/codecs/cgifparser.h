#pragma once
// cGIFparser: the first image of a GIF file with its transparency. The first
// image is cut out into a single-image GIF of its own size, the picture loader
// (giflib) turns that into palette indices, and the colours come from the colour
// table the image uses in the source file, so the transparent index is honoured
// exactly even when another index holds the same colour. Later frames,
// animation and disposal are not shown.

#include "image/codecs/decodefailure.h"

#include <cstdint>
#include <span>
#include <vector>

class c32bppDIB;

class cGIFparser {
 public:
  // False when stream[streamOffset, +streamLength) is not a GIF (a length of 0
  // means to the end). True when it was taken as one: with pixels (type 9) when
  // it decoded, without them when it was recognised but broken.
  bool LoadStream(std::span<const uint8_t> stream, c32bppDIB& cHost, int32_t streamOffset = 0,
                  int32_t streamLength = 0);

  // The single-image GIF built from the source by the last LoadStream (for
  // inspection; empty when none was built).
  const std::vector<uint8_t>& singleImageCopy() const { return m_copy; }

  // Why the last LoadStream produced no pixels (kNone when it did).
  GifFailure failure() const { return m_failure; }
  // giflib's error code when it could not decode the image data (0 otherwise).
  int giflibError() const { return m_giflibError; }

 private:
  bool fail(GifFailure failure, c32bppDIB& cHost);

  std::vector<uint8_t> m_copy;
  GifFailure m_failure = GifFailure::kNone;
  int m_giflibError = 0;
};
