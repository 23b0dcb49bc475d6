// The icon and cursor decoder: the directory check, the entry choice, bitmap
// entries with their masks, PNG entries, cursors and icon handles.
#include "ico_builder.h"

#include "image/c32bppdib.h"
#include "image/codecs/cicoparser.h"
#include "image/codecs/cpngwriter.h"

#include <gtest/gtest.h>

using icobuild::BitmapEntry;

namespace {

icobuild::Entry sized(int size, int bits = 32) {
  BitmapEntry wanted;
  wanted.width = wanted.height = size;
  wanted.bits = bits;
  if (bits <= 8) wanted.palette = {0x000000, 0xFFFFFF};
  wanted.pixel = [bits](int, int) { return bits <= 8 ? 1u : 0xFF102030u; };
  return icobuild::bitmapEntry(wanted);
}

std::vector<uint8_t> threeSizes() { return icobuild::iconFile({sized(16), sized(32), sized(48)}); }

int32_t chosenWidth(const std::vector<uint8_t>& file, int w, int h, int depth) {
  c32bppDIB image;
  cICOparser parser;
  EXPECT_TRUE(parser.LoadStream(file, w, h, image, 0, 0, depth));
  return image.Width();
}

std::vector<uint8_t> pngOf(int width, int height, uint32_t argb) {
  c32bppDIB image;
  image.InitializeDIB(width, height);
  for (size_t i = 0; i < image.Bits().size(); i += 4) {
    for (int c = 0; c < 4; ++c)
      image.Bits()[i + static_cast<size_t>(c)] = static_cast<uint8_t>(argb >> (8 * c));
  }
  image.SetAlphaFlag(true);
  std::vector<uint8_t> png;
  cPNGwriter().SavePNG(image, QString(), png);
  return png;
}

}  // namespace

TEST(IconDecoder, ChoosesTheExactEntryThenTheClosestLargerThenTheClosestSmaller) {
  const std::vector<uint8_t> file = threeSizes();
  EXPECT_EQ(chosenWidth(file, 32, 32, 32), 32);  // score 0
  EXPECT_EQ(chosenWidth(file, 40, 40, 32), 48);  // 16 beats -32
  EXPECT_EQ(chosenWidth(file, 64, 64, 32), 48);  // second pass: |-64| is the smallest
  EXPECT_EQ(chosenWidth(file, 0, 0, 32), 32);    // no size asked: 32 x 32
  EXPECT_EQ(chosenWidth(file, 16, 16, 32), 16);
}

TEST(IconDecoder, AnEntryOverThirtyTwoBitsIsChosenOnlyWhenNothingElseFits) {
  // The 33-bit entry would be the exact size but scores -10000.
  BitmapEntry odd;
  odd.width = odd.height = 32;
  odd.directoryBits = 33;
  odd.bits = 32;
  auto entry = icobuild::bitmapEntry(odd);
  entry.data[14] = 0;  // the header's bit count defers to the directory
  entry.data[15] = 0;
  const std::vector<uint8_t> file = icobuild::iconFile({entry, sized(16)});
  cICOparser parser;
  c32bppDIB image;
  ASSERT_TRUE(parser.LoadStream(file, 32, 32, image, 0, 0, 32));
  EXPECT_EQ(parser.bitDepth(1), 33);
  EXPECT_EQ(image.Width(), 16);  // second pass: |-64| + 0 beats 10000 + 1
  EXPECT_EQ(parser.ChooseEntry(32, 32, 32), 2);
}

TEST(IconDecoder, PaletteEntriesUseTheirMaskBits) {
  for (int bits : {1, 4, 8}) {
    for (bool withMask : {false, true}) {
      SCOPED_TRACE(testing::Message() << bits << " bits, mask " << withMask);
      BitmapEntry wanted;
      wanted.width = 10;  // rows not a multiple of 32 bits
      wanted.height = 3;
      wanted.bits = bits;
      wanted.palette = {0x112233, 0x445566};
      wanted.pixel = [](int x, int) { return static_cast<uint32_t>(x % 2); };
      wanted.masked = [withMask](int x, int y) { return withMask && x == 9 && y == 0; };
      const auto file = icobuild::iconFile({icobuild::bitmapEntry(wanted)});
      c32bppDIB image;
      cICOparser parser;
      ASSERT_TRUE(parser.LoadStream(file, 0, 0, image));
      ASSERT_EQ(image.Width(), 10);
      ASSERT_EQ(image.Height(), 3);
      EXPECT_EQ(image.ImageType(), ImageTypeCode::kIcon);
      EXPECT_EQ(image.Alpha(), withMask);
      EXPECT_EQ(image.GetPixel(0, 0), 0x11 + 0x22 * 256 + 0x33 * 65536);
      EXPECT_EQ(image.GetPixel(1, 2), 0x44 + 0x55 * 256 + 0x66 * 65536);
      int32_t alpha = 0;
      image.GetPixel(9, 0, &alpha);
      EXPECT_EQ(alpha, withMask ? 0 : 255);
      EXPECT_EQ(parser.ColorCount(1), 1 << bits);
    }
  }
}

