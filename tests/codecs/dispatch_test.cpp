// The loading chain as a whole: size limits, which decoder takes which source,
// kept source bytes, icon sizes and file names from drag and drop.
#include "ico_builder.h"

#include "image/c32bppdib.h"
#include "image/codecs/cpngwriter.h"

#include <QBuffer>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace {

std::vector<uint8_t> encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return {bytes.begin(), bytes.end()};
}

icobuild::Entry entry(int size, int bits) {
  icobuild::BitmapEntry entry;
  entry.width = entry.height = size;
  entry.bits = bits;
  entry.palette = {0x000000, 0xFFFFFF};
  entry.pixel = [bits](int, int) { return bits <= 8 ? 1u : 0xFF405060u; };
  return icobuild::bitmapEntry(entry);
}

// A 1 x 1 white GIF (35 bytes), padded with zeros after its trailer.
std::vector<uint8_t> tinyGif(size_t size) {
  static constexpr uint8_t kGif[] = {'G', 'I', 'F', '8', '9', 'a', 1,   0,    1, 0, 0x80, 0,
                                     0,   0,   0,   0,   255, 255, 255, 0x2C, 0, 0, 0,    0,
                                     1,   0,   1,   0,   0,   2,   2,   0x4C, 1, 0, 0x3B};
  // Sized first and then filled: g++ 12 misreads a resize of the literal as out of bounds.
  std::vector<uint8_t> gif(std::max(size, sizeof kGif), 0);
  std::copy(std::begin(kGif), std::end(kGif), gif.begin());
  return gif;
}

}  // namespace

TEST(LoadingChain, ASourceMustBeLongerThan56Bytes) {
  const std::vector<uint8_t> padded = tinyGif(200);
  c32bppDIB image;
  image.setGDIplusEnabled(false);
  EXPECT_TRUE(image.LoadPicture_Stream(padded, 0, 0, 0, 57));
  EXPECT_FALSE(image.LoadPicture_Stream(padded, 0, 0, 0, 56));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kNone);
}

TEST(LoadingChain, EachFormatReachesItsDecoder) {
  QImage picture(4, 4, QImage::Format_ARGB32);
  picture.fill(qRgba(10, 20, 30, 255));
  c32bppDIB image;
  image.setGDIplusEnabled(false);
  ASSERT_TRUE(image.LoadPicture_Stream(tinyGif(100)));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kGif);
  ASSERT_TRUE(image.LoadPicture_Stream(icobuild::iconFile({entry(16, 32)})));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kAlphaIcon);
  ASSERT_TRUE(image.LoadPicture_Stream(encoded(picture, "BMP")));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kBitmap);
  // JPEG goes to the picture loader behind the bitmap decoder, with or without
  // the system image service.
  for (bool service : {false, true}) {
    image.setGDIplusEnabled(service);
    ASSERT_TRUE(image.LoadPicture_Stream(encoded(picture, "JPEG")));
    EXPECT_EQ(image.ImageType(), ImageTypeCode::kBitmap);
  }
  // Portable pixmaps only through the system image service.
  image.setGDIplusEnabled(false);
  EXPECT_FALSE(image.LoadPicture_Stream(encoded(picture, "PPM")));
  EXPECT_EQ(image.lastLoadFailureText(), "unrecognised image format");
  image.setGDIplusEnabled(true);
  ASSERT_TRUE(image.LoadPicture_Stream(encoded(picture, "PPM"), 0, 0, 0, 0, true));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kPng);
  // Kept as PNG bytes, which reload without the service.
  std::vector<uint8_t> kept;
  ASSERT_TRUE(image.GetOrginalFormat(kept));
  EXPECT_EQ(kept[1], 'P');
  image.setGDIplusEnabled(false);
  EXPECT_TRUE(image.LoadPicture_FromOrignalFormat());
  EXPECT_EQ(image.lastLoadFailure(), LoadFailure::kNone);
  // A source a decoder recognised but could not decode names that decoder's reason.
  std::vector<uint8_t> cutGif = tinyGif(100);
  const uint8_t longComment[] = {0x21, 0xFE, 0xFF};  // a comment block longer than the source
  std::copy(std::begin(longComment), std::end(longComment), cutGif.begin() + 19);
  EXPECT_FALSE(image.LoadPicture_Stream(cutGif));
  EXPECT_EQ(image.lastLoadFailureText(), "GIF does not decode: GIF truncated block");
  EXPECT_FALSE(image.LoadPicture_Stream(tinyGif(100), 0, 0, 0, 56));
  EXPECT_EQ(image.lastLoadFailure(), LoadFailure::kSourceTooSmall);
}

