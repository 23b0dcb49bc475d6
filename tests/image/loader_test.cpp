// The image's loaders: size gates, byte ranges and kept original bytes.
#include "test_support.h"

#include "image/c32bppdib.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> suiteFile(const char* name) {
  QFile file(testsupport::dataDir() + "/pngsuite/" + name);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  return {bytes.begin(), bytes.end()};
}

}  // namespace

TEST(ImageLoading, StreamsOf56BytesOrFewerAreRefused) {
  c32bppDIB image;
  image.setGDIplusEnabled(false);
  const std::vector<uint8_t> png = suiteFile("basn0g01.png");
  ASSERT_GT(png.size(), 57u);
  EXPECT_FALSE(image.LoadPicture_Stream({}));
  EXPECT_FALSE(image.LoadPicture_Stream(png, 0, 0, 0, 56));
  EXPECT_TRUE(image.LoadPicture_Stream(png));
}

TEST(ImageLoading, ByteRangeInsideALargerArrayKeepsTheWholeArray) {
  std::vector<uint8_t> bytes(100, 0xEE);
  const std::vector<uint8_t> png = suiteFile("basn2c08.png");
  bytes.insert(bytes.end(), png.begin(), png.end());
  bytes.resize(bytes.size() + 50, 0xEE);
  c32bppDIB image;
  image.setGDIplusEnabled(false);
  ASSERT_TRUE(image.LoadPicture_Stream(bytes, 0, 0, 100, static_cast<int32_t>(png.size()), true));
  EXPECT_EQ(image.Width(), 32);
  std::vector<uint8_t> kept;
  ASSERT_TRUE(image.GetOrginalFormat(kept));
  EXPECT_EQ(kept, bytes);
}

TEST(ImageLoading, FileLoadKeepsExactlyTheFileBytesOnRequest) {
  c32bppDIB image;
  image.setGDIplusEnabled(false);
  const QString path = testsupport::dataDir() + "/pngsuite/basn6a08.png";
  ASSERT_TRUE(image.LoadPicture_File(path, 0, 0, true));
  std::vector<uint8_t> kept;
  ASSERT_TRUE(image.GetOrginalFormat(kept));
  EXPECT_EQ(kept, suiteFile("basn6a08.png"));
  EXPECT_TRUE(image.Alpha());

  ASSERT_TRUE(image.LoadPicture_FromOrignalFormat());
  EXPECT_TRUE(image.GetOrginalFormat(kept));
  image.DestroyDIB();
  EXPECT_FALSE(image.GetOrginalFormat(kept));
}

TEST(ImageLoading, MissingOrCorruptFileLeavesTheImageEmpty) {
  c32bppDIB image;
  ASSERT_TRUE(image.InitializeDIB(3, 3));
  EXPECT_FALSE(image.LoadPicture_File(testsupport::dataDir() + "/pngsuite/no-such-file.png"));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kNone);
  image.setGDIplusEnabled(false);
  EXPECT_FALSE(image.LoadPicture_File(testsupport::dataDir() + "/pngsuite/xd9n2c08.png"));
  EXPECT_EQ(image.Handle(), 0u);
}