TEST(IconDecoder, ThirtyTwoBitEntriesUseTheirOwnAlphaNotTheMask) {
  BitmapEntry wanted;
  wanted.pixel = [](int, int) { return 0x00FF8040u; };  // alpha 0 everywhere
  const auto clear = icobuild::iconFile({icobuild::bitmapEntry(wanted)});
  c32bppDIB image;
  ASSERT_TRUE(cICOparser().LoadStream(clear, 0, 0, image));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kAlphaIcon);
  EXPECT_TRUE(image.Alpha());
  for (uint8_t b : image.Bits()) ASSERT_EQ(b, 0);

  wanted.pixel = [](int, int) { return 0x80FF8040u; };
  wanted.masked = [](int, int) { return true; };
  ASSERT_TRUE(
      cICOparser().LoadStream(icobuild::iconFile({icobuild::bitmapEntry(wanted)}), 0, 0, image));
  int32_t alpha = 0;
  EXPECT_EQ(image.GetPixel(3, 3, &alpha),
            0xFF * 128 / 255 + (0x80 * 128 / 255) * 256 + (0x40 * 128 / 255) * 65536);
  EXPECT_EQ(alpha, 128);

  wanted.bits = 24;
  wanted.pixel = [](int, int) { return 0x00ABCDEFu; };
  wanted.masked = [](int, int) { return false; };
  ASSERT_TRUE(
      cICOparser().LoadStream(icobuild::iconFile({icobuild::bitmapEntry(wanted)}), 0, 0, image));
  EXPECT_FALSE(image.Alpha());
  EXPECT_EQ(image.GetPixel(0, 0), 0xAB + 0xCD * 256 + 0xEF * 65536);
}

TEST(IconDecoder, PngEntriesAndCursors) {
  const auto file =
      icobuild::iconFile({sized(16), icobuild::pngEntry(pngOf(256, 256, 0xFF00FF00), 256, 256)});
  c32bppDIB image;
  cICOparser parser;
  ASSERT_TRUE(parser.LoadStream(file, 256, 256, image));
  EXPECT_TRUE(parser.IsIconPNG(2));
  EXPECT_FALSE(parser.IsIconPNG(1));
  EXPECT_EQ(parser.Width(2), 256);
  EXPECT_EQ(parser.bitDepth(2), 8);  // one colour: written with a palette
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kPngIcon);
  EXPECT_EQ(image.Width(), 256);

  const auto cursor = icobuild::iconFile({sized(32, 1)}, 2);
  ASSERT_TRUE(parser.LoadStream(cursor, 0, 0, image));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kCursor);
  EXPECT_EQ(image.GetPixel(5, 5), 0xFFFFFF);
  const auto alphaCursor = icobuild::iconFile({sized(32)}, 2);
  ASSERT_TRUE(parser.LoadStream(alphaCursor, 0, 0, image));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kAlphaCursor);
}

TEST(IconDecoder, RefusesDirectoriesThatDoNotFitTheStream) {
  std::vector<uint8_t> file = threeSizes();
  c32bppDIB image;
  cICOparser parser;
  // Entry sizes adding up to more than the stream.
  std::vector<uint8_t> tooBig = file;
  tooBig[6 + 16 + 8] = 0xFF;
  tooBig[6 + 16 + 9] = 0xFF;
  EXPECT_FALSE(parser.LoadStream(tooBig, 0, 0, image));
  EXPECT_EQ(parser.failure(), IcoFailure::kEntryOutside);
  // The whole file but a stream range one byte short.
  EXPECT_FALSE(parser.LoadStream(file, 0, 0, image, 0, static_cast<int32_t>(file.size() - 1)));
  // More entries than the stream can list; a bad reserved word; a bad type.
  std::vector<uint8_t> many = file;
  many[4] = 0xFF;
  EXPECT_FALSE(parser.LoadStream(many, 0, 0, image));
  many[5] = 0xFF;
  EXPECT_FALSE(parser.LoadStream(many, 0, 0, image));
  EXPECT_EQ(parser.failure(), IcoFailure::kTruncatedDirectory);
  std::vector<uint8_t> reserved = file;
  reserved[0] = 1;
  EXPECT_FALSE(parser.LoadStream(reserved, 0, 0, image));
  EXPECT_EQ(parser.failure(), IcoFailure::kBadHeader);
  std::vector<uint8_t> type = file;
  type[2] = 3;
  EXPECT_FALSE(parser.LoadStream(type, 0, 0, image));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kNone);
  // A good directory inside a larger array.
  std::vector<uint8_t> padded(100, 7);
  padded.insert(padded.end(), file.begin(), file.end());
  ASSERT_TRUE(parser.LoadStream(padded, 48, 48, image, 100, static_cast<int32_t>(file.size())));
  EXPECT_EQ(image.Width(), 48);
  EXPECT_EQ(parser.IconCount(), 3);
}

TEST(IconDecoder, IconHandlesKeepTheirAlphaOrTheirMask) {
  IconHandle icon;
  icon.colour = QImage(4, 4, QImage::Format_ARGB32);
  icon.colour.fill(qRgba(0, 0, 255, 128));
  c32bppDIB image;
  ASSERT_TRUE(cICOparser().ConvertstdPicTo32bpp(icon, image));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kAlphaIcon);
  EXPECT_TRUE(image.Alpha());

  icon.colour.fill(qRgba(0, 255, 0, 0));
  icon.mask = QImage(4, 4, QImage::Format_Mono);
  icon.mask.fill(0);
  icon.mask.setPixel(1, 1, 1);
  icon.isIcon = false;
  ASSERT_TRUE(cICOparser().ConvertstdPicTo32bpp(icon, image));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kCursor);
  EXPECT_TRUE(image.Alpha());
  int32_t alpha = 0;
  image.GetPixel(1, 1, &alpha);
  EXPECT_EQ(alpha, 0);
  EXPECT_EQ(image.GetPixel(0, 0), 255 * 256);
}
