// Sessions of the system image service and loading through it.
#include "image/c32bppdib.h"
#include "image/cgdiplus.h"

#include <QBuffer>
#include <QImage>
#include <QObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(GdiplusSession, HostWindowSharesOneTokenUntilItGoes) {
  const int before = cGDIPlus::activeSessionCount();
  auto host = std::make_unique<QObject>();
  const uint32_t first = ManageGDIToken(*host);
  ASSERT_NE(first, 0u);
  EXPECT_EQ(ManageGDIToken(*host), first);
  EXPECT_TRUE(cGDIPlus::isSessionActive(first));
  EXPECT_EQ(cGDIPlus::activeSessionCount(), before + 1);

  QObject otherHost;
  const uint32_t other = ManageGDIToken(otherHost);
  EXPECT_NE(other, first);

  host.reset();
  EXPECT_FALSE(cGDIPlus::isSessionActive(first));
  EXPECT_TRUE(cGDIPlus::isSessionActive(other));
}

TEST(GdiplusSession, AvailabilityCheckEndsItsSessionUnlessKept) {
  const int before = cGDIPlus::activeSessionCount();
  EXPECT_TRUE(cGDIPlus::isGDIplusOk());
  EXPECT_EQ(cGDIPlus::activeSessionCount(), before);
  uint32_t kept = 0;
  EXPECT_TRUE(cGDIPlus::isGDIplusOk(&kept));
  EXPECT_TRUE(cGDIPlus::isSessionActive(kept));
  cGDIPlus::GdiplusShutdown(kept);
  EXPECT_EQ(cGDIPlus::activeSessionCount(), before);
}

TEST(GdiplusSession, OperationWithoutTokenOpensAndEndsItsOwn) {
  const int before = cGDIPlus::activeSessionCount();
  {
    ScopedGdiplusSession session(0);
    EXPECT_NE(session.token(), 0u);
    EXPECT_EQ(cGDIPlus::activeSessionCount(), before + 1);
  }
  EXPECT_EQ(cGDIPlus::activeSessionCount(), before);
  const uint32_t lent = cGDIPlus::GdiplusStartup();
  {
    ScopedGdiplusSession session(lent);
    EXPECT_EQ(session.token(), lent);
  }
  EXPECT_TRUE(cGDIPlus::isSessionActive(lent));
  cGDIPlus::GdiplusShutdown(lent);
}

TEST(ImageLoading, FormatWithoutOwnDecoderNeedsTheSystemService) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // Portable pixmaps are read by neither an own decoder nor the picture loader.
  const QString path = dir.filePath("photo.ppm");
  QImage photo(40, 30, QImage::Format_RGB32);
  photo.fill(QColor(200, 100, 50));
  ASSERT_TRUE(photo.save(path, "PPM"));

  c32bppDIB image;
  ASSERT_TRUE(image.LoadPicture_File(path));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kPng);
  EXPECT_EQ(image.Width(), 40);
  EXPECT_FALSE(image.Alpha());
  EXPECT_EQ(image.GetPixel(39, 29), 200 + 100 * 256 + 50 * 65536);

  image.setGDIplusEnabled(false);
  EXPECT_FALSE(image.LoadPicture_File(path));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kNone);
}

TEST(ImageLoading, SystemServicePremultipliesByTheEngineRule) {
  QImage picture(2, 1, QImage::Format_ARGB32);
  picture.setPixel(0, 0, qRgba(200, 0, 0, 100));
  picture.setPixel(1, 0, qRgba(7, 8, 9, 0));
  QByteArray encoded;
  QBuffer buffer(&encoded);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(picture.save(&buffer, "PNG"));
  const std::vector<uint8_t> bytes(encoded.begin(), encoded.end());
  c32bppDIB image;
  ASSERT_TRUE(cGDIPlus::LoadPictureGDIplus(bytes, image, 0));
  int32_t alpha = 0;
  EXPECT_EQ(image.GetPixel(0, 0, &alpha), 78);  // 200 x 100 / 255, truncated
  EXPECT_EQ(alpha, 100);
  EXPECT_EQ(image.GetPixel(1, 0), 0);
  EXPECT_TRUE(image.Alpha());
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kPng);
}
