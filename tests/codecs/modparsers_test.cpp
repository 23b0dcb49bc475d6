// The helpers shared by the codecs and the image engine.
#include "image/codecs/modparsers.h"
#include "image/premultiply.h"

#include <QBuffer>
#include <QTemporaryDir>

#include <array>

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> pixels(std::initializer_list<std::array<uint8_t, 4>> list) {
  std::vector<uint8_t> out;
  for (const auto& p : list) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace

TEST(ClassifyAlpha, ColouredTransparentPixelMeansStraightAlpha) {
  auto px = pixels({{10, 0, 0, 0}, {1, 2, 3, 255}, {4, 5, 6, 255}, {7, 8, 9, 255}});
  int32_t type = 0;
  EXPECT_TRUE(modParsers::ClassifyAlpha(px, 2, false, type));
  EXPECT_EQ(type, 6);
}

TEST(ClassifyAlpha, ColoursWithinAlphaAndBlackTransparencyArePremultiplied) {
  auto px = pixels({{0, 0, 0, 0}, {10, 20, 30, 128}, {4, 5, 6, 255}, {7, 8, 9, 200}});
  const auto before = px;
  int32_t type = 0;
  EXPECT_TRUE(modParsers::ClassifyAlpha(px, 2, true, type));
  EXPECT_EQ(type, 7);
  EXPECT_EQ(px, before);
}

TEST(ClassifyAlpha, ColourAboveAlphaIsStraightAndGetsPremultiplied) {
  auto px = pixels({{200, 100, 0, 128}, {4, 5, 6, 255}});
  int32_t type = 0;
  EXPECT_TRUE(modParsers::ClassifyAlpha(px, 2, true, type));
  EXPECT_EQ(type, 6);
  EXPECT_EQ(px, pixels({{100, 50, 0, 128}, {4, 5, 6, 255}}));
}

TEST(ClassifyAlpha, UniformAlphaMeansNoAlpha) {
  auto zero = pixels({{1, 2, 3, 0}, {4, 5, 6, 0}});
  int32_t type = 0;
  EXPECT_FALSE(modParsers::ClassifyAlpha(zero, 2, true, type));
  EXPECT_EQ(type, 1);
  EXPECT_EQ(zero, pixels({{1, 2, 3, 255}, {4, 5, 6, 255}}));

  auto forced = pixels({{1, 2, 3, 100}});
  type = -1;
  EXPECT_FALSE(modParsers::ClassifyAlpha(forced, 1, false, type));
  EXPECT_EQ(type, 1);
  EXPECT_EQ(forced[3], 100);  // not modified
}

TEST(PremultiplyRule, DivisionBy255TruncatesForEveryProduct) {
  for (uint32_t colour = 0; colour < 256; ++colour) {
    for (uint32_t alpha = 0; alpha < 256; ++alpha) {
      ASSERT_EQ(premul::scale(colour, alpha), colour * alpha / 255) << colour << " " << alpha;
    }
  }
}

TEST(ParserArithmetic, RowSizeSwapBytesAndGreyWeights) {
  EXPECT_EQ(modParsers::RowSize(3, 24), 12);
  EXPECT_EQ(modParsers::RowSize(1, 1), 4);
  EXPECT_EQ(modParsers::RowSize(33, 1), 8);
  EXPECT_EQ(modParsers::SwapBytes32(0x12345678u), 0x78563412u);
  EXPECT_FLOAT_EQ(modParsers::GrayscaleWeights(0).green, 0.587f);
  EXPECT_FLOAT_EQ(modParsers::GrayscaleWeights(1).red, 0.213f);
  EXPECT_FLOAT_EQ(modParsers::GrayscaleWeights(-1).blue, 1.0f);
  EXPECT_FLOAT_EQ(modParsers::GrayscaleWeights(42).blue, 0.114f);
}

TEST(ZlibLocator, ReportsTheLinkedLibrary) {
  modParsers::ZlibInfo info;
  EXPECT_TRUE(modParsers::LocateZlib(info));
  EXPECT_EQ(info.kind, modParsers::kZlibPreferred);
  EXPECT_TRUE(info.hasCompress2);
  EXPECT_TRUE(info.libraryName.startsWith("zlib "));
}

TEST(SystemServices, LibraryExportProbe) {
  EXPECT_TRUE(modParsers::DllHasFunction("libz.so.1", "crc32"));
  EXPECT_FALSE(modParsers::DllHasFunction("libz.so.1", "NoSuchFunction"));
  EXPECT_FALSE(modParsers::DllHasFunction("libno-such-library.so", "crc32"));
}

TEST(SystemServices, OpenAndDeleteFiles) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("a file.bin");
  EXPECT_EQ(modParsers::OpenFileShared(path, false), nullptr);
  {
    auto out = modParsers::OpenFileShared(path, true);
    ASSERT_NE(out, nullptr);
    out->write("abc");
  }
  auto in = modParsers::OpenFileShared(path, false);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(in->readAll(), QByteArray("abc"));
  in.reset();
  QFile::setPermissions(path, QFileDevice::ReadOwner);
  EXPECT_TRUE(modParsers::DeleteFileAny(path));
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_FALSE(modParsers::DeleteFileAny(path));
}

TEST(SystemServices, PictureFromBytesDecodesAndRefusesBadRanges) {
  QImage source(3, 2, QImage::Format_ARGB32);
  source.fill(QColor(10, 20, 30));
  QByteArray encoded;
  QBuffer buffer(&encoded);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(source.save(&buffer, "BMP"));
  std::vector<uint8_t> bytes(5, 0);
  bytes.insert(bytes.end(), encoded.begin(), encoded.end());
  const StdPicture picture = modParsers::PictureFromBytes(bytes, 5, encoded.size());
  ASSERT_FALSE(picture.isEmpty());
  EXPECT_EQ(picture.image.size(), QSize(3, 2));
  EXPECT_TRUE(modParsers::PictureFromBytes(bytes, 5, encoded.size() + 1).isEmpty());
  EXPECT_TRUE(modParsers::PictureFromBytes(bytes, 0, encoded.size()).isEmpty());
}

TEST(FieldReaders, ReadBothByteOrdersAndNeverPastTheEnd) {
  const std::array<uint8_t, 5> bytes = {0x12, 0x34, 0x56, 0x78, 0x9A};
  EXPECT_EQ(modParsers::ReadLE16(bytes, 3), 0x9A78);
  EXPECT_EQ(modParsers::ReadLE32(bytes, 1), 0x9A785634u);
  EXPECT_EQ(modParsers::ReadBE32(bytes, 0), 0x12345678u);
  // A field that would reach past the end reads as 0, however far off it starts.
  EXPECT_EQ(modParsers::ReadLE16(bytes, 4), 0);
  EXPECT_EQ(modParsers::ReadLE32(bytes, 2), 0u);
  EXPECT_EQ(modParsers::ReadBE32(bytes, SIZE_MAX), 0u);
}
