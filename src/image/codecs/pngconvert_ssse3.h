#pragma once
// The byte-shuffle loop of the second commonest PNG conversion: 8-bit RGB
// samples to opaque B, G, R, A pixels, four pixels at a time. SSSE3 is not
// part of every x86-64 processor: the loop is compiled for it on its own and
// chosen at run time; elsewhere the plain loop serves.

#include <cstddef>
#include <cstdint>

namespace pngpixels {

// Converts the first pixels of `count` (a multiple of four of them, each
// group read with a 16-byte load that stays inside the `count` pixels) and
// returns how many it did; the caller does the rest. Needs cpu::hasSsse3().
size_t convertRgb8Ssse3(const uint8_t* src, uint32_t* dst, size_t count);

}  // namespace pngpixels
