// Render: argument rules, the own blender and resampler, rotation and the
// chequer board, checked pixel by pixel against values worked out by hand.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstring>
#include <numbers>

#include "image/c32bppdib.h"
#include "image/cgdiplus.h"
#include "pixel_helpers.h"

using pixeltest::at;
using pixeltest::bgra;
using pixeltest::fill;
using pixeltest::put;

namespace {

// The blending rule for one channel: dst (255 - A O / 255) + src O, over 255.
uint32_t rule(uint32_t dst, uint32_t src, uint32_t a, uint32_t o) {
  return (dst * (255 - a * o / 255) + src * o) / 255;
}

uint32_t blendPixel(uint32_t dst, uint32_t src, uint32_t o) {
  const uint32_t a = src >> 24;
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    out |= rule((dst >> shift) & 0xFF, (src >> shift) & 0xFF, a, o) << shift;
  }
  return out;
}

// An image that draws on the own path: no system alpha blend, no image service.
void useOwnPath(c32bppDIB& image) {
  image.setAlphaBlendFriendly(false);
  image.setGDIplusEnabled(false);
}

void makeImage(c32bppDIB& image, int32_t w, int32_t h, uint32_t pixel) {
  ASSERT_TRUE(image.InitializeDIB(w, h));
  fill(image, pixel);
}

constexpr uint32_t kSource = bgra(40, 80, 120, 200);
constexpr uint32_t kBackdrop = bgra(10, 20, 30, 100);

}  // namespace

TEST(RenderOpacity, HundredDrawsFullyZeroNothingAndHundredFiftyActsAsFifty) {
  c32bppDIB source;
  makeImage(source, 2, 2, kSource);
  useOwnPath(source);
  for (const auto& [opacity, expected] : {std::pair{100, blendPixel(kBackdrop, kSource, 255)},
                                          std::pair{150, blendPixel(kBackdrop, kSource, 127)},
                                          std::pair{50, blendPixel(kBackdrop, kSource, 127)},
                                          std::pair{0, kBackdrop}, std::pair{-20, kBackdrop}}) {
    c32bppDIB target;
    makeImage(target, 2, 2, kBackdrop);
    EXPECT_TRUE(source.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, opacity, false, &target)) << opacity;
    EXPECT_EQ(at(target, 1, 1), expected) << "opacity " << opacity;
  }
}

TEST(RenderOpacity, NothingToDrawWithoutAnImage) {
  c32bppDIB empty, target;
  makeImage(target, 2, 2, kBackdrop);
  EXPECT_FALSE(empty.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 100, false, &target));
}

TEST(RenderBlender, FormulaIntoTargetBlendsAlphaToo) {
  c32bppDIB source, target;
  makeImage(source, 3, 1, 0);
  put(source, 0, 0, bgra(255, 128, 0, 255));  // opaque: copied
  put(source, 1, 0, kSource);                 // partly transparent: blended
  // pixel 2 stays fully transparent: skipped
  useOwnPath(source);
  makeImage(target, 3, 1, kBackdrop);
  ASSERT_TRUE(source.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 100, false, &target));
  EXPECT_EQ(at(target, 0, 0), bgra(255, 128, 0, 255));
  EXPECT_EQ(at(target, 1, 0), blendPixel(kBackdrop, kSource, 255));
  EXPECT_EQ((at(target, 1, 0) >> 24), rule(100, 200, 200, 255));  // 200 + 100 x 55 / 255
  EXPECT_EQ(at(target, 2, 0), kBackdrop);

  // At 60 % even the opaque pixel blends: O = 153.
  makeImage(target, 3, 1, kBackdrop);
  ASSERT_TRUE(source.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 60, false, &target));
  EXPECT_EQ(at(target, 0, 0), blendPixel(kBackdrop, bgra(255, 128, 0, 255), 153));
  EXPECT_EQ(at(target, 1, 0), blendPixel(kBackdrop, kSource, 153));
}

