// The image object's pixel model and basic operations.
#include "image/c32bppdib.h"

#include <QPainter>
#include <cstdlib>

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

// Writes a stored (premultiplied) pixel at picture coordinates.
void putPixel(c32bppDIB& image, int x, int y, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  uint8_t* p = image.BitsPointer() + image.pixelOffset(x, y);
  p[0] = b;
  p[1] = g;
  p[2] = r;
  p[3] = a;
}

std::vector<uint8_t> bufferOf(const c32bppDIB& image) {
  const auto bits = image.Bits();
  return {bits.begin(), bits.end()};
}

}  // namespace

TEST(DibLifecycle, NewImageIsEmpty) {
  c32bppDIB image;
  EXPECT_EQ(image.Handle(), 0u);
  EXPECT_EQ(image.Width(), 0);
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kNone);
  EXPECT_FALSE(image.Alpha());
  EXPECT_EQ(image.GetPixel(0, 0), -1);
}

TEST(DibLifecycle, InitializeTakesTheMagnitudeOfANegativeHeight) {
  c32bppDIB image;
  ASSERT_TRUE(image.InitializeDIB(10, -5));
  EXPECT_EQ(image.Width(), 10);
  EXPECT_EQ(image.Height(), 5);
  EXPECT_EQ(image.scanWidth(), 40);
  EXPECT_EQ(image.Bits().size(), 200u);
  EXPECT_TRUE(image.Alpha());
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kBlank);
  EXPECT_NE(image.Handle(), 0u);
}

TEST(DibLifecycle, RefusedSizesLeaveTheObjectEmpty) {
  c32bppDIB image;
  ASSERT_TRUE(image.InitializeDIB(4, 4));
  EXPECT_FALSE(image.InitializeDIB(-1, 5));
  EXPECT_EQ(image.Handle(), 0u);
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kNone);
  EXPECT_FALSE(image.InitializeDIB(10, 0));
  // 32768 x 16384 x 4 bytes is 2^31: one past the signed 32-bit range.
  EXPECT_FALSE(image.InitializeDIB(32768, 16384));
  // Sides near the 32-bit limit must be refused, not overflow the byte count.
  EXPECT_FALSE(image.InitializeDIB(INT32_MAX, INT32_MAX));
  EXPECT_FALSE(image.InitializeDIB(INT32_MAX, -INT32_MAX));
  EXPECT_EQ(image.Width(), 0);
  EXPECT_FALSE(image.Alpha());
}

TEST(DibLifecycle, EraseClearsPixelsAndMarksTheImageBlank) {
  c32bppDIB image;
  image.EraseDIB();  // nothing to erase: no effect
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kNone);
  ASSERT_TRUE(image.InitializeDIB(3, 3));
  putPixel(image, 1, 1, 9, 9, 9, 255);
  image.SetAlphaFlag(false);
  image.SetImageTypeCode(ImageTypeCode::kPng);
  image.EraseDIB();
  EXPECT_EQ(image.GetPixel(1, 1), 0);
  EXPECT_TRUE(image.Alpha());
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kBlank);
}

TEST(DibPixelModel, PictureRowZeroLivesInTheLastScanLine) {
  c32bppDIB image;
  ASSERT_TRUE(image.InitializeDIB(2, 3));
  putPixel(image, 1, 0, 1, 2, 3, 255);
  const auto bits = image.Bits();
  const size_t lastRow = 2 * static_cast<size_t>(image.scanWidth());
  EXPECT_EQ(bits[lastRow + 4], 1);
  EXPECT_EQ(bits[lastRow + 6], 3);
  EXPECT_EQ(bits[lastRow + 7], 255);
}

