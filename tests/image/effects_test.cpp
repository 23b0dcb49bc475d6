// The image effects on real pictures and on pixels worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "image/c32bppdib.h"
#include "pixel_helpers.h"

using pixeltest::at;
using pixeltest::bgra;
using pixeltest::put;

namespace {

void loadSuite(c32bppDIB& image, const char* name) {
  ASSERT_TRUE(image.LoadPicture_File(pixeltest::suite(name))) << name;
}

std::vector<uint8_t> bytesOf(const c32bppDIB& image) {
  const auto bits = image.Bits();
  return {bits.begin(), bits.end()};
}

// The shadow's alpha at (x, y) by the direct sum over the square.
uint32_t directShadowAlpha(const c32bppDIB& picture, int x, int y, int m) {
  uint32_t sum = 0;
  for (int sy = y - m; sy <= y; ++sy)
    for (int sx = x - m; sx <= x; ++sx)
      if (sx >= 0 && sy >= 0 && sx < picture.Width() && sy < picture.Height())
        sum += at(picture, sx, sy) >> 24;
  return sum / static_cast<uint32_t>((m + 1) * (m + 1));
}

}  // namespace

TEST(ImageInverse, KnownPixelsAndTwiceRestores) {
  c32bppDIB image;
  loadSuite(image, "basn6a08.png");
  const std::vector<uint8_t> original = bytesOf(image);
  put(image, 0, 0, bgra(40, 80, 120, 200));
  put(image, 1, 0, 0);
  ASSERT_TRUE(image.MakeImageInverse());
  EXPECT_EQ(at(image, 0, 0), bgra(160, 120, 80, 200));
  EXPECT_EQ(at(image, 1, 0), 0u);  // fully transparent stays zero
  ASSERT_TRUE(image.MakeImageInverse());
  EXPECT_EQ(at(image, 0, 0), bgra(40, 80, 120, 200));
  // A colour above its alpha counts as the alpha: no channel borrows from the next.
  put(image, 2, 0, bgra(90, 10, 255, 80));
  ASSERT_TRUE(image.MakeImageInverse());
  EXPECT_EQ(at(image, 2, 0), bgra(0, 70, 0, 80));

  c32bppDIB fresh;
  loadSuite(fresh, "basn6a08.png");
  ASSERT_TRUE(fresh.MakeImageInverse());
  EXPECT_NE(bytesOf(fresh), original);
  ASSERT_TRUE(fresh.MakeImageInverse());
  EXPECT_EQ(bytesOf(fresh), original);
  c32bppDIB empty;
  EXPECT_FALSE(empty.MakeImageInverse());
}

TEST(ImageTransparentColour, RemovesTheColourAndRevertRestoresAnOpaqueBitmap) {
  c32bppDIB image;
  loadSuite(image, "basn2c08.png");
  image.SetImageTypeCode(ImageTypeCode::kBitmap);
  image.SetAlphaFlag(false);
  const std::vector<uint8_t> original = bytesOf(image);
  const uint32_t pixel = at(image, 5, 5);
  const uint32_t colour = ((pixel >> 16) & 0xFF) | (pixel & 0xFF00) | ((pixel & 0xFF) << 16);

  ASSERT_TRUE(image.MakeTransparent(colour, false));
  EXPECT_EQ(at(image, 5, 5), 0u);
  EXPECT_TRUE(image.Alpha());
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kPremultipliedBitmap);
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x)
      EXPECT_TRUE(at(image, x, y) == 0 || at(image, x, y) >> 24 == 255);

  ASSERT_TRUE(image.MakeTransparent(colour, true));
  EXPECT_EQ(bytesOf(image), original);
  EXPECT_FALSE(image.Alpha());
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kBitmap);
}

TEST(ImageTransparentColour, AbsentColourChangesNothing) {
  c32bppDIB image;
  ASSERT_TRUE(image.InitializeDIB(3, 3));
  pixeltest::paintDistinct(image);
  image.SetImageTypeCode(ImageTypeCode::kBitmap);
  image.SetAlphaFlag(false);
  const std::vector<uint8_t> original = bytesOf(image);
  ASSERT_TRUE(image.MakeTransparent(0xFFFFFF, false));  // white: in no pixel
  EXPECT_EQ(bytesOf(image), original);
  EXPECT_FALSE(image.Alpha());
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kBitmap);
}

