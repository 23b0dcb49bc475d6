// The bitmap decoder: the own 32-bit path in both row orders with its alpha
// classes, the hand-over to the picture loader, short data, pictures and handles.
#include "image/c32bppdib.h"
#include "image/codecs/cbmpparser.h"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

namespace {

void putLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A 32-bit bitmap from B, G, R, A pixels given top row first; a negative height
// stores the rows top-down.
std::vector<uint8_t> bitmap32(int width, int height, const std::vector<uint32_t>& bgraTopDown,
                              uint32_t compression = 0) {
  const int rows = height < 0 ? -height : height;
  std::vector<uint8_t> out = {'B', 'M'};
  putLE(out, static_cast<uint32_t>(54 + width * rows * 4), 4);
  putLE(out, 0, 4);
  putLE(out, 54, 4);
  putLE(out, 40, 4);
  putLE(out, static_cast<uint32_t>(width), 4);
  putLE(out, static_cast<uint32_t>(height), 4);
  putLE(out, 1, 2);
  putLE(out, 32, 2);
  putLE(out, compression, 4);
  for (int i = 0; i < 5; ++i) putLE(out, 0, 4);
  for (int r = 0; r < rows; ++r) {
    const int y = height < 0 ? r : rows - 1 - r;
    for (int x = 0; x < width; ++x) putLE(out, bgraTopDown[static_cast<size_t>(y * width + x)], 4);
  }
  return out;
}

std::vector<uint8_t> encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return {bytes.begin(), bytes.end()};
}

}  // namespace

TEST(BitmapDecoder, ThirtyTwoBitRowsInEitherOrderKeepTheirAlphaClass) {
  // Top row: straight half-transparent red, bottom row opaque blue.
  const std::vector<uint32_t> straightPixels = {0x80FF0000, 0x80FF0000, 0xFF0000FF, 0xFF0000FF};
  for (int height : {2, -2}) {
    SCOPED_TRACE(height);
    c32bppDIB image;
    ASSERT_TRUE(cBMPparser().LoadStream(bitmap32(2, height, straightPixels), image, 0, 0));
    EXPECT_EQ(image.ImageType(), ImageTypeCode::kStraightAlphaBitmap);
    EXPECT_TRUE(image.Alpha());
    int32_t alpha = 0;
    EXPECT_EQ(image.GetPixel(0, 0, &alpha), 255 * 128 / 255);  // premultiplied red
    EXPECT_EQ(alpha, 128);
    EXPECT_EQ(image.GetPixel(1, 1, &alpha), 255 * 65536);
    EXPECT_EQ(alpha, 255);
  }
  // Colours never above their alpha, transparent pixels black: kept as they are.
  c32bppDIB image;
  ASSERT_TRUE(cBMPparser().LoadStream(bitmap32(2, 1, {0x80400000, 0x00000000}), image, 0, 0));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kPremultipliedBitmap);
  EXPECT_EQ(image.GetPixel(0, 0), 0x40);
  // All alpha 0 or all 255: opaque.
  for (uint32_t a : {0x00u, 0xFFu}) {
    ASSERT_TRUE(cBMPparser().LoadStream(bitmap32(1, 1, {(a << 24) | 0x123456}), image, 0, 0));
    EXPECT_EQ(image.ImageType(), ImageTypeCode::kBitmap);
    EXPECT_FALSE(image.Alpha());
    EXPECT_EQ(image.GetPixel(0, 0), 0x12 + 0x34 * 256 + 0x56 * 65536);
  }
}

TEST(BitmapDecoder, OtherBitmapsAndJpegGoThroughThePictureLoaderOpaque) {
  QImage picture(6, 5, QImage::Format_RGB888);
  picture.fill(QColor(10, 200, 30));
  for (const char* format : {"BMP", "JPEG"}) {
    SCOPED_TRACE(format);
    c32bppDIB image;
    ASSERT_TRUE(cBMPparser().LoadStream(encoded(picture, format), image, 0, 0));
    EXPECT_EQ(image.ImageType(), ImageTypeCode::kBitmap);
    EXPECT_FALSE(image.Alpha());
    EXPECT_EQ(image.Width(), 6);
    int32_t alpha = 0;
    image.GetPixel(2, 2, &alpha);
    EXPECT_EQ(alpha, 255);
  }
  // Bit fields: not read directly, so the alpha is lost.
  c32bppDIB image;
  const auto fields = bitmap32(1, 1, {0x80FF0000}, 3);
  cBMPparser().LoadStream(fields, image, 0, 0);
  EXPECT_NE(image.ImageType(), ImageTypeCode::kStraightAlphaBitmap);
  // Something the picture loader does not read.
  std::vector<uint8_t> text(100, 'x');
  EXPECT_FALSE(cBMPparser().LoadStream(text, image, 0, 0));
}

