// From inflated PNG data to premultiplied pixels: rows are unfiltered in place
// and converted at once while they are still in the cache, straight into the
// image's buffer.
#include "image/codecs/pngreconstruct.h"

#include "image/c32bppdib.h"
#include "image/cpu_features.h"
#include "image/codecs/pngconvert_sse2.h"
#include "image/codecs/pngconvert_ssse3.h"
#include "image/codecs/pngrowfeed.h"
#include "image/premultiply.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace pngpixels {
namespace {

struct Pass {
  int32_t startRow, startColumn, rowStep, columnStep;
};
// Adam7 passes 1 to 7, then the whole image for non-interlaced data.
constexpr std::array<Pass, 8> kPasses = {{{0, 0, 8, 8},
                                          {0, 4, 8, 8},
                                          {4, 0, 8, 4},
                                          {0, 2, 4, 4},
                                          {2, 0, 4, 2},
                                          {0, 1, 2, 2},
                                          {1, 0, 2, 1},
                                          {0, 0, 1, 1}}};

int bitsPerPixel(const PngHeader& h) {
  switch (h.colourType) {
    case 6:
      return 4 * h.bitDepth;
    case 4:
      return 2 * h.bitDepth;
    case 2:
      return 3 * h.bitDepth;
    default:
      return h.bitDepth;
  }
}

size_t filterDistance(const PngHeader& h) {
  switch (h.colourType) {
    case 6:
      return h.bitDepth / 8 * 4;
    case 4:
      return h.bitDepth / 8 * 2;
    case 2:
      return h.bitDepth / 8 * 3;
    case 0:
      return h.bitDepth <= 4 ? 1 : h.bitDepth / 8;
    default:
      return 1;
  }
}

size_t rowBytes(int bitsPerPixel, int64_t pixels) {
  return static_cast<size_t>((bitsPerPixel * pixels + 7) / 8);
}

int32_t passCount(int32_t size, int32_t start, int32_t step) {
  return size / step + (start < size % step ? 1 : 0);
}

constexpr uint32_t kOpaque = 0xFF000000u;

// Everything a row converter needs besides the row.
struct Converter {
  PngHeader header;
  // Final pixel of each sample value (grey and indexed types).
  std::array<uint32_t, 256> lookup{};
  uint32_t lookupEntries = 256;  // samples at or above this have no palette entry
  bool greyRamp = false;         // lookup[v] is the opaque grey v for every v
  bool keySet = false;
  uint8_t keyRed = 0, keyGreen = 0, keyBlue = 0;
  Kernels kernels = Kernels::kFastest;
  std::vector<uint32_t> scratchRow;  // interlaced images: a pass row before it is spread
};

void buildLookup(Converter& conv, const PngColours& colours) {
  const PngHeader& h = conv.header;
  if (h.colourType == 0 && h.bitDepth == 16) {
    const int key = conv.keySet ? colours.transparency[0] : -1;
    for (uint32_t v = 0; v < 256; ++v) {
      conv.lookup[v] = static_cast<int>(v) == key ? 0 : premul::packBGRA(v, v, v, 255);
    }
    return;
  }
  // The palette: the stored one, or a default one (zeros; a grey ramp for
  // greyscale; index 1 white at depth 1).
  std::array<uint8_t, 256 * 3> palette{};
  uint32_t entries = 256;
  if (colours.havePalette) {
    entries = static_cast<uint32_t>(std::min<size_t>(colours.palette.size() / 3, 256));
    std::memcpy(palette.data(), colours.palette.data(), entries * 3);
  } else {
    if (h.colourType == 0) {
      const uint32_t top = (1u << h.bitDepth) - 1;
      for (uint32_t v = 1; v <= top; ++v) {
        const uint8_t grey = static_cast<uint8_t>(v * (255 / top));
        palette[v * 3] = palette[v * 3 + 1] = palette[v * 3 + 2] = grey;
      }
    }
    if (h.bitDepth == 1) palette[3] = palette[4] = palette[5] = 255;
  }
  conv.lookupEntries = entries;
  for (uint32_t i = 0; i < entries; ++i) {
    uint32_t alpha = 255;
    if (h.colourType == 3) {
      if (colours.transparentKey != -1)
        alpha = i < colours.transparency.size() ? colours.transparency[i] : 255;
    } else if (colours.transparentKey != -1 && static_cast<int32_t>(i) == colours.transparentKey) {
      alpha = 0;
    }
    conv.lookup[i] =
        premul::packBGRA(palette[i * 3], palette[i * 3 + 1], palette[i * 3 + 2], alpha);
  }
}

inline uint32_t premultiplied(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  if (a == 255) return b | (g << 8) | (r << 16) | kOpaque;
  return premul::packBGRA(r, g, b, a);
}

// Converts `count` pixels of one unfiltered row into consecutive pixels.
bool convertContiguous(Converter& conv, const uint8_t* src, uint32_t* dst, int32_t count) {
  const PngHeader& h = conv.header;
  const size_t n = static_cast<size_t>(count);
  switch (h.colourType) {
    case 6:
      if (h.bitDepth == 8) {
        size_t i = 0;
        if (conv.kernels == Kernels::kFastest) {
          i = convertRgba8Sse2(src, dst, n);
          src += 4 * i;
          dst += i;
        }
        for (; i < n; ++i, src += 4, ++dst) *dst = premultiplied(src[0], src[1], src[2], src[3]);
      } else {
        for (size_t i = 0; i < n; ++i, src += 8, ++dst)
          *dst = premultiplied(src[0], src[2], src[4], src[6]);
      }
      return true;
    case 4:
      if (h.bitDepth == 8) {
        for (size_t i = 0; i < n; ++i, src += 2, ++dst)
          *dst = premultiplied(src[0], src[0], src[0], src[1]);
      } else {
        for (size_t i = 0; i < n; ++i, src += 4, ++dst)
          *dst = premultiplied(src[0], src[0], src[0], src[2]);
      }
      return true;
    case 2: {
      const size_t sampleBytes = h.bitDepth / 8;
      const size_t pixelBytes = sampleBytes * 3;
      if (!conv.keySet) {
        size_t i = 0;
        if (sampleBytes == 1 && conv.kernels == Kernels::kFastest && cpu::hasSsse3()) {
          i = convertRgb8Ssse3(src, dst, n);
          src += 3 * i;
          dst += i;
        }
        for (; i < n; ++i, src += pixelBytes, ++dst) {
          const uint32_t r = src[0], g = src[sampleBytes], b = src[2 * sampleBytes];
          *dst = b | (g << 8) | (r << 16) | kOpaque;
        }
        return true;
      }
      for (size_t i = 0; i < n; ++i, src += pixelBytes, ++dst) {
        const uint8_t r = src[0], g = src[sampleBytes], b = src[2 * sampleBytes];
        if (conv.keySet && r == conv.keyRed && g == conv.keyGreen && b == conv.keyBlue) {
          *dst = 0;
        } else {
          *dst = b | (g << 8) | (static_cast<uint32_t>(r) << 16) | kOpaque;
        }
      }
      return true;
    }
    default:
      break;
  }
  // Greyscale and indexed: every sample goes through the lookup table.
  if (h.bitDepth == 16) {
    for (size_t i = 0; i < n; ++i, src += 2, ++dst) *dst = conv.lookup[src[0]];
    return true;
  }
  const uint32_t limit = conv.lookupEntries;
  if (h.bitDepth == 8) {
    if (limit == 256) {  // every sample has an entry
      size_t i = 0;
      if (conv.greyRamp && conv.kernels == Kernels::kFastest) {
        i = convertGrey8Sse2(src, dst, n);
        dst += i;
      }
      for (; i < n; ++i, ++dst) *dst = conv.lookup[src[i]];
      return true;
    }
    for (size_t i = 0; i < n; ++i, ++dst) {
      const uint8_t s = src[i];
      if (s >= limit) return false;
      *dst = conv.lookup[s];
    }
    return true;
  }
  // Sub-byte samples, most significant bits first.
  const unsigned depth = h.bitDepth;
  const unsigned perByte = 8 / depth;
  const uint8_t mask = static_cast<uint8_t>((1u << depth) - 1);
  for (size_t i = 0; i < n; ++i, ++dst) {
    const unsigned shift = 8 - depth * (static_cast<unsigned>(i % perByte) + 1);
    const uint8_t s = static_cast<uint8_t>((src[i / perByte] >> shift) & mask);
    if (s >= limit) return false;
    *dst = conv.lookup[s];
  }
  return true;
}

// Rows of interlaced passes are converted whole into a scratch row, then
// spread over every step-th pixel: the same loops serve both.
bool convertRow(Converter& conv, const uint8_t* src, uint32_t* dst, int32_t step, int32_t count) {
  if (step == 1) return convertContiguous(conv, src, dst, count);
  uint32_t* converted = conv.scratchRow.data();
  if (!convertContiguous(conv, src, converted, count)) return false;
  for (int32_t i = 0; i < count; ++i, dst += step) *dst = converted[i];
  return true;
}

uint32_t* pixelAt(c32bppDIB& image, int32_t x, int32_t y) {
  return reinterpret_cast<uint32_t*>(image.BitsPointer() + image.pixelOffset(x, y));
}

}  // namespace

