#pragma once
// The one premultiplication rule of the image engine: alpha 0 gives four zero
// bytes, alpha 255 keeps the colours, anything else gives colour x alpha / 255
// with the fraction dropped. Shared by decoders, effects and the bits export.

#include <cstdint>

namespace premul {

// floor(value / 255) for value in 0 .. 255 * 255, without a division.
constexpr uint32_t divideBy255(uint32_t value) { return (value + 1 + (value >> 8)) >> 8; }

// colour x alpha / 255, truncated.
constexpr uint8_t scale(uint32_t colour, uint32_t alpha) {
  return static_cast<uint8_t>(divideBy255(colour * alpha));
}

// A premultiplied pixel packed as it lies in memory (B, G, R, A from the lowest byte).
constexpr uint32_t packBGRA(uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
  if (alpha == 0) return 0;
  if (alpha != 255) {
    red = scale(red, alpha);
    green = scale(green, alpha);
    blue = scale(blue, alpha);
  }
  return blue | (green << 8) | (red << 16) | (alpha << 24);
}

// channel x 255 / alpha, integer division; the inverse used by exports and GetPixel.
constexpr uint8_t unscale(uint32_t channel, uint32_t alpha) {
  const uint32_t v = channel * 255 / alpha;
  return static_cast<uint8_t>(v > 255 ? 255 : v);
}

}  // namespace premul