TEST(RenderBlender, WideRowsFollowTheRuleAtEveryPixel) {
  // 37 columns: whole groups of four and a remainder, with transparent, opaque
  // and partly transparent pixels mixed, and runs of each kind.
  c32bppDIB source, target;
  ASSERT_TRUE(source.InitializeDIB(37, 3));
  ASSERT_TRUE(target.InitializeDIB(37, 3));
  uint32_t seed = 12345;
  const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 37; ++x) {
      const uint32_t kind = x < 8 ? 0 : (x < 16 ? 255 : next() % 256);
      const uint32_t a = y == 1 ? next() % 256 : kind;
      put(source, x, y, bgra(next() % (a + 1), next() % (a + 1), next() % (a + 1), a));
      const uint32_t da = next() % 256;
      put(target, x, y, bgra(next() % (da + 1), next() % (da + 1), next() % (da + 1), da));
    }
  }
  useOwnPath(source);
  for (const int opacity : {100, 60, 1}) {
    c32bppDIB fresh;
    ASSERT_TRUE(fresh.InitializeDIB(37, 3));
    std::memcpy(fresh.BitsPointer(), target.BitsPointer(), 37 * 3 * 4);
    ASSERT_TRUE(source.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, opacity, false, &fresh));
    const auto o = static_cast<uint32_t>(opacity * 255 / 100);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 37; ++x) {
        const uint32_t s = at(source, x, y);
        const uint32_t expected =
            (s >> 24) == 0 ? at(target, x, y) : blendPixel(at(target, x, y), s, o);
        ASSERT_EQ(at(fresh, x, y), expected) << x << "," << y << " at " << opacity << " %";
      }
    }
  }
}

// A surface with alpha is blended premultiplied onto premultiplied, so what is
// clear in the drawing leaves the surface as it was, clear parts included; a
// surface without alpha gets opaque pixels.
TEST(RenderBlender, OntoSurfaceKeepsItsAlphaOrHasNone) {
  c32bppDIB source;
  makeImage(source, 2, 1, kSource);
  put(source, 1, 0, 0);
  useOwnPath(source);
  QImage clear(4, 3, QImage::Format_ARGB32_Premultiplied);
  clear.fill(Qt::transparent);
  for (int y = 0; y < 3; ++y) clear.setPixel(0, y, kBackdrop);  // B 10, G 20, R 30, A 100
  clear.setPixel(1, 2, kBackdrop);
  ASSERT_TRUE(source.Render(&clear, 1, 2, 0, 0, 0, 0, 0, 0, 60, false));
  ASSERT_TRUE(source.Render(&clear, 0, 0, 0, 0, 0, 0, 0, 0, 60, false));
  EXPECT_EQ(clear.pixel(1, 2), blendPixel(kBackdrop, kSource, 153));
  EXPECT_EQ(clear.pixel(0, 0), blendPixel(kBackdrop, kSource, 153));
  EXPECT_EQ(clear.pixel(2, 2), 0u);  // under the clear source pixel
  EXPECT_EQ(clear.pixel(1, 0), 0u);
  EXPECT_EQ(clear.pixel(0, 1), kBackdrop);

  QImage opaque(4, 3, QImage::Format_RGB32);
  opaque.fill(qRgb(30, 20, 10));
  ASSERT_TRUE(source.Render(&opaque, 1, 2, 0, 0, 0, 0, 0, 0, 100, false));
  EXPECT_EQ(opaque.pixel(1, 2), qRgb(static_cast<int>(rule(30, 120, 200, 255)),
                                     static_cast<int>(rule(20, 80, 200, 255)),
                                     static_cast<int>(rule(10, 40, 200, 255))));
  EXPECT_EQ(opaque.pixel(2, 2), qRgb(30, 20, 10));
}

