// Reversal of the five PNG row filters: the plain loops that define the
// results, and the choice of the vector loops (pngunfilter_sse2.cpp) where
// the processor has them. Both must give the same bytes; the tests compare
// them on every suite image and on random rows.
#include "image/codecs/pngreconstruct.h"
#include "image/codecs/pngunfilter_sse2.h"
#include "image/cpu_features.h"

#include <cstdlib>

namespace pngpixels {
namespace {

// Paeth predictor: the neighbour closest to left + above - upper-left, ties
// going to left, then above.
inline uint8_t paeth(int left, int above, int upperLeft) {
  const int pa = std::abs(above - upperLeft);
  const int pb = std::abs(left - upperLeft);
  const int pc = std::abs(above - upperLeft + left - upperLeft);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(left);
  if (pb <= pc) return static_cast<uint8_t>(above);
  return static_cast<uint8_t>(upperLeft);
}

void unfilterSub(uint8_t* row, size_t rowBytes, size_t distance) {
  for (size_t i = distance; i < rowBytes; ++i)
    row[i] = static_cast<uint8_t>(row[i] + row[i - distance]);
}

void unfilterUp(uint8_t* row, const uint8_t* previous, size_t rowBytes) {
  for (size_t i = 0; i < rowBytes; ++i) row[i] = static_cast<uint8_t>(row[i] + previous[i]);
}

void unfilterAverage(uint8_t* row, const uint8_t* previous, size_t rowBytes, size_t distance) {
  const size_t head = distance < rowBytes ? distance : rowBytes;
  for (size_t i = 0; i < head; ++i) row[i] = static_cast<uint8_t>(row[i] + (previous[i] >> 1));
  for (size_t i = distance; i < rowBytes; ++i) {
    row[i] = static_cast<uint8_t>(row[i] + ((row[i - distance] + previous[i]) >> 1));
  }
}

void unfilterPaeth(uint8_t* row, const uint8_t* previous, size_t rowBytes, size_t distance) {
  const size_t head = distance < rowBytes ? distance : rowBytes;
  for (size_t i = 0; i < head; ++i) row[i] = static_cast<uint8_t>(row[i] + previous[i]);
  for (size_t i = distance; i < rowBytes; ++i) {
    row[i] = static_cast<uint8_t>(row[i] +
                                  paeth(row[i - distance], previous[i], previous[i - distance]));
  }
}

}  // namespace

void unfilterRowScalar(uint8_t filterType, uint8_t* row, const uint8_t* previous, size_t rowBytes,
                       size_t distance) {
  switch (filterType) {
    case 1:
      unfilterSub(row, rowBytes, distance);
      break;
    case 2:
      unfilterUp(row, previous, rowBytes);
      break;
    case 3:
      unfilterAverage(row, previous, rowBytes, distance);
      break;
    case 4:
      unfilterPaeth(row, previous, rowBytes, distance);
      break;
    default:
      break;
  }
}

void unfilterRow(uint8_t filterType, uint8_t* row, const uint8_t* previous, size_t rowBytes,
                 size_t distance, Kernels kernels) {
  if (kernels == Kernels::kFastest &&
      unfilterRowSse2(filterType, row, previous, rowBytes, distance)) {
    return;
  }
  unfilterRowScalar(filterType, row, previous, rowBytes, distance);
}

void unfilterRowPair(uint8_t upperFilter, uint8_t* upper, uint8_t lowerFilter, uint8_t* lower,
                     const uint8_t* previous, size_t rowBytes, size_t distance, Kernels kernels) {
  constexpr uint8_t kPaeth = 4;
  if (kernels == Kernels::kFastest && upperFilter == kPaeth && lowerFilter == kPaeth) {
    const bool done = cpu::hasAvx()
                          ? unfilterPaethPairAvx(upper, lower, previous, rowBytes, distance)
                          : unfilterPaethPairSse2(upper, lower, previous, rowBytes, distance);
    if (done) return;
  }
  unfilterRow(upperFilter, upper, previous, rowBytes, distance, kernels);
  unfilterRow(lowerFilter, lower, upper, rowBytes, distance, kernels);
}

void unfilterRows(uint8_t* first, size_t count, const uint8_t* previous, size_t rowBytes,
                  size_t distance, Kernels kernels) {
  constexpr uint8_t kPaeth = 4;
  const size_t stride = rowBytes + 1;
  const bool quads = kernels == Kernels::kFastest && cpu::hasAvx2();
  for (size_t done = 0; done < count;) {
    uint8_t* row = first + done * stride;
    const uint8_t* above = done == 0 ? previous : row - stride;
    const size_t left = count - done;
    if (quads && left >= 4 && row[-1] == kPaeth && row[stride - 1] == kPaeth &&
        row[2 * stride - 1] == kPaeth && row[3 * stride - 1] == kPaeth &&
        unfilterPaethQuadAvx2(row, stride, above, rowBytes, distance)) {
      done += 4;
    } else if (left >= 2) {
      unfilterRowPair(row[-1], row, row[stride - 1], row + stride, above, rowBytes, distance,
                      kernels);
      done += 2;
    } else {
      unfilterRow(row[-1], row, above, rowBytes, distance, kernels);
      done += 1;
    }
  }
}

}  // namespace pngpixels