TEST(LoadingChain, KeepsTheWholeArrayAndChoosesIconSizesAgain) {
  const std::vector<uint8_t> icon =
      icobuild::iconFile({entry(16, 4), entry(32, 8), entry(48, 32), entry(24, 24)});
  std::vector<uint8_t> array(80 + icon.size(), 1);
  std::copy(icon.begin(), icon.end(), array.begin() + 80);
  c32bppDIB image;
  image.setGDIplusEnabled(false);
  ASSERT_TRUE(image.LoadPicture_Stream(array, 48, 48, 80, static_cast<int32_t>(icon.size()), true));
  EXPECT_EQ(image.Width(), 48);
  std::vector<uint8_t> kept;
  ASSERT_TRUE(image.GetOrginalFormat(kept));
  EXPECT_EQ(kept, array);

  // The icon file alone lists its sizes and another entry can be chosen.
  ASSERT_TRUE(image.LoadPicture_Stream(icon, -5, -5, 0, 0, true, 40));
  EXPECT_EQ(image.Width(), 32);  // size 0 asks for 32 x 32; depth 40 counts as 32
  std::vector<std::array<int32_t, 4>> sizes;
  ASSERT_EQ(image.SourceIconSizes(sizes), 4);
  EXPECT_EQ(sizes[0], (std::array<int32_t, 4>{16, 16, 4, 16}));
  EXPECT_EQ(sizes[1], (std::array<int32_t, 4>{32, 32, 8, 256}));
  EXPECT_EQ(sizes[2], (std::array<int32_t, 4>{48, 48, 32, -1}));
  EXPECT_EQ(sizes[3], (std::array<int32_t, 4>{24, 24, 24, -16777216}));
  ASSERT_TRUE(image.LoadPicture_FromOrignalFormat(16, 16, 4));
  EXPECT_EQ(image.Width(), 16);
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kIcon);

  // Without kept bytes: one row; for other images: none.
  ASSERT_TRUE(image.LoadPicture_Stream(icon, 24, 24));
  ASSERT_EQ(image.SourceIconSizes(sizes), 1);
  EXPECT_EQ(sizes[0], (std::array<int32_t, 4>{24, 24, 32, -1}));
  QImage picture(4, 4, QImage::Format_RGB32);
  picture.fill(Qt::red);
  ASSERT_TRUE(image.LoadPicture_Stream(encoded(picture, "PNG")));
  EXPECT_EQ(image.SourceIconSizes(sizes), 0);
  EXPECT_EQ(sizes.size(), 1u);
}

TEST(LoadingChain, FilesGoThroughTheSameChain) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::vector<uint8_t> icon = icobuild::iconFile({entry(16, 1), entry(32, 1)}, 2);
  const QString path = dir.filePath("pointer.cur");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(reinterpret_cast<const char*>(icon.data()), static_cast<qint64>(icon.size()));
  file.close();
  c32bppDIB image;
  image.setGDIplusEnabled(false);
  ASSERT_TRUE(image.LoadPicture_File(path, 16, 16, true));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kCursor);
  EXPECT_EQ(image.Width(), 16);
  std::vector<uint8_t> kept;
  ASSERT_TRUE(image.GetOrginalFormat(kept));
  EXPECT_EQ(kept, icon);
}

TEST(DroppedFiles, ReadsLocalPathsFromAFileList) {
  QMimeData data;
  QStringList names;
  EXPECT_FALSE(GetDroppedFileNames(&data, names));
  EXPECT_FALSE(GetDroppedFileNames(nullptr, names));
  data.setUrls({QUrl::fromLocalFile("/tmp/a picture.png"), QUrl::fromLocalFile("/tmp/b.ico")});
  ASSERT_TRUE(GetDroppedFileNames(&data, names));
  EXPECT_EQ(names, (QStringList{"/tmp/a picture.png", "/tmp/b.ico"}));
}
