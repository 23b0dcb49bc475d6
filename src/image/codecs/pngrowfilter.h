#pragma once
// Row filtering for the PNG encoder: a fixed filter for every row, or a choice
// per row by the smallest sum of absolute prediction differences.

#include <cstdint>
#include <span>
#include <vector>

namespace pngfilter {

// PNG filter type bytes.
constexpr uint8_t kNone = 0;
constexpr uint8_t kSub = 1;
constexpr uint8_t kUp = 2;
constexpr uint8_t kAverage = 3;
constexpr uint8_t kPaeth = 4;

// Encoder filter settings: 1..5 are the fixed filters None..Paeth; 6 chooses per
// row; 0 is resolved by the colour type (see resolveSetting).
constexpr int32_t kAdaptive = 6;

// The setting actually used for a colour type: values outside 0..6 count as 0;
// 0 means Paeth for grey and true-colour rows and None for palette indices,
// whose neighbouring values carry no numeric relation.
int32_t resolveSetting(int32_t setting, uint8_t colourType);

// The filter the adaptive setting picks for a row (previous = the row above, or
// empty for the first row). Each candidate's score is the sum of |byte -
// predictor| over the row as whole numbers; the scan of a candidate stops once it
// exceeds the best score so far, which starts at 254 x row length; on equal
// scores the later candidate wins.
uint8_t chooseFilter(std::span<const uint8_t> row, std::span<const uint8_t> previous,
                     int bytesPerPixel);

// Appends the filter byte and the filtered row to out.
void appendFiltered(uint8_t filter, std::span<const uint8_t> row, std::span<const uint8_t> previous,
                    int bytesPerPixel, std::vector<uint8_t>& out);

}  // namespace pngfilter