TEST(RenderBlender, EverySurfaceFormatGetsTheSameColours) {
  c32bppDIB source;
  makeImage(source, 3, 2, kSource);
  useOwnPath(source);
  for (const QImage::Format format :
       {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied,
        QImage::Format_RGB888, QImage::Format_RGB16}) {
    QImage surface(5, 5, format);
    surface.fill(qRgb(32, 20, 8));
    const QRgb before = surface.pixel(0, 0);
    ASSERT_TRUE(source.Render(&surface, 2, 2, 0, 0, 0, 0, 0, 0, 100, false));
    const QRgb blended = surface.pixel(3, 3);
    const QRgb expected = qRgb(static_cast<int>(rule(qRed(before), 120, 200, 255)),
                               static_cast<int>(rule(qGreen(before), 80, 200, 255)),
                               static_cast<int>(rule(qBlue(before), 40, 200, 255)));
    // 16-bit surfaces keep 5 or 6 bits a channel.
    const int slack = format == QImage::Format_RGB16 ? 8 : 0;
    EXPECT_NEAR(qRed(blended), qRed(expected), slack) << format;
    EXPECT_NEAR(qGreen(blended), qGreen(expected), slack) << format;
    EXPECT_NEAR(qBlue(blended), qBlue(expected), slack) << format;
    EXPECT_EQ(qAlpha(blended), 255);
    EXPECT_EQ(surface.pixel(1, 1), before) << format;
  }
}

TEST(RenderMirroring, NegativeDestinationSizeMirrorsWithoutScaling) {
  c32bppDIB source;
  ASSERT_TRUE(source.InitializeDIB(3, 2));
  pixeltest::paintDistinct(source);
  useOwnPath(source);
  c32bppDIB target;
  makeImage(target, 3, 2, 0);
  ASSERT_TRUE(source.Render(nullptr, 0, 0, -3, 0, 0, 0, 0, 0, 100, false, &target));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(at(target, x, y), at(source, 2 - x, y));

  // A negative source width mirrors the same way; a negative destination
  // height turns the rows over as well.
  makeImage(target, 3, 2, 0);
  ASSERT_TRUE(source.Render(nullptr, 0, 0, 0, -2, 0, 0, -3, 0, 100, false, &target));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(at(target, x, y), at(source, 2 - x, 1 - y));
}

TEST(RenderSourceRectangle, ReachingPastTheImageIsClipped) {
  c32bppDIB source;
  ASSERT_TRUE(source.InitializeDIB(3, 3));
  pixeltest::paintDistinct(source);
  useOwnPath(source);
  c32bppDIB target;
  makeImage(target, 5, 5, 0);
  // Source (1, 1) 10 x 10 keeps only the 2 x 2 inside the image, drawn unscaled.
  ASSERT_TRUE(source.Render(nullptr, 1, 1, 0, 0, 1, 1, 10, 10, 100, false, &target));
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 5; ++x) {
      const bool inside = x >= 1 && x <= 2 && y >= 1 && y <= 2;
      EXPECT_EQ(at(target, x, y), inside ? at(source, x, y) : 0u) << x << "," << y;
    }
  }
  // A negative corner counts as 0; a corner past the image draws nothing.
  makeImage(target, 5, 5, 0);
  ASSERT_TRUE(source.Render(nullptr, 0, 0, 0, 0, -4, -4, 0, 0, 100, false, &target));
  EXPECT_EQ(at(target, 2, 2), at(source, 2, 2));
  EXPECT_FALSE(source.Render(nullptr, 0, 0, 0, 0, 3, 0, 0, 0, 100, false, &target));
}

TEST(RenderScaling, NearestAndBilinearResampling) {
  c32bppDIB source;
  makeImage(source, 2, 1, bgra(0, 0, 0, 255));
  put(source, 1, 0, bgra(200, 100, 40, 255));
  useOwnPath(source);
  c32bppDIB target;
  makeImage(target, 4, 1, 0);
  source.setHighQualityInterpolation(false);
  ASSERT_TRUE(source.Render(nullptr, 0, 0, 4, 1, 0, 0, 0, 0, 100, false, &target));
  // Ratio 0.5: columns 0, 0, 1, 1.
  EXPECT_EQ(at(target, 1, 0), bgra(0, 0, 0, 255));
  EXPECT_EQ(at(target, 2, 0), bgra(200, 100, 40, 255));

  source.setHighQualityInterpolation(true);
  makeImage(target, 4, 1, 0);
  ASSERT_TRUE(source.Render(nullptr, 0, 0, 4, 1, 0, 0, 0, 0, 100, false, &target));
  // Column 1 maps to 0.5: half of each neighbour, rounded.
  EXPECT_EQ(at(target, 0, 0), bgra(0, 0, 0, 255));
  EXPECT_EQ(at(target, 1, 0), bgra(100, 50, 20, 255));
  EXPECT_EQ(at(target, 2, 0), bgra(200, 100, 40, 255));
  EXPECT_EQ(at(target, 3, 0), bgra(200, 100, 40, 255));  // the right edge repeats
}