TEST(DibPixelAccess, GetPixelReturnsStoredOrUnpremultipliedColour) {
  c32bppDIB image;
  ASSERT_TRUE(image.InitializeDIB(4, 4));
  int32_t alpha = -7;
  EXPECT_EQ(image.GetPixel(0, 0, &alpha), 0);
  EXPECT_EQ(alpha, 0);
  EXPECT_EQ(image.GetPixel(image.Width(), 0, &alpha), -1);
  EXPECT_EQ(image.GetPixel(0, -1), -1);

  putPixel(image, 2, 1, 64, 32, 16, 128);
  EXPECT_EQ(image.GetPixel(2, 1, &alpha, true), 16 + 32 * 256 + 64 * 65536);
  EXPECT_EQ(alpha, 128);
  EXPECT_EQ(image.GetPixel(2, 1, &alpha, false), 31 + 63 * 256 + 127 * 65536);
}

TEST(DibBitsExport, StoredLayoutGivesTheBufferUnchanged) {
  c32bppDIB image;
  ASSERT_TRUE(image.InitializeDIB(3, 2));
  putPixel(image, 0, 0, 1, 2, 3, 4);
  putPixel(image, 2, 1, 5, 6, 7, 200);
  DibBits out;
  ASSERT_TRUE(image.GetDIBbits(out));
  EXPECT_EQ(out.bytes, bufferOf(image));
  EXPECT_EQ(out.rows, 1);
}

TEST(DibBitsExport, TopDownRGB24WordAlignedStraight) {
  c32bppDIB image;
  ASSERT_TRUE(image.InitializeDIB(3, 2));
  putPixel(image, 0, 0, 10, 20, 30, 255);
  putPixel(image, 1, 0, 50, 50, 100, 200);  // premultiplied at alpha 200
  putPixel(image, 2, 1, 9, 9, 9, 0);
  DibBitsLayout layout;
  layout.as2DArray = true;
  layout.asBGRformat = false;
  layout.as32bpp = false;
  layout.asWordAligned = true;
  layout.asBottomUp = false;
  DibBits out;
  ASSERT_TRUE(image.GetDIBbits(out, layout, 0, 0, 0, 0, false));
  ASSERT_EQ(out.rowBytes, 12);  // 9 bytes padded to 12
  ASSERT_EQ(out.rows, 2);
  const std::vector<uint8_t> firstRow(out.bytes.begin(), out.bytes.begin() + 9);
  EXPECT_EQ(firstRow, (std::vector<uint8_t>{30, 20, 10, 127, 63, 63, 0, 0, 0}));
  // Alpha 0 exports as black, whatever the stored colour.
  EXPECT_EQ(out.bytes[12 + 6], 0);
}

TEST(DibBitsExport, RectangleIsClippedAndNegativeOriginRefused) {
  c32bppDIB image;
  ASSERT_TRUE(image.InitializeDIB(4, 4));
  putPixel(image, 3, 3, 1, 1, 1, 255);
  DibBits out;
  EXPECT_FALSE(image.GetDIBbits(out, {}, -1, 0));
  ASSERT_TRUE(image.GetDIBbits(out, {}, 2, 2, 10, 10));
  ASSERT_EQ(out.bytes.size(), 16u);  // 2 x 2 pixels
  // Bottom-up: the first exported row is picture row 3.
  EXPECT_EQ(out.bytes[4 + 3], 255);
}

TEST(DibBitsImport, RoundTripsThroughEveryLayout) {
  c32bppDIB source;
  ASSERT_TRUE(source.InitializeDIB(5, 3));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x)
      putPixel(source, x, y, uint8_t(x * 40), uint8_t(y * 60), uint8_t(x + y), 255);
  }
  for (const bool bgr : {true, false}) {
    for (const bool bottomUp : {true, false}) {
      for (const bool aligned : {true, false}) {
        DibBitsLayout layout;
        layout.asBGRformat = bgr;
        layout.asBottomUp = bottomUp;
        layout.as32bpp = false;
        layout.asWordAligned = aligned;
        DibBits out;
        ASSERT_TRUE(source.GetDIBbits(out, layout));
        c32bppDIB target;
        ASSERT_TRUE(target.InitializeDIB(5, 3));
        // 3-byte import leaves alpha alone: make it opaque first to compare.
        for (size_t i = 3; i < target.Bits().size(); i += 4) target.Bits()[i] = 255;
        ASSERT_TRUE(target.SetDIBbits(out.bytes, layout));
        EXPECT_EQ(bufferOf(target), bufferOf(source)) << bgr << bottomUp << aligned;
      }
    }
  }
}