bool isSupportedFormat(uint8_t colourType, uint8_t bitDepth) {
  switch (colourType) {
    case 0:
      return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16;
    case 3:
      return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    case 2:
    case 4:
    case 6:
      return bitDepth == 8 || bitDepth == 16;
    default:
      return false;
  }
}

size_t expectedDataSize(const PngHeader& h) {
  if (h.width < 1 || h.height < 1) return 0;
  const int bpp = bitsPerPixel(h);
  if (h.interlace == 0) return static_cast<size_t>(h.height) * (rowBytes(bpp, h.width) + 1);
  size_t total = 0;
  for (size_t p = 0; p < 7; ++p) {
    const Pass& pass = kPasses[p];
    const int32_t columns = passCount(h.width, pass.startColumn, pass.columnStep);
    const int32_t rows = passCount(h.height, pass.startRow, pass.rowStep);
    total += static_cast<size_t>(rows) * (rowBytes(bpp, columns) + 1);
  }
  return total;
}

size_t largestRowBytes(const PngHeader& header) {
  return rowBytes(bitsPerPixel(header), header.width) + 1;
}

ReconstructResult reconstruct(const PngHeader& header, const PngColours& colours, RowFeed& feed,
                              c32bppDIB& image, Kernels kernels) {
  if (!isSupportedFormat(header.colourType, header.bitDepth) || image.Width() != header.width ||
      image.Height() != header.height) {
    return ReconstructResult::kMismatch;
  }

  Converter conv;
  conv.header = header;
  conv.kernels = kernels;
  if (header.interlace != 0) conv.scratchRow.resize(static_cast<size_t>(header.width));
  if (colours.transparentKey != -1) {
    if (header.colourType == 2 && colours.transparency.size() >= 6) {
      conv.keySet = true;
      // 8-bit samples meet the low bytes of the key, 16-bit ones its high bytes.
      const size_t at = header.bitDepth == 16 ? 0 : 1;
      conv.keyRed = colours.transparency[at];
      conv.keyGreen = colours.transparency[at + 2];
      conv.keyBlue = colours.transparency[at + 4];
    } else if (header.colourType == 0 && colours.transparency.size() >= 2) {
      conv.keySet = true;
    }
  }
  if (header.colourType == 0 || header.colourType == 3) {
    buildLookup(conv, colours);
    conv.greyRamp = conv.lookupEntries == 256;
    for (uint32_t v = 0; v < 256 && conv.greyRamp; ++v)
      conv.greyRamp = conv.lookup[v] == (v * 0x010101u | kOpaque);
  }

  const int bpp = bitsPerPixel(header);
  const size_t distance = filterDistance(header);
  const bool interlaced = header.interlace != 0;
  std::vector<uint8_t> zeroRow(largestRowBytes(header) + 8, 0);

  for (size_t p = interlaced ? 0 : 7; p < (interlaced ? 7u : 8u); ++p) {
    const Pass& pass = kPasses[p];
    const int32_t columns = passCount(header.width, pass.startColumn, pass.columnStep);
    const int32_t rows = passCount(header.height, pass.startRow, pass.rowStep);
    if (columns == 0 || rows == 0) continue;
    const size_t bytes = rowBytes(bpp, columns);
    const auto convertPassRow = [&](const uint8_t* row, int32_t r) {
      const int32_t y = pass.startRow + r * pass.rowStep;
      return convertRow(conv, row, pixelAt(image, pass.startColumn, y), pass.columnStep, columns);
    };
    // Rows come four at a time where the feed allows, two otherwise, so that
    // runs of Paeth rows can be reversed together; the checks keep the order
    // of one row after the other.
    const size_t stride = bytes + 1;
    const int32_t rowsAtOnce = 4 * stride <= feed.largestRequest() ? 4 : 2;
    for (int32_t r = 0, count = 0; r < rows; r += count) {
      count = std::min(rowsAtOnce, rows - r);
      uint8_t* cursor = feed.next(static_cast<size_t>(count) * stride);
      if (!cursor) return ReconstructResult::kDataUnavailable;
      uint8_t* first = cursor + 1;
      // The feed keeps the row above right before this one.
      const uint8_t* previous = r == 0 ? zeroRow.data() : first - stride;
      unfilterRows(first, static_cast<size_t>(count), previous, bytes, distance, kernels);
      for (int32_t k = 0; k < count; ++k) {
        const uint8_t* row = first + static_cast<size_t>(k) * stride;
        if (row[-1] > 4 && interlaced) return ReconstructResult::kBadFilter;
        if (!convertPassRow(row, r + k)) return ReconstructResult::kBadPaletteIndex;
      }
    }
  }
  return ReconstructResult::kOk;
}

}  // namespace pngpixels