TEST(RenderLightness, ShiftsByAlphaShareAndOutOfRangeActsAsZero) {
  c32bppDIB source;
  makeImage(source, 1, 1, kSource);
  useOwnPath(source);
  c32bppDIB target;
  makeImage(target, 1, 1, 0);
  ASSERT_TRUE(source.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 100, false, &target, -1, 150.0f));
  EXPECT_EQ(at(target, 0, 0), kSource);

  // 50 %: d = 127.5, delta = round(127.5 x 200) / 255 = 100; capped at alpha 200.
  makeImage(target, 1, 1, 0);
  ASSERT_TRUE(source.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 100, false, &target, -1, 50.0f));
  EXPECT_EQ(at(target, 0, 0), bgra(140, 180, 200, 200));
  // -30 %: delta = round(-76.5 x 200) / 255 = -60; limited at 0.
  makeImage(target, 1, 1, 0);
  ASSERT_TRUE(source.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 100, false, &target, -1, -30.0f));
  EXPECT_EQ(at(target, 0, 0), bgra(0, 20, 60, 200));
}

TEST(RenderGrayscale, EveryCodeUsesItsWeights) {
  // R 200, G 100, B 60, opaque; the gray values worked out from the table.
  const std::pair<int, uint32_t> cases[] = {{0, 125}, {1, 118}, {2, 120}, {3, 176}, {4, 106},
                                            {5, 78},  {6, 141}, {7, 92},  {9, 125}};
  c32bppDIB source;
  makeImage(source, 1, 1, bgra(60, 100, 200, 255));
  useOwnPath(source);
  for (const auto& [code, gray] : cases) {
    c32bppDIB target;
    makeImage(target, 1, 1, 0);
    ASSERT_TRUE(source.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 100, false, &target, code));
    EXPECT_EQ(at(target, 0, 0), bgra(gray, gray, gray, 255)) << "code " << code;
    QImage surface(1, 1, QImage::Format_RGB32);
    surface.fill(Qt::black);
    ASSERT_TRUE(source.Render(&surface, 0, 0, 0, 0, 0, 0, 0, 0, 100, false, nullptr, code));
    EXPECT_EQ(surface.pixel(0, 0), qRgb(gray, gray, gray)) << "code " << code;
  }
}

TEST(RenderPaths, SystemAlphaBlendAndOwnBlenderAgreeOnOpaqueDrawing) {
  c32bppDIB source;
  ASSERT_TRUE(source.LoadPicture_File(pixeltest::suite("basn2c08.png")));
  c32bppDIB viaSystem, viaOwn;
  makeImage(viaSystem, 40, 40, 0);
  makeImage(viaOwn, 40, 40, 0);
  ASSERT_TRUE(source.Render(nullptr, 4, 4, 0, 0, 0, 0, 0, 0, 100, false, &viaSystem));
  useOwnPath(source);
  ASSERT_TRUE(source.Render(nullptr, 4, 4, 0, 0, 0, 0, 0, 0, 100, false, &viaOwn));
  EXPECT_EQ(0, std::memcmp(viaSystem.BitsPointer(), viaOwn.BitsPointer(), 40 * 40 * 4));
  EXPECT_EQ(at(viaOwn, 4, 4), at(source, 0, 0));
}