TEST(ImageTransparentColour, RevertKeepsAlphaWhenOtherTransparencyRemains) {
  c32bppDIB image;
  ASSERT_TRUE(image.InitializeDIB(2, 2));
  put(image, 0, 0, bgra(0, 0, 255, 255));
  put(image, 1, 0, bgra(0, 0, 0, 255));
  put(image, 0, 1, bgra(10, 10, 10, 128));  // a soft edge that is not the colour
  put(image, 1, 1, bgra(0, 0, 0, 255));
  image.SetImageTypeCode(ImageTypeCode::kPremultipliedBitmap);
  ASSERT_TRUE(image.MakeTransparent(0x0000FF, false));
  EXPECT_EQ(at(image, 0, 0), 0u);
  ASSERT_TRUE(image.MakeTransparent(0x0000FF, true));
  EXPECT_EQ(at(image, 0, 0), bgra(0, 0, 255, 255));
  EXPECT_TRUE(image.Alpha());
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kPremultipliedBitmap);
}

TEST(ImageMirror, ColumnsRowsAndBoth) {
  c32bppDIB original, image;
  loadSuite(original, "basn6a08.png");
  loadSuite(image, "basn6a08.png");
  const int w = image.Width(), h = image.Height();
  ASSERT_TRUE(image.MirrorImage(false, false));
  EXPECT_EQ(bytesOf(image), bytesOf(original));
  ASSERT_TRUE(image.MirrorImage(true, false));
  EXPECT_EQ(at(image, 0, 3), at(original, w - 1, 3));
  ASSERT_TRUE(image.MirrorImage(false, true));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(at(image, x, y), at(original, w - 1 - x, h - 1 - y));
  ASSERT_TRUE(image.MirrorImage(true, true));
  EXPECT_EQ(bytesOf(image), bytesOf(original));
}

TEST(DropShadow, DepthZeroCopiesThePicturesAlphaInTheShadowColour) {
  c32bppDIB picture;
  loadSuite(picture, "basn6a08.png");
  const auto shadow = picture.CreateDropShadow(0, 0x204080);  // R 0x80, G 0x40, B 0x20
  ASSERT_TRUE(shadow);
  ASSERT_EQ(shadow->Width(), picture.Width());
  ASSERT_EQ(shadow->Height(), picture.Height());
  EXPECT_TRUE(shadow->Alpha());
  EXPECT_EQ(shadow->ImageType(), ImageTypeCode::kPremultipliedBitmap);
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) {
      const uint32_t a = at(picture, x, y) >> 24;
      const uint32_t expected =
          a == 0 ? 0 : bgra(0x20 * a / 255, 0x40 * a / 255, 0x80 * a / 255, a);
      ASSERT_EQ(at(*shadow, x, y), expected) << x << "," << y;
    }
  }
}

TEST(DropShadow, RunningSumsEqualTheDirectMeanAndDepthIsCappedAtTen) {
  c32bppDIB picture;
  loadSuite(picture, "basn6a08.png");
  for (const int depth : {3, 10}) {
    const auto shadow = picture.CreateDropShadow(depth, 0);
    ASSERT_TRUE(shadow);
    const int m = 2 * depth;
    ASSERT_EQ(shadow->Width(), picture.Width() + m);
    ASSERT_EQ(shadow->Height(), picture.Height() + m);
    for (int y = 0; y < shadow->Height(); ++y)
      for (int x = 0; x < shadow->Width(); ++x)
        ASSERT_EQ(at(*shadow, x, y) >> 24, directShadowAlpha(picture, x, y, m)) << x << "," << y;
  }
  const auto ten = picture.CreateDropShadow(10, 0x123456);
  const auto fifteen = picture.CreateDropShadow(15, 0x123456);
  ASSERT_TRUE(ten && fifteen);
  EXPECT_EQ(fifteen->Width(), picture.Width() + 20);
  EXPECT_EQ(bytesOf(*fifteen), bytesOf(*ten));
  c32bppDIB empty;
  EXPECT_FALSE(empty.CreateDropShadow(2, 0));
}

TEST(DropShadow, DrawnAtOnceEqualsCreatedThenRendered) {
  c32bppDIB picture;
  loadSuite(picture, "basn6a08.png");
  c32bppDIB direct, viaShadow;
  ASSERT_TRUE(direct.InitializeDIB(50, 50));
  ASSERT_TRUE(viaShadow.InitializeDIB(50, 50));
  ASSERT_TRUE(picture.RenderDropShadow_JIT(nullptr, 3, 4, 4, 0x000000, 100, &direct));
  const auto shadow = picture.CreateDropShadow(4, 0x000000);
  ASSERT_TRUE(shadow->Render(nullptr, 3, 4, 0, 0, 0, 0, 0, 0, 100, true, &viaShadow));
  EXPECT_EQ(bytesOf(direct), bytesOf(viaShadow));
  EXPECT_EQ(at(direct, 3 + 20, 4 + 20) >> 24, directShadowAlpha(picture, 20, 20, 8));
}
