#pragma once
// Second half of the PNG decoder: from the inflated image data to premultiplied
// B, G, R, A pixels in a c32bppDIB (row filters, Adam7, every colour type and
// bit depth, palettes and transparency).

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class c32bppDIB;

namespace pngpixels {

struct PngHeader {
  int32_t width = 0;
  int32_t height = 0;
  uint8_t bitDepth = 0;
  uint8_t colourType = 0;
  uint8_t interlace = 0;
};

struct PngColours {
  bool havePalette = false;
  std::span<const uint8_t> palette;       // R, G, B per entry
  std::span<const uint8_t> transparency;  // the tRNS data (type 3: extended to 256 entries)
  int32_t transparentKey = -1;            // -1: no transparency information
};

// Size of the inflated data the header calls for (Adam7 passes without columns
// still count one filter byte per row). 0 for an unusable header.
size_t expectedDataSize(const PngHeader& header);

// Whether the colour type and bit depth pair has a defined conversion.
bool isSupportedFormat(uint8_t colourType, uint8_t bitDepth);

enum class ReconstructResult {
  kOk,
  kDataUnavailable,  // the row feed could not deliver the inflated data
  kBadFilter,        // a filter type above 4 in an interlaced image
  kBadPaletteIndex,  // a palette index without an entry
  kMismatch,         // an unsupported format, or an image not of the header's size
};

class RowFeed;

// Which loops do the work: the fastest the processor has, or the plain ones
// that define the results (the tests hold the two against each other).
// kFastest comes first: a value-initialised Kernels is the fastest.
enum class Kernels { kFastest, kScalar };

// Bytes of the longest row (its filter byte included).
size_t largestRowBytes(const PngHeader& header);

// Takes the rows from `feed`, unfilters them in place and writes the pixels into
// `image`, which must already hold a blank width x height image. Every pixel is
// written, so a second attempt over the same image leaves nothing of the first.
ReconstructResult reconstruct(const PngHeader& header, const PngColours& colours, RowFeed& feed,
                              c32bppDIB& image, Kernels kernels = Kernels::kFastest);

// Reverses one row filter in place (types 0 to 4; others leave the row as it is).
// `previous` is the unfiltered row above, or all zeros for a first row.
void unfilterRow(uint8_t filterType, uint8_t* row, const uint8_t* previous, size_t rowBytes,
                 size_t distance, Kernels kernels = Kernels::kFastest);
// Two consecutive rows, `lower` right below `upper`: the same as unfilterRow on
// `upper`, then on `lower` with `upper` as its previous row. Both Paeth, the
// commonest case, they are done together, faster than one after the other.
void unfilterRowPair(uint8_t upperFilter, uint8_t* upper, uint8_t lowerFilter, uint8_t* lower,
                     const uint8_t* previous, size_t rowBytes, size_t distance,
                     Kernels kernels = Kernels::kFastest);
// The same with the plain loops only.
void unfilterRowScalar(uint8_t filterType, uint8_t* row, const uint8_t* previous, size_t rowBytes,
                       size_t distance);
// `count` consecutive rows of the inflated data, each right after its filter
// byte: the first at `first` (its filter byte at first[-1]), right below
// `previous`, the next rowBytes + 1 bytes further on. The same as unfilterRow
// on each in turn; runs of four Paeth rows are done together where the
// processor allows, then pairs as unfilterRowPair does.
void unfilterRows(uint8_t* first, size_t count, const uint8_t* previous, size_t rowBytes,
                  size_t distance, Kernels kernels = Kernels::kFastest);

}  // namespace pngpixels