TEST(BitmapDecoder, RowsMustLieInsideTheGivenRange) {
  const std::vector<uint32_t> pixels(16, 0x80FF0000);
  const std::vector<uint8_t> file = bitmap32(4, 4, pixels);
  // The bitmap sits at offset 200 of a larger array; a range one byte short of
  // its pixels must not be read directly even though the array holds them.
  std::vector<uint8_t> array(200, 0);
  array.insert(array.end(), file.begin(), file.end());
  array.resize(array.size() + 300, 0);
  c32bppDIB image;
  cBMPparser().LoadStream(array, image, 200, static_cast<int32_t>(file.size() - 1));
  EXPECT_NE(image.ImageType(), ImageTypeCode::kStraightAlphaBitmap);
  ASSERT_TRUE(cBMPparser().LoadStream(array, image, 200, static_cast<int32_t>(file.size())));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kStraightAlphaBitmap);
  // Cut short at the end of the array.
  const std::vector<uint8_t> cut(file.begin(), file.end() - 4);
  cBMPparser().LoadStream(cut, image, 0, 0);
  EXPECT_NE(image.ImageType(), ImageTypeCode::kStraightAlphaBitmap);
  cBMPparser own;
  EXPECT_FALSE(own.LoadOwnStream(cut, image, 0, 0));
  EXPECT_EQ(own.failure(), BmpFailure::kNotEnoughData);
  // Sizes whose byte count overflows are not enough data either.
  std::vector<uint8_t> huge = bitmap32(1, 1, {0x80FF0000});
  for (size_t at : {18u, 22u}) {
    huge[at] = huge[at + 1] = huge[at + 2] = 0xFF;
    huge[at + 3] = 0x7F;
  }
  EXPECT_FALSE(cBMPparser().LoadStream(huge, image, 0, 0));
  EXPECT_FALSE(own.LoadOwnStream(huge, image, 0, 0));
  EXPECT_EQ(own.failure(), BmpFailure::kNotEnoughData);
  // No width or no height: refused.
  EXPECT_FALSE(own.LoadStream(bitmap32(0, 4, {}), image, 0, 0));
  EXPECT_EQ(own.failure(), BmpFailure::kBadDimensions);
  // The own part alone never asks the picture loader, and says so.
  EXPECT_TRUE(own.LoadOwnStream(file, image, 0, 0));
  EXPECT_EQ(own.failure(), BmpFailure::kNone);
}

TEST(BitmapDecoder, PicturesAndHandles) {
  QImage straight(2, 2, QImage::Format_ARGB32);
  straight.fill(qRgba(255, 0, 0, 128));
  c32bppDIB image;
  ASSERT_TRUE(cBMPparser().ConvertstdPicTo32bpp(nullptr, &straight, image));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kStraightAlphaBitmap);

  QImage palette = straight.convertToFormat(QImage::Format_Indexed8);
  ASSERT_TRUE(cBMPparser().ConvertstdPicTo32bpp(nullptr, &palette, image));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kBitmap);
  EXPECT_FALSE(image.Alpha());

  // A metafile leaves what it did not draw transparent.
  QImage drawing(3, 1, QImage::Format_ARGB32);
  drawing.fill(Qt::transparent);
  drawing.setPixel(1, 0, qRgba(0, 0, 255, 255));
  const StdPicture metafile{4, drawing};
  ASSERT_TRUE(cBMPparser().ConvertstdPicTo32bpp(&metafile, nullptr, image));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kEnhancedMetafile);
  EXPECT_TRUE(image.Alpha());
  int32_t alpha = 0;
  EXPECT_EQ(image.GetPixel(1, 0, &alpha), 255 * 65536);
  EXPECT_EQ(alpha, 255);
  image.GetPixel(0, 0, &alpha);
  EXPECT_EQ(alpha, 0);
  EXPECT_FALSE(cBMPparser().ConvertstdPicTo32bpp(nullptr, nullptr, image));
}
