// Saving an image as bitmap or PNG bytes, and the raw pixel exchange.
#include "image/c32bppdib.h"
#include "image/codecs/cpngwriter.h"
#include "image/imagebytes.h"
#include "image/premultiply.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (uint32_t{b[at + 1]} << 8) | (uint32_t{b[at + 2]} << 16) |
         (uint32_t{b[at + 3]} << 24);
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

// A width x height image whose pixel (x, y) has distinct colours; with alpha the
// alpha varies too (stored premultiplied).
void makeImage(c32bppDIB& image, int width, int height, bool withAlpha) {
  ASSERT_TRUE(image.InitializeDIB(width, height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t alpha = withAlpha ? static_cast<uint32_t>(60 + 40 * x + 7 * y) : 255;
      const uint32_t packed =
          premul::packBGRA(static_cast<uint32_t>(10 + x * 50), static_cast<uint32_t>(20 + y * 60),
                           static_cast<uint32_t>(200 - x * 30), alpha);
      std::memcpy(image.BitsPointer() + image.pixelOffset(x, y), &packed, 4);
    }
  }
  image.SetAlphaFlag(withAlpha);
}

std::vector<uint8_t> storedPixels(const c32bppDIB& image) {
  return {image.Bits().begin(), image.Bits().end()};
}

bool hasText(const std::vector<uint8_t>& bytes, const std::string& text) {
  return std::string(bytes.begin(), bytes.end()).find(text) != std::string::npos;
}

}  // namespace

TEST(SaveToStream, OpaqueImageIsA24BitBitmapWithPaddedBottomUpRows) {
  c32bppDIB image;
  makeImage(image, 3, 2, false);
  std::vector<uint8_t> bmp;
  ASSERT_TRUE(image.SaveToStream(bmp));
  ASSERT_EQ(bmp.size(), 78u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(le32(bmp, 2), 78u);
  EXPECT_EQ(le32(bmp, 6), 0u);
  EXPECT_EQ(le32(bmp, 10), 54u);
  EXPECT_EQ(le32(bmp, 14), 40u);
  EXPECT_EQ(le32(bmp, 18), 3u);
  EXPECT_EQ(le32(bmp, 22), 2u);
  EXPECT_EQ(le16(bmp, 26), 1u);
  EXPECT_EQ(le16(bmp, 28), 24u);
  EXPECT_EQ(le32(bmp, 30), 0u);
  EXPECT_EQ(le32(bmp, 34), 24u);
  for (size_t i = 38; i < 54; ++i) EXPECT_EQ(bmp[i], 0) << i;
  // The first stored row is the picture's bottom row; 9 bytes then 3 of padding.
  for (int row = 0; row < 2; ++row) {
    const int y = 1 - row;
    for (int x = 0; x < 3; ++x) {
      const uint8_t* px = image.BitsPointer() + image.pixelOffset(x, y);
      const size_t at = 54 + static_cast<size_t>(row) * 12 + static_cast<size_t>(x) * 3;
      EXPECT_EQ(bmp[at], px[0]);
      EXPECT_EQ(bmp[at + 1], px[1]);
      EXPECT_EQ(bmp[at + 2], px[2]);
    }
    for (size_t pad = 9; pad < 12; ++pad) EXPECT_EQ(bmp[54 + row * 12 + pad], 0);
  }
}

TEST(SaveToStream, AlphaImageIsA32BitBitmapOfTheStoredPixels) {
  c32bppDIB image;
  makeImage(image, 3, 2, true);
  std::vector<uint8_t> bmp;
  ASSERT_TRUE(image.SaveToStream(bmp));
  ASSERT_EQ(bmp.size(), 78u);
  EXPECT_EQ(le16(bmp, 28), 32u);
  EXPECT_EQ(std::vector<uint8_t>(bmp.begin() + 54, bmp.end()), storedPixels(image));
}

TEST(SaveToStream, NothingWithoutAnImage) {
  c32bppDIB image;
  std::vector<uint8_t> bytes = {1};
  EXPECT_FALSE(image.SaveToStream(bytes));
  EXPECT_TRUE(bytes.empty());
  bytes = {1};
  EXPECT_FALSE(image.SaveToStream_PNG(bytes));
  EXPECT_TRUE(bytes.empty());
}

TEST(SaveToStreamPng, ReloadsToTheSamePixelsThroughEitherEncoder) {
  for (bool service : {false, true}) {
    SCOPED_TRACE(service);
    c32bppDIB image;
    makeImage(image, 5, 4, true);
    image.setGDIplusEnabled(service);
    std::vector<uint8_t> png;
    ASSERT_TRUE(image.SaveToStream_PNG(png));
    c32bppDIB back;
    back.setGDIplusEnabled(false);
    ASSERT_TRUE(back.LoadPicture_Stream(png));
    EXPECT_EQ(back.Width(), 5);
    EXPECT_EQ(back.Height(), 4);
    // Un-premultiplying and premultiplying again may move a colour by one.
    const std::vector<uint8_t> a = storedPixels(image), b = storedPixels(back);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], 1) << i;
  }
}

