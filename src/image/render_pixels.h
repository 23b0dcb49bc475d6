#pragma once
// The pixel work behind c32bppDIB::Render and the effects: a plain top-down
// block of premultiplied B,G,R,A pixels, and the steps that make and consume
// one: the mirror copy, the resampler, the lightness adjustment, the grayscale
// conversion and the blender (into an image, or onto a surface through a
// 24-bit buffer of just the destination rectangle).

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <vector>

class c32bppDIB;

namespace renderpix {

// The order in which a block keeps its rows in memory. A block drawn into a
// picture is made in the picture's own order (bottom-up), so that blending
// reads both row by row upwards in memory: the same blend walking one of
// them downwards measured some 10 % slower.
enum class RowOrder { kTopDown, kBottomUp };

// Premultiplied pixels, each one packed as it lies in memory (blue in the
// lowest byte, alpha in the highest). Row 0 is the top row whatever the order.
struct PixelBlock {
  int32_t width = 0;
  int32_t height = 0;
  RowOrder order = RowOrder::kTopDown;
  std::vector<uint32_t> pixels;

  bool empty() const { return width <= 0 || height <= 0; }
  uint32_t* row(int32_t y) { return pixels.data() + rowStart(y); }
  const uint32_t* row(int32_t y) const { return pixels.data() + rowStart(y); }
  // From row y to row y + 1, in pixels.
  ptrdiff_t rowStride() const { return order == RowOrder::kTopDown ? width : -ptrdiff_t{width}; }
  uint32_t& at(int32_t x, int32_t y) { return row(y)[x]; }
  uint32_t at(int32_t x, int32_t y) const { return row(y)[x]; }
  bool allocate(int32_t w, int32_t h, RowOrder rowOrder = RowOrder::kTopDown);

 private:
  size_t rowStart(int32_t y) const {
    const int32_t stored = order == RowOrder::kTopDown ? y : height - 1 - y;
    return static_cast<size_t>(stored) * static_cast<size_t>(width);
  }
};

constexpr uint32_t alphaOf(uint32_t p) { return p >> 24; }

// A rectangle in the pixel coordinates of a drawing (y = 0 at the top).
struct Area {
  int32_t x = 0, y = 0, width = 0, height = 0;

  bool empty() const { return width <= 0 || height <= 0; }
  int64_t pixels() const { return empty() ? 0 : int64_t{width} * height; }
};

// The part of a width x height drawing placed at (x, y) that falls inside an
// areaWidth x areaHeight destination, in the drawing's own coordinates.
Area VisiblePart(int64_t x, int64_t y, int64_t width, int64_t height, int32_t areaWidth,
                 int32_t areaHeight);

// Copies the source rectangle (picture coordinates, already inside the image),
// reversing the columns and/or rows. Never scales.
PixelBlock MirrorCopy(const c32bppDIB& image, int32_t srcX, int32_t srcY, int32_t srcWidth,
                      int32_t srcHeight, bool reverseColumns, bool reverseRows,
                      RowOrder order = RowOrder::kTopDown);

// Scales the block to width x height: destination column x samples the source
// at x * (source width / width), likewise for rows. Nearest neighbour takes the
// pixel at the integer part; bilinear weighs the 2 x 2 pixels around the mapped
// point by the fractional parts in 1/256 steps, rounding once at the end. Only
// the visible part of the scaled picture is made (out is visible's size), so
// the cost follows what is seen, not the scaled size. False when a size is
// unusable or visible lies outside the scaled picture.
bool Resample(const PixelBlock& source, int32_t width, int32_t height, bool bilinear,
              const Area& visible, PixelBlock& out, RowOrder order = RowOrder::kTopDown);
// The whole scaled picture.
bool Resample(const PixelBlock& source, int32_t width, int32_t height, bool bilinear,
              PixelBlock& out);

// Adds percent / 100 x 255 x alpha / 255 to each colour channel of every
// visible pixel, limited to alpha above and 0 below. Percent outside
// -100..100, or 0, changes nothing.
void ApplyLightness(PixelBlock& block, float percent);

// The gray value of a premultiplied pixel under a weighting code (R, G, B
// weights of modParsers::GrayscaleWeights, rounded to the nearest integer).
uint8_t GrayValue(uint32_t pixel, int32_t grayscaleCode);

// Blends the block into the image's premultiplied pixels with its top-left at
// (destX, destY) in picture coordinates, clipped to the image, at opacity 0..255.
// Alpha bytes are blended by the same rule as the colours.
void BlendIntoImage(const PixelBlock& source, c32bppDIB& target, int32_t destX, int32_t destY,
                    uint32_t opacity, int32_t grayscaleCode);

// Blends the block onto the surface at (destX, destY), reading only the
// destination rectangle and writing it back once. A surface with an alpha
// channel is blended premultiplied onto premultiplied, alpha included, so
// what is transparent in both stays transparent; a surface without one goes
// through a 24-bit buffer and its written pixels are opaque.
void BlendOntoSurface(const PixelBlock& source, QImage& surface, int32_t destX, int32_t destY,
                      uint32_t opacity, int32_t grayscaleCode);

}  // namespace renderpix
