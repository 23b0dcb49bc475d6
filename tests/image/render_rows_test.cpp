// The vector forms of the blender's and the resampler's row kernels give the
// plain form's bytes on random rows; the resampler's visible part is the same
// as the matching part of the whole scaled picture.
#include "image/render_rows.h"
#include "image/cpu_features.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "image/render_pixels.h"

namespace rows = renderpix::rows;

namespace {

// Random pixels, a third of them valid premultiplied pixels of any alpha, a
// third opaque or clear (the skipped and copied cases) and a third with
// colours above their alpha.
std::vector<uint32_t> randomPixels(std::mt19937& random, size_t count) {
  std::vector<uint32_t> pixels(count);
  for (uint32_t& p : pixels) {
    const uint32_t kind = random() % 3;
    uint32_t a = random() % 256;
    if (kind == 1) a = (random() % 2) * 255;
    uint32_t pixel = a << 24;
    for (int shift = 0; shift < 24; shift += 8) {
      const uint32_t c = kind == 2 ? random() % 256 : random() % (a + 1);
      pixel |= c << shift;
    }
    p = pixel;
  }
  return pixels;
}

// Runs of one kind, so that whole vector groups are skipped or copied too.
std::vector<uint32_t> randomRow(std::mt19937& random, size_t count) {
  std::vector<uint32_t> row = randomPixels(random, count);
  for (size_t start = 0; start + 16 < count; start += 40) {
    const uint32_t run = random() % 3 == 0 ? 0u : 0xFF102030u;
    for (size_t i = start; i < start + 16; ++i) row[i] = run;
  }
  return row;
}

}  // namespace

TEST(RenderRowKernels, BlendFormsGiveThePlainBytes) {
  std::mt19937 random(21);
  for (const uint32_t opacity : {255u, 254u, 153u, 1u, 77u}) {
    for (const int32_t count : {0, 1, 3, 4, 7, 8, 9, 15, 16, 17, 24, 31, 333}) {
      // Rows starting at every 4-byte offset from a 32-byte boundary.
      const auto shift = static_cast<size_t>(random() % 8);
      const std::vector<uint32_t> src = randomRow(random, static_cast<size_t>(count));
      const std::vector<uint32_t> dst = randomPixels(random, static_cast<size_t>(count) + shift);
      std::vector<uint32_t> plain = dst, sse2 = dst, avx2 = dst;
      rows::blendPlain(plain.data() + shift, src.data(), count, opacity);
      rows::blendSse2(sse2.data() + shift, src.data(), count, opacity);
      ASSERT_EQ(sse2, plain) << count << " pixels at " << opacity;
      if (cpu::hasAvx2()) {
        rows::blendAvx2(avx2.data() + shift, src.data(), count, opacity);
        ASSERT_EQ(avx2, plain) << count << " pixels at " << opacity << ", shifted " << shift;
      }
    }
    // Three rows in one call, the destination's stored bottom-up.
    const std::vector<uint32_t> src = randomRow(random, 3 * 37);
    std::vector<uint32_t> rowsAtOnce = randomPixels(random, 3 * 40), plain = rowsAtOnce;
    for (size_t y = 0; y < 3; ++y)
      rows::blendPlain(plain.data() + (2 - y) * 40, src.data() + y * 37, 37, opacity);
    rows::blendRows(rowsAtOnce.data() + 80, -40, src.data(), 37, 37, 3, opacity);
    ASSERT_EQ(rowsAtOnce, plain) << "rows at " << opacity;
  }
}

TEST(RenderRowKernels, ResamplerFormsGiveThePlainBytes) {
  std::mt19937 random(22);
  for (const int32_t count : {1, 4, 5, 8, 13, 301}) {
    const std::vector<uint32_t> top = randomPixels(random, static_cast<size_t>(count));
    const std::vector<uint32_t> bottom = randomPixels(random, static_cast<size_t>(count));
    for (const uint32_t wy : {0u, 1u, 128u, 255u, 256u, static_cast<uint32_t>(random() % 257)}) {
      // One pixel more than the row: the horizontal pass reads a right neighbour.
      std::vector<uint16_t> plain((static_cast<size_t>(count) + 1) * 4);
      std::vector<uint16_t> sse2 = plain;
      rows::mixRowsPlain(top.data(), bottom.data(), count, wy, plain.data());
      rows::mixRowsSse2(top.data(), bottom.data(), count, wy, sse2.data());
      ASSERT_EQ(sse2, plain) << count << " pixels, wy " << wy;

      const auto outCount = static_cast<size_t>(count) * 3 + 2;
      std::vector<int32_t> left(outCount);
      std::vector<uint32_t> weights(outCount);
      for (size_t x = 0; x < outCount; ++x) {
        const uint32_t wx = x % 7 == 0 ? (x % 2) * 256 : random() % 257;
        left[x] = static_cast<int32_t>(random() % static_cast<uint32_t>(count));
        weights[x] = (wx << 16) | (256 - wx);
      }
      const auto n = static_cast<int32_t>(outCount);
      std::vector<uint32_t> outPlain(outCount), outSse2(outCount), outAvx2(outCount);
      rows::mixColumnsPlain(plain.data(), left.data(), weights.data(), n, outPlain.data());
      rows::mixColumnsSse2(plain.data(), left.data(), weights.data(), n, outSse2.data());
      ASSERT_EQ(outSse2, outPlain) << count << " pixels, wy " << wy;
      if (cpu::hasAvx2()) {
        rows::mixColumnsAvx2(plain.data(), left.data(), weights.data(), n, outAvx2.data());
        ASSERT_EQ(outAvx2, outPlain) << count << " pixels, wy " << wy;
      }
    }
  }
}

// Bilinear and nearest, enlarged and reduced: every visible part equals the
// same part cut from the whole scaled picture.
TEST(RenderRowKernels, VisiblePartOfAScaledPictureIsCutFromTheWhole) {
  std::mt19937 random(23);
  renderpix::PixelBlock source;
  ASSERT_TRUE(source.allocate(37, 23));
  source.pixels = randomPixels(random, source.pixels.size());
  for (const bool bilinear : {true, false}) {
    for (const auto& [width, height] : {std::pair{61, 50}, std::pair{20, 9}, std::pair{37, 70}}) {
      renderpix::PixelBlock whole;
      ASSERT_TRUE(renderpix::Resample(source, width, height, bilinear, whole));
      for (int i = 0; i < 4; ++i) {
        renderpix::Area part;
        part.x = static_cast<int32_t>(random() % static_cast<uint32_t>(width));
        part.y = static_cast<int32_t>(random() % static_cast<uint32_t>(height));
        part.width = 1 + static_cast<int32_t>(random() % static_cast<uint32_t>(width - part.x));
        part.height = 1 + static_cast<int32_t>(random() % static_cast<uint32_t>(height - part.y));
        renderpix::PixelBlock cut;
        ASSERT_TRUE(renderpix::Resample(source, width, height, bilinear, part, cut));
        for (int32_t y = 0; y < part.height; ++y) {
          for (int32_t x = 0; x < part.width; ++x) {
            ASSERT_EQ(cut.at(x, y), whole.at(part.x + x, part.y + y))
                << width << "x" << height << " at " << part.x + x << "," << part.y + y;
          }
        }
      }
    }
  }
}