TEST(DibBitsImport, OneByteShortIsRefusedAndChangesNothing) {
  c32bppDIB image;
  ASSERT_TRUE(image.InitializeDIB(4, 2));
  const std::vector<uint8_t> before = bufferOf(image);
  const std::vector<uint8_t> bytes(4 * 2 * 4 - 1, 0xAB);
  EXPECT_FALSE(image.SetDIBbits(bytes));
  EXPECT_EQ(bufferOf(image), before);
  EXPECT_FALSE(image.SetDIBbits({}));
  EXPECT_TRUE(image.SetDIBbits(std::vector<uint8_t>(32, 0xAB)));
  EXPECT_EQ(image.GetPixel(0, 0), 0xABABAB);
}

TEST(DibRegion, StylesCoverVisibleOpaqueAndBoundingPixels) {
  c32bppDIB image;
  EXPECT_TRUE(image.CreateRegion(0).isEmpty());
  ASSERT_TRUE(image.InitializeDIB(6, 4));
  putPixel(image, 1, 0, 0, 0, 0, 255);
  putPixel(image, 2, 0, 0, 0, 0, 255);
  putPixel(image, 4, 3, 0, 0, 0, 10);
  const QRegion visible = image.CreateRegion(0);
  EXPECT_TRUE(visible.contains(QPoint(1, 0)));
  EXPECT_TRUE(visible.contains(QPoint(4, 3)));
  EXPECT_FALSE(visible.contains(QPoint(0, 0)));
  EXPECT_FALSE(image.CreateRegion(1).contains(QPoint(4, 3)));
  EXPECT_EQ(image.CreateRegion(2).boundingRect(), QRect(1, 0, 4, 4));
  EXPECT_TRUE(image.CreateRegion(0, 10, 20).contains(QPoint(11, 20)));
  EXPECT_TRUE(image.CreateRegion(3).isEmpty());
}

TEST(DibCopy, MissingTargetIsCreatedWithTheSourceSettings) {
  c32bppDIB source;
  ASSERT_TRUE(source.InitializeDIB(3, 2));
  putPixel(source, 2, 1, 7, 8, 9, 255);
  source.SetAlphaFlag(false);
  source.SetImageTypeCode(ImageTypeCode::kGif);
  source.setGdiToken(1234);
  source.setGDIplusEnabled(false);
  source.setHighQualityInterpolation(false);
  std::shared_ptr<c32bppDIB> target;
  source.CopyImageTo(target);
  ASSERT_TRUE(target);
  EXPECT_EQ(target->Width(), 3);
  EXPECT_EQ(target->Height(), 2);
  EXPECT_FALSE(target->Alpha());
  EXPECT_EQ(target->ImageType(), ImageTypeCode::kGif);
  EXPECT_EQ(target->gdiToken(), 1234u);
  EXPECT_FALSE(target->isGDIplusEnabled());
  EXPECT_FALSE(target->HighQualityInterpolation());
  EXPECT_EQ(bufferOf(*target), bufferOf(source));
}

TEST(DibCopy, NegativeWidthMirrors) {
  c32bppDIB source;
  ASSERT_TRUE(source.InitializeDIB(4, 1));
  putPixel(source, 0, 0, 0, 0, 255, 255);
  std::shared_ptr<c32bppDIB> target;
  source.CopyImageTo(target, -4, 1);
  ASSERT_TRUE(target);
  EXPECT_EQ(target->GetPixel(3, 0), 255);
  EXPECT_EQ(target->GetPixel(0, 0), 0);
}

