// The own resampler: nearest neighbour, or bilinear in two passes (the two
// source rows first, then the two columns), over the visible part only.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/render_pixels.h"
#include "image/render_rows.h"

namespace renderpix {

namespace {

// Where each visible destination column samples the source: its left source
// column and the weights of that column and the next, computed once a call.
struct Columns {
  std::vector<int32_t> left;
  std::vector<uint32_t> weights;  // (wx << 16) | (256 - wx)
};

Columns mapColumns(const PixelBlock& source, int32_t width, const Area& visible) {
  const double ratio = static_cast<double>(source.width) / width;
  Columns columns;
  columns.left.resize(static_cast<size_t>(visible.width));
  columns.weights.resize(static_cast<size_t>(visible.width));
  for (int32_t i = 0; i < visible.width; ++i) {
    const double sx = (int64_t{visible.x} + i) * ratio;
    const auto ix = std::min(static_cast<int32_t>(sx), source.width - 1);
    const auto wx = static_cast<uint32_t>(std::lround((sx - ix) * 256));
    columns.left[i] = ix;
    columns.weights[i] = (wx << 16) | (256 - wx);
  }
  return columns;
}

void resampleNearest(const PixelBlock& source, int32_t height, const Area& visible,
                     const Columns& columns, PixelBlock& out) {
  const double ratio = static_cast<double>(source.height) / height;
  for (int32_t y = 0; y < visible.height; ++y) {
    const double sy = (int64_t{visible.y} + y) * ratio;
    const uint32_t* row = source.row(std::min(static_cast<int32_t>(sy), source.height - 1));
    uint32_t* dst = out.row(y);
    for (int32_t x = 0; x < visible.width; ++x) dst[x] = row[columns.left[x]];
  }
}

// The vertical pass covers only the source columns the visible part reads,
// plus one repeated at the end: the right neighbour of the last source column
// is that column itself.
void resampleBilinear(const PixelBlock& source, int32_t height, const Area& visible,
                      Columns& columns, PixelBlock& out) {
  const int32_t first = columns.left.front();
  const int32_t last = std::min(columns.left.back() + 1, source.width - 1);
  const int32_t span = last - first + 1;
  for (int32_t& left : columns.left) left -= first;
  std::vector<uint16_t> mixed(static_cast<size_t>(span + 1) * 4);
  const double ratio = static_cast<double>(source.height) / height;
  for (int32_t y = 0; y < visible.height; ++y) {
    const double sy = (int64_t{visible.y} + y) * ratio;
    const auto iy = std::min(static_cast<int32_t>(sy), source.height - 1);
    const int32_t iyBelow = std::min(iy + 1, source.height - 1);
    const auto wy = static_cast<uint32_t>(std::lround((sy - iy) * 256));
    rows::mixRows(source.row(iy) + first, source.row(iyBelow) + first, span, wy, mixed.data());
    std::memcpy(&mixed[static_cast<size_t>(span) * 4], &mixed[static_cast<size_t>(span - 1) * 4],
                4 * sizeof(uint16_t));
    rows::mixColumns(mixed.data(), columns.left.data(), columns.weights.data(), visible.width,
                     out.row(y));
  }
}

}  // namespace

bool Resample(const PixelBlock& source, int32_t width, int32_t height, bool bilinear,
              const Area& visible, PixelBlock& out, RowOrder order) {
  if (source.empty() || width <= 0 || height <= 0 || visible.empty() || visible.x < 0 ||
      visible.y < 0 || int64_t{visible.x} + visible.width > width ||
      int64_t{visible.y} + visible.height > height ||
      !out.allocate(visible.width, visible.height, order)) {
    return false;
  }
  Columns columns = mapColumns(source, width, visible);
  if (bilinear) {
    resampleBilinear(source, height, visible, columns, out);
  } else {
    resampleNearest(source, height, visible, columns, out);
  }
  return true;
}

bool Resample(const PixelBlock& source, int32_t width, int32_t height, bool bilinear,
              PixelBlock& out) {
  return Resample(source, width, height, bilinear, Area{0, 0, width, height}, out);
}

}  // namespace renderpix