// The system blend may stand in for the own blender only where it gives the
// same bytes: partly transparent pixels over a partly transparent backdrop,
// at every opacity, into an image and onto a premultiplied surface.
TEST(RenderPaths, SystemBlendGivesTheOwnBlendersBytesAtEveryOpacity) {
  const auto paint = [](c32bppDIB& source) {
    makeImage(source, 5, 1, 0);
    put(source, 0, 0, bgra(255, 128, 0, 255));
    put(source, 1, 0, kSource);
    put(source, 2, 0, bgra(3, 17, 29, 31));
    put(source, 3, 0, bgra(250, 1, 128, 251));
    source.setGDIplusEnabled(false);
  };
  c32bppDIB viaSystem, viaOwn;
  paint(viaSystem);
  paint(viaOwn);
  useOwnPath(viaOwn);
  ASSERT_TRUE(viaSystem.isAlphaBlendFriendly());
  for (int opacity = 1; opacity <= 100; ++opacity) {
    c32bppDIB system, own;
    makeImage(system, 5, 1, kBackdrop);
    makeImage(own, 5, 1, kBackdrop);
    ASSERT_TRUE(viaSystem.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, opacity, true, &system));
    ASSERT_TRUE(viaOwn.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, opacity, true, &own));
    ASSERT_EQ(0, std::memcmp(system.BitsPointer(), own.BitsPointer(), 5 * 4)) << opacity << " %";
    QImage systemSurface(5, 1, QImage::Format_ARGB32_Premultiplied);
    systemSurface.fill(kBackdrop);
    QImage ownSurface = systemSurface.copy();
    ASSERT_TRUE(viaSystem.Render(&systemSurface, 0, 0, 0, 0, 0, 0, 0, 0, opacity, true));
    ASSERT_TRUE(viaOwn.Render(&ownSurface, 0, 0, 0, 0, 0, 0, 0, 0, opacity, true));
    ASSERT_EQ(systemSurface, ownSurface) << opacity << " %";
  }
}

// A picture keeps its rows bottom-up and a surface top-down; the own path
// makes its block in the order of what it draws on. Scaled, mirrored,
// clipped, grayscaled and lightened drawings of random pixels must come out
// byte for byte the same either way.
TEST(RenderPaths, PictureTargetAndSurfaceGetTheSameBytes) {
  c32bppDIB source;
  ASSERT_TRUE(source.InitializeDIB(13, 9));
  uint32_t seed = 7;
  for (int32_t y = 0; y < 9; ++y) {
    for (int32_t x = 0; x < 13; ++x) {
      seed = seed * 1103515245u + 12345u;
      const uint32_t a = (seed >> 24) | 1, colour = (seed >> 8) % (a + 1);
      put(source, x, y, bgra(colour, colour / 2, a - colour, a));
    }
  }
  useOwnPath(source);
  struct Drawing {
    int32_t x, y, width, height, opacity, grayscale;
    bool smooth;
    float lightness;
  };
  for (const Drawing& d :
       {Drawing{2, 1, 0, 0, 100, -1, false, 0}, Drawing{-3, 2, 17, -11, 100, -1, true, 0},
        Drawing{4, -2, -9, 14, 60, -1, false, 0}, Drawing{1, 1, 8, 6, 100, 1, true, 20}}) {
    c32bppDIB target;
    makeImage(target, 12, 10, kBackdrop);
    QImage surface(12, 10, QImage::Format_ARGB32_Premultiplied);
    for (int32_t y = 0; y < 10; ++y)
      for (int32_t x = 0; x < 12; ++x)
        reinterpret_cast<uint32_t*>(surface.scanLine(y))[x] = kBackdrop;
    ASSERT_TRUE(source.Render(nullptr, d.x, d.y, d.width, d.height, 0, 0, 0, 0, d.opacity, d.smooth,
                              &target, d.grayscale, d.lightness));
    ASSERT_TRUE(source.Render(&surface, d.x, d.y, d.width, d.height, 0, 0, 0, 0, d.opacity,
                              d.smooth, nullptr, d.grayscale, d.lightness));
    for (int32_t y = 0; y < 10; ++y) {
      for (int32_t x = 0; x < 12; ++x) {
        ASSERT_EQ(at(target, x, y), reinterpret_cast<const uint32_t*>(surface.constScanLine(y))[x])
            << x << "," << y << " of a " << d.width << "x" << d.height << " drawing";
      }
    }
  }
}