TEST(SaveToStreamPng, AnAttachedEncoderComesFirstTheServiceSecond) {
  c32bppDIB image;
  makeImage(image, 4, 4, false);
  image.setGDIplusEnabled(true);
  auto writer = std::make_shared<cPNGwriter>();
  writer->setText(cPNGwriter::TextKeyword::Software, "Vantrel");
  std::vector<uint8_t> png;

  ASSERT_TRUE(image.SaveToStream_PNG(png));
  EXPECT_FALSE(hasText(png, "Vantrel"));  // the service, no encoder attached

  image.setPNGwriter(writer);
  ASSERT_TRUE(image.SaveToStream_PNG(png));
  EXPECT_TRUE(hasText(png, "Vantrel"));  // the attached encoder

  image.setZlibAllowed(false);  // the own encoder cannot write: the service takes over
  ASSERT_TRUE(image.SaveToStream_PNG(png));
  EXPECT_FALSE(hasText(png, "Vantrel"));

  image.setGDIplusEnabled(false);  // neither can write
  EXPECT_FALSE(image.SaveToStream_PNG(png));
  EXPECT_TRUE(png.empty());
}

TEST(ImageBytes, GetThenSetWithTheSameOrderLeavesThePictureUnchanged) {
  c32bppDIB image;
  makeImage(image, 3, 3, true);
  const std::vector<uint8_t> before = storedPixels(image);
  for (bool bgr : {false, true}) {
    for (bool bottomUp : {false, true}) {
      DibBits bits;
      int32_t scanWidth = 0;
      ImageBytesRequest request;
      request.asBGRformat = bgr;
      request.asBottomUp = bottomUp;
      ASSERT_TRUE(GetImageBytes(image, bits, scanWidth, request));
      EXPECT_EQ(scanWidth, 12);
      ASSERT_EQ(bits.bytes.size(), 36u);
      ASSERT_TRUE(SetImageBytes(image, bits.bytes, bgr, bottomUp));
      EXPECT_EQ(storedPixels(image), before);
    }
  }
  // Top-down RGB order puts the top-left pixel first.
  DibBits bits;
  int32_t scanWidth = 0;
  ImageBytesRequest request;
  request.asBGRformat = false;
  request.asBottomUp = false;
  request.asArray2D = true;
  ASSERT_TRUE(GetImageBytes(image, bits, scanWidth, request));
  EXPECT_EQ(bits.rows, 3);
  EXPECT_EQ(bits.rowBytes, 12);
  const uint8_t* topLeft = image.BitsPointer() + image.pixelOffset(0, 0);
  EXPECT_EQ(bits.bytes[0], topLeft[2]);
  EXPECT_EQ(bits.bytes[2], topLeft[0]);
  EXPECT_FALSE(SetImageBytes(image, std::vector<uint8_t>(35, 0)));
}

TEST(ImageBytes, FileFormatReloadsToThePicture) {
  c32bppDIB image;
  makeImage(image, 6, 2, false);
  image.setGDIplusEnabled(false);
  DibBits file;
  int32_t scanWidth = 0;
  ImageBytesRequest request;
  request.asFileFormat = true;
  ASSERT_TRUE(GetImageBytes(image, file, scanWidth, request));
  c32bppDIB back;
  back.setGDIplusEnabled(false);
  ASSERT_TRUE(back.LoadPicture_Stream(file.bytes, 0, 0, 0, 0, true));
  EXPECT_EQ(storedPixels(back), storedPixels(image));

  // A picture that kept its source hands those bytes back.
  DibBits kept;
  ASSERT_TRUE(GetImageBytes(back, kept, scanWidth, request));
  EXPECT_EQ(kept.bytes, file.bytes);

  c32bppDIB none;
  EXPECT_FALSE(GetImageBytes(none, kept, scanWidth, request));
  EXPECT_FALSE(SetImageBytes(none, file.bytes));
}
