// Row filters of the PNG encoder and the per-row choice between them.
#include "image/codecs/pngrowfilter.h"

#include <cstdlib>

namespace pngfilter {

namespace {

int paethPredictor(int left, int above, int upperLeft) {
  const int estimate = left + above - upperLeft;
  const int toLeft = std::abs(estimate - left);
  const int toAbove = std::abs(estimate - above);
  const int toUpperLeft = std::abs(estimate - upperLeft);
  if (toLeft <= toAbove && toLeft <= toUpperLeft) return left;
  if (toAbove <= toUpperLeft) return above;
  return upperLeft;
}

// The predictor of byte i of the row under a filter; neighbours outside the
// image count as 0.
int predictor(uint8_t filter, std::span<const uint8_t> row, std::span<const uint8_t> previous,
              size_t i, int bytesPerPixel) {
  const size_t bpp = static_cast<size_t>(bytesPerPixel);
  const int left = i >= bpp ? row[i - bpp] : 0;
  const int above = previous.empty() ? 0 : previous[i];
  switch (filter) {
    case kSub:
      return left;
    case kUp:
      return above;
    case kAverage:
      return (left + above) / 2;
    case kPaeth: {
      const int upperLeft = (i >= bpp && !previous.empty()) ? previous[i - bpp] : 0;
      return paethPredictor(left, above, upperLeft);
    }
    default:
      return 0;
  }
}

}  // namespace

int32_t resolveSetting(int32_t setting, uint8_t colourType) {
  if (setting < 0 || setting > kAdaptive) setting = 0;
  if (setting != 0) return setting;
  return colourType == 3 ? 1 : 5;
}

uint8_t chooseFilter(std::span<const uint8_t> row, std::span<const uint8_t> previous,
                     int bytesPerPixel) {
  uint8_t chosen = kNone;
  uint64_t best = 254ull * row.size();
  for (uint8_t filter = kNone; filter <= kPaeth; ++filter) {
    uint64_t sum = 0;
    bool dropped = false;
    for (size_t i = 0; i < row.size(); ++i) {
      sum += static_cast<uint64_t>(
          std::abs(row[i] - predictor(filter, row, previous, i, bytesPerPixel)));
      if (sum > best) {
        dropped = true;
        break;
      }
    }
    if (dropped) continue;
    chosen = filter;
    best = sum == 0 ? 1 : sum;
  }
  return chosen;
}

void appendFiltered(uint8_t filter, std::span<const uint8_t> row, std::span<const uint8_t> previous,
                    int bytesPerPixel, std::vector<uint8_t>& out) {
  out.push_back(filter);
  for (size_t i = 0; i < row.size(); ++i) {
    out.push_back(
        static_cast<uint8_t>(row[i] - predictor(filter, row, previous, i, bytesPerPixel)));
  }
}

}  // namespace pngfilter