TEST(DibCopy, ScaledCopyFillsTheNewSize) {
  c32bppDIB source;
  ASSERT_TRUE(source.InitializeDIB(2, 2));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) putPixel(source, x, y, 0, 255, 0, 255);
  }
  source.setHighQualityInterpolation(false);
  auto target = std::make_shared<c32bppDIB>();
  source.CopyImageTo(target, 6, 4);
  ASSERT_EQ(target->Width(), 6);
  int32_t alpha = 0;
  EXPECT_EQ(target->GetPixel(5, 3, &alpha), 255 * 256);
  EXPECT_EQ(alpha, 255);
}

// Without the image service a scaled or mirrored copy takes the own path
// whenever Render would, so the copy is exactly what Render draws.
TEST(DibCopy, ScaledAndMirroredCopiesEqualWhatRenderDraws) {
  c32bppDIB source;
  ASSERT_TRUE(source.LoadPicture_File(testsupport::dataDir() + "/pngsuite/basn6a08.png"));
  source.setGDIplusEnabled(false);
  for (const bool smooth : {true, false}) {
    source.setHighQualityInterpolation(smooth);
    source.setAlphaBlendFriendly(!smooth);
    for (const auto& [width, height] : {std::pair{50, 41}, std::pair{-32, 20}}) {
      std::shared_ptr<c32bppDIB> copy;
      source.CopyImageTo(copy, width, height);
      ASSERT_TRUE(copy);
      c32bppDIB drawn;
      ASSERT_TRUE(drawn.InitializeDIB(std::abs(width), height));
      ASSERT_TRUE(source.Render(nullptr, 0, 0, width, height, 0, 0, 0, 0, 100, false, &drawn));
      EXPECT_EQ(bufferOf(*copy), bufferOf(drawn))
          << width << " x " << height << " smooth " << smooth;
    }
  }
}

TEST(DibSurface, PainterWorksInPictureCoordinates) {
  c32bppDIB image;
  ASSERT_TRUE(image.InitializeDIB(4, 4));
  QPainter* painter = image.LoadDIBinDC(true);
  ASSERT_NE(painter, nullptr);
  EXPECT_EQ(image.LoadDIBinDC(true), painter);  // selecting again keeps the same surface
  painter->fillRect(QRect(0, 0, 4, 1), QColor(255, 0, 0));
  EXPECT_EQ(image.LoadDIBinDC(false), nullptr);
  int32_t alpha = 0;
  EXPECT_EQ(image.GetPixel(3, 0, &alpha), 255);  // top row, red
  EXPECT_EQ(alpha, 255);
  EXPECT_EQ(image.GetPixel(3, 3), 0);
}

TEST(DibSurface, NoImageNoSurface) {
  c32bppDIB image;
  image.setManageOwnDC(true);
  EXPECT_TRUE(image.ManageOwnDC());
  EXPECT_EQ(image.LoadDIBinDC(true), nullptr);
}

TEST(DibCapabilities, AlphaBlendBitsOnThisPlatform) {
  c32bppDIB image;
  EXPECT_TRUE(image.capabilities() & DibCapability::kSystemAlphaBlend);
  EXPECT_FALSE(image.capabilities() & DibCapability::kAnsiOnlySystem);
  EXPECT_TRUE(image.isAlphaBlendFriendly());
  image.setAlphaBlendFriendly(false);
  EXPECT_FALSE(image.isAlphaBlendFriendly());
  image.setAlphaBlendFriendly(true);
  EXPECT_TRUE(image.isAlphaBlendFriendly());
  EXPECT_TRUE(image.isGDIplusEnabled());
  EXPECT_TRUE(image.HighQualityInterpolation());
  image.setGDIplusEnabled(false);
  EXPECT_FALSE(image.isGDIplusEnabled());
  EXPECT_TRUE(image.isZlibEnabled());
  image.setZlibAllowed(false);
  EXPECT_FALSE(image.isZlibEnabled());
}