// A destination far larger than what it is drawn on costs only what shows:
// scaled, mirrored and turned drawings of absurd size into a small target.
TEST(RenderClipping, HugeDestinationDrawsOnlyTheVisiblePart) {
  c32bppDIB source;
  makeImage(source, 2, 1, bgra(0, 0, 0, 255));
  put(source, 1, 0, bgra(200, 100, 40, 255));
  useOwnPath(source);
  source.setHighQualityInterpolation(true);
  c32bppDIB target;
  makeImage(target, 4, 2, 0);
  ASSERT_TRUE(source.Render(nullptr, 0, 0, 500000000, 1, 0, 0, 0, 0, 100, false, &target));
  EXPECT_EQ(at(target, 3, 0), bgra(0, 0, 0, 255));  // the left half is the left pixel
  EXPECT_EQ(at(target, 3, 1), 0u);
  // Mirrored, the target shows the far end of the picture: the right pixel.
  ASSERT_TRUE(source.Render(nullptr, 0, 1, -500000000, 1, 0, 0, 0, 0, 100, false, &target));
  EXPECT_EQ(at(target, 3, 1), bgra(200, 100, 40, 255));
  // Turned by 90 degrees about the target, a picture as tall as the target is
  // wide covers it; its square would have a side of 40 million pixels.
  makeImage(target, 4, 2, 0);
  ASSERT_TRUE(
      source.Render(nullptr, 2, 1, 40000000, 4, 0, 0, 0, 0, 100, false, &target, -1, 0, 90, true));
  EXPECT_EQ(at(target, 0, 0) >> 24, 255u);
  EXPECT_EQ(at(target, 3, 1) >> 24, 255u);
}

// A 6 x 4 picture turned about the centre (10, 10) of a 20 x 20 target.
class RenderRotation : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(source.InitializeDIB(6, 4));
    pixeltest::paintDistinct(source);
    source.setHighQualityInterpolation(GetParam());
    makeImage(target, 20, 20, 0);
  }
  bool turn(float angle) {
    return source.Render(nullptr, 10, 10, 0, 0, 0, 0, 0, 0, 100, false, &target, -1, 0, angle,
                         true);
  }
  int visiblePixels() const {
    int count = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) count += at(target, x, y) != 0;
    return count;
  }
  c32bppDIB source, target;
};

TEST_P(RenderRotation, NinetyDegreesIsExact) {
  ASSERT_TRUE(turn(90));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(at(target, 11 - y, 7 + x), at(source, x, y));
  EXPECT_EQ(visiblePixels(), 24);
}

TEST_P(RenderRotation, HundredEightyDegreesIsExact) {
  ASSERT_TRUE(turn(180));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(at(target, 12 - x, 11 - y), at(source, x, y));
  EXPECT_EQ(visiblePixels(), 24);
}

TEST_P(RenderRotation, WholeTurnsDrawUnrotated) {
  for (const float angle : {360.0f, -720.0f}) {
    makeImage(target, 20, 20, 0);
    ASSERT_TRUE(turn(angle));
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x) EXPECT_EQ(at(target, 7 + x, 8 + y), at(source, x, y));
    EXPECT_EQ(visiblePixels(), 24);
  }
}

INSTANTIATE_TEST_SUITE_P(NearestAndBilinear, RenderRotation, ::testing::Bool());

TEST(RenderRotationOwnPath, FractionalAngleTurnsByWholeDegrees) {
  c32bppDIB source;
  ASSERT_TRUE(source.LoadPicture_File(pixeltest::suite("basn2c08.png")));
  source.setGDIplusEnabled(false);
  source.setHighQualityInterpolation(false);
  c32bppDIB target;
  makeImage(target, 60, 60, 0);
  ASSERT_TRUE(
      source.Render(nullptr, 30, 30, 0, 0, 0, 0, 0, 0, 100, false, &target, -1, 0, 45.4f, true));
  // Independently: each target pixel centre turned back by exactly 45 degrees
  // about (30, 30) lands in the 32 x 32 source, which takes the pixel under it.
  // Tolerance: at most 1 % of the target's pixels may differ, those whose mapped
  // point lies within rounding distance of a pixel edge or the picture's corners.
  const double c = std::cos(std::numbers::pi / 4), s = std::sin(std::numbers::pi / 4);
  int mismatches = 0, visible = 0;
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 60; ++x) {
      const double u = x + 0.5 - 30, v = y + 0.5 - 30;
      const double sx = u * c + v * s + 16, sy = -u * s + v * c + 16;
      uint32_t expected = 0;
      if (sx >= 0 && sy >= 0 && sx < 32 && sy < 32) {
        expected = at(source, static_cast<int>(sx), static_cast<int>(sy));
      }
      visible += expected != 0;
      mismatches += at(target, x, y) != expected;
    }
  }
  EXPECT_GT(visible, 1000);
  EXPECT_LE(mismatches, 36) << "of 3600 pixels";
}

TEST(CheckerBoard, SizeEightOnTwentyByTen) {
  c32bppDIB board;
  ASSERT_TRUE(board.InitializeDIB(20, 10));
  const uint32_t red = 0x0000FF, blue = 0xFF0000;  // red + green 256 + blue 65536
  ASSERT_TRUE(board.CreateCheckerBoard(8, red, blue));
  const uint32_t first = bgra(0, 0, 255, 255), second = bgra(255, 0, 0, 255);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 20; ++x) {
      // Top row: first (0..7), second (8..15), first cut to 4 (16..19);
      // the second row of squares starts with the second colour.
      const bool topRow = y < 8;
      const int square = x < 8 ? 0 : (x < 16 ? 1 : 2);
      const bool isFirst = (square % 2 == 0) == topRow;
      EXPECT_EQ(at(board, x, y), isFirst ? first : second) << x << "," << y;
    }
  }
  c32bppDIB empty;
  EXPECT_FALSE(empty.CreateCheckerBoard(8, red, blue));
}

// With a session token the image-service path draws: QPainter with the colour
// matrix applied to the premultiplied pixels and the mirroring in the transform.
class RenderImageService : public ::testing::Test {
 protected:
  void SetUp() override {
    token = cGDIPlus::GdiplusStartup();
    ASSERT_NE(token, 0u);
    ASSERT_TRUE(source.InitializeDIB(6, 4));
    pixeltest::paintDistinct(source);
    source.setGdiToken(token);
    source.setHighQualityInterpolation(false);
    ASSERT_TRUE(source.isGDIplusEnabled());
    makeImage(target, 6, 4, 0);
  }
  void TearDown() override { cGDIPlus::GdiplusShutdown(token); }
  uint32_t token = 0;
  c32bppDIB source, target;
};

TEST_F(RenderImageService, DrawsUnscaledAndMirroredExactly) {
  ASSERT_TRUE(source.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 100, false, &target));
  EXPECT_EQ(0, std::memcmp(target.BitsPointer(), source.BitsPointer(), 6 * 4 * 4));
  makeImage(target, 6, 4, 0);
  ASSERT_TRUE(source.Render(nullptr, 0, 0, -6, -4, 0, 0, 0, 0, 100, false, &target));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(at(target, x, y), at(source, 5 - x, 3 - y));
}

TEST_F(RenderImageService, ColourMatrixGivesTheGrayOfTheTable) {
  c32bppDIB opaque;
  makeImage(opaque, 1, 1, bgra(60, 100, 200, 255));
  opaque.setGdiToken(token);
  c32bppDIB one;
  makeImage(one, 1, 1, 0);
  ASSERT_TRUE(opaque.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 100, false, &one, 3));
  EXPECT_EQ(at(one, 0, 0), bgra(176, 176, 176, 255));
  // Lightness 20 % of an opaque pixel adds 51 to each colour.
  makeImage(one, 1, 1, 0);
  ASSERT_TRUE(opaque.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 100, false, &one, -1, 20.0f));
  EXPECT_EQ(at(one, 0, 0), bgra(111, 151, 251, 255));
}

TEST_F(RenderImageService, TurnsAboutTheDestinationCentre) {
  c32bppDIB big;
  makeImage(big, 20, 20, 0);
  ASSERT_TRUE(source.Render(nullptr, 10, 10, 0, 0, 0, 0, 0, 0, 100, false, &big, -1, 0, 180, true));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(at(big, 12 - x, 11 - y), at(source, x, y));
}
