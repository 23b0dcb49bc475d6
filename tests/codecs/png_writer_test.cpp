// The PNG encoder: every PngSuite image decoded, encoded and read back by an
// independent decoder (libpng) gives the same straight pixels; the colour-type
// choice, the filter settings, texts and the failure cases.
#include "test_support.h"

#include "image/c32bppdib.h"
#include "image/codecs/cpngwriter.h"
#include "image/codecs/pngrowfilter.h"
#include "image/premultiply.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <png.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Decoded {
  bool ok = false;
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // straight, top-down
};

Decoded readWithLibpng(const std::vector<uint8_t>& png) {
  Decoded result;
  png_image info{};
  info.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&info, png.data(), png.size())) return result;
  info.format = PNG_FORMAT_RGBA;
  result.rgba.resize(PNG_IMAGE_SIZE(info));
  if (!png_image_finish_read(&info, nullptr, result.rgba.data(), 0, nullptr)) {
    png_image_free(&info);
    return result;
  }
  result.ok = true;
  result.width = static_cast<int>(info.width);
  result.height = static_cast<int>(info.height);
  return result;
}

uint8_t colourTypeOf(const std::vector<uint8_t>& png) { return png.size() > 25 ? png[25] : 255; }
uint8_t bitDepthOf(const std::vector<uint8_t>& png) { return png.size() > 24 ? png[24] : 0; }

// The chunk types of a PNG in file order.
std::vector<std::string> chunkTypes(const std::vector<uint8_t>& png) {
  std::vector<std::string> types;
  size_t at = 8;
  while (at + 12 <= png.size()) {
    const uint32_t length = (uint32_t{png[at]} << 24) | (uint32_t{png[at + 1]} << 16) |
                            (uint32_t{png[at + 2]} << 8) | png[at + 3];
    types.emplace_back(reinterpret_cast<const char*>(&png[at + 4]), 4);
    at += 12 + length;
  }
  return types;
}

// The image as straight top-down RGBA, the way any reader should see it; the
// colours of fully transparent pixels do not matter and are zeroed.
std::vector<uint8_t> straightRGBA(const c32bppDIB& image) {
  DibBits bits;
  DibBitsLayout layout;
  layout.asBGRformat = false;
  layout.asBottomUp = false;
  image.GetDIBbits(bits, layout, 0, 0, 0, 0, false);
  for (size_t i = 0; i < bits.bytes.size(); i += 4) {
    if (!image.Alpha()) bits.bytes[i + 3] = 255;
  }
  return bits.bytes;
}

void zeroTransparentColours(std::vector<uint8_t>& rgba) {
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
    if (rgba[i + 3] == 0) rgba[i] = rgba[i + 1] = rgba[i + 2] = 0;
  }
}

// An image from top-down straight (R, G, B, A) pixels.
void fill(c32bppDIB& image, int width, int height, const std::vector<uint32_t>& rgbaPixels,
          bool alpha) {
  ASSERT_TRUE(image.InitializeDIB(width, height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t p = rgbaPixels[static_cast<size_t>(y * width + x)];
      const uint32_t packed = premul::packBGRA(p >> 24, (p >> 16) & 255, (p >> 8) & 255, p & 255);
      std::memcpy(image.BitsPointer() + image.pixelOffset(x, y), &packed, 4);
    }
  }
  image.SetAlphaFlag(alpha);
}

std::vector<uint8_t> encode(const c32bppDIB& image, int32_t filterSetting = 6) {
  cPNGwriter writer;
  writer.setFilterSetting(filterSetting);
  std::vector<uint8_t> png;
  EXPECT_TRUE(writer.SavePNG(image, QString(), png));
  return png;
}

void expectRoundTrip(const c32bppDIB& image, const std::vector<uint8_t>& png) {
  const Decoded back = readWithLibpng(png);
  ASSERT_TRUE(back.ok);
  EXPECT_EQ(back.width, image.Width());
  EXPECT_EQ(back.height, image.Height());
  std::vector<uint8_t> expected = straightRGBA(image);
  std::vector<uint8_t> actual = back.rgba;
  zeroTransparentColours(expected);
  zeroTransparentColours(actual);
  EXPECT_TRUE(expected == actual);
}

}  // namespace

TEST(PngWriter, EverySuiteImageReadsBackUnchangedThroughAnotherDecoder) {
  const QDir dir(testsupport::dataDir() + "/pngsuite");
  const QStringList files = dir.entryList({"[!x]*.png"}, QDir::Files, QDir::Name);
  ASSERT_GT(files.size(), 150);
  for (const QString& name : files) {
    SCOPED_TRACE(name.toStdString());
    c32bppDIB image;
    image.setGDIplusEnabled(false);
    ASSERT_TRUE(image.LoadPicture_File(dir.filePath(name)));
    expectRoundTrip(image, encode(image));
  }
}

TEST(PngWriter, EveryFilterSettingProducesValidFiles) {
  c32bppDIB image;
  image.setGDIplusEnabled(false);
  ASSERT_TRUE(image.LoadPicture_File(testsupport::dataDir() + "/pngsuite/basn6a08.png"));
  c32bppDIB opaque;
  opaque.setGDIplusEnabled(false);
  ASSERT_TRUE(opaque.LoadPicture_File(testsupport::dataDir() + "/pngsuite/basn2c08.png"));
  for (int32_t setting : {-1, 0, 1, 2, 3, 4, 5, 6, 7}) {
    SCOPED_TRACE(setting);
    expectRoundTrip(image, encode(image, setting));
    expectRoundTrip(opaque, encode(opaque, setting));
  }
}

TEST(PngWriter, ColourTypeFollowsTheColoursUsed) {
  // 300 distinct opaque colours without the alpha flag: RGB.
  std::vector<uint32_t> many;
  for (uint32_t i = 0; i < 300; ++i) many.push_back(((i * 7) << 24) | ((i / 3) << 16) | 0xFF);
  c32bppDIB rgb;
  fill(rgb, 30, 10, many, false);
  std::vector<uint8_t> png = encode(rgb);
  EXPECT_EQ(colourTypeOf(png), 2);
  EXPECT_EQ(bitDepthOf(png), 8);
  expectRoundTrip(rgb, png);

  // A few colours: palette indices, with per-entry alpha for the translucent one.
  c32bppDIB few;
  fill(few, 2, 2, {0xFF0000FF, 0x00FF0080, 0x0000FFFF, 0x00000000}, true);
  png = encode(few);
  EXPECT_EQ(colourTypeOf(png), 3);
  const auto types = chunkTypes(png);
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "PLTE", "tRNS", "IDAT", "IEND"}));
  expectRoundTrip(few, png);

  // Opaque greys only: grey samples.
  c32bppDIB greys;
  fill(greys, 2, 1, {0x101010FF, 0xF0F0F0FF}, true);
  EXPECT_EQ(colourTypeOf(encode(greys)), 0);
  expectRoundTrip(greys, encode(greys));
}

TEST(PngWriter, FullyTransparentPixelsBecomeAGreyKeyNoOpaquePixelMatches) {
  // More than 256 colours; blue uses every value except 5 in the opaque pixels.
  std::vector<uint32_t> pixels;
  for (uint32_t row = 0; row < 2; ++row) {
    for (uint32_t v = 0; v < 256; ++v) {
      const uint32_t red = row == 0 ? v : 255 - v;
      pixels.push_back(v == 5 ? 0 : (red << 24) | (7u << 16) | (v << 8) | 0xFF);
    }
  }
  c32bppDIB image;
  fill(image, 256, 2, pixels, true);
  const std::vector<uint8_t> png = encode(image);
  EXPECT_EQ(colourTypeOf(png), 2);
  const auto types = chunkTypes(png);
  ASSERT_EQ(types.size(), 4u);
  EXPECT_EQ(types[1], "tRNS");
  // The key is (5, 5, 5) as three 16-bit samples.
  const std::vector<uint8_t> key(png.begin() + 33 + 8, png.begin() + 33 + 14);
  EXPECT_EQ(key, (std::vector<uint8_t>{0, 5, 0, 5, 0, 5}));
  expectRoundTrip(image, png);
}

TEST(PngWriter, EveryValueUsedInEveryChannelFallsBackToRgba) {
  std::vector<uint32_t> pixels;
  for (uint32_t v = 0; v < 256; ++v) pixels.push_back((v << 24) | (v << 16) | (v << 8) | 0xFF);
  for (uint32_t v = 0; v < 256; ++v) pixels.push_back(((255 - v) << 24) | (v << 16) | 0xFF);
  pixels.push_back(0);
  pixels.resize(257 * 2 + 0, 0);
  c32bppDIB image;
  fill(image, 257, 2, pixels, true);
  const std::vector<uint8_t> png = encode(image);
  EXPECT_EQ(colourTypeOf(png), 6);
  expectRoundTrip(image, png);
}

TEST(PngWriter, SemiTransparentColoursAreUnpremultiplied) {
  std::vector<uint32_t> pixels;
  for (uint32_t i = 0; i < 300; ++i) pixels.push_back((i << 16) | (i & 0xFF) << 8 | 0xFF);
  c32bppDIB image;
  fill(image, 30, 10, pixels, true);
  // Stored premultiplied (64, 64, 64, 128) at the top-left corner.
  const uint8_t stored[4] = {64, 64, 64, 128};
  std::memcpy(image.BitsPointer() + image.pixelOffset(0, 0), stored, 4);
  const std::vector<uint8_t> png = encode(image);
  EXPECT_EQ(colourTypeOf(png), 6);
  const Decoded back = readWithLibpng(png);
  ASSERT_TRUE(back.ok);
  EXPECT_EQ(std::vector<uint8_t>(back.rgba.begin(), back.rgba.begin() + 4),
            (std::vector<uint8_t>{127, 127, 127, 128}));
}

TEST(PngWriter, AdaptiveFilterPicksTheSmallestScoreAndTheLaterOnTies) {
  // A constant row under an identical row: Up scores 0 (kept as 1) and Paeth,
  // later in the order, predicts just as well.
  const std::vector<uint8_t> row(10, 9);
  EXPECT_EQ(pngfilter::chooseFilter(row, row, 1), pngfilter::kPaeth);  // Paeth also scores 0
  // A ramp on the first row: Sub predicts every byte but the first.
  std::vector<uint8_t> ramp(12);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(100 + i);
  EXPECT_EQ(pngfilter::chooseFilter(ramp, {}, 1), pngfilter::kPaeth);  // on row 1 Paeth = Sub
  // All zero: every filter scores 0 and the last one wins.
  EXPECT_EQ(pngfilter::chooseFilter(std::vector<uint8_t>(8, 0), {}, 4), pngfilter::kPaeth);
  // Small values under large ones: no predictor beats the raw bytes.
  const std::vector<uint8_t> small = {1, 0, 1, 0, 1, 0, 1, 0};
  EXPECT_EQ(pngfilter::chooseFilter(small, std::vector<uint8_t>(8, 200), 1), pngfilter::kNone);
  EXPECT_EQ(pngfilter::resolveSetting(0, 3), 1);
  EXPECT_EQ(pngfilter::resolveSetting(0, 6), 5);
  EXPECT_EQ(pngfilter::resolveSetting(9, 2), 5);
}

TEST(PngWriter, TextEntriesGoBeforeOrAfterTheImageAndLongOnesAreCompressed) {
  c32bppDIB image;
  fill(image, 1, 1, {0x112233FF}, false);
  cPNGwriter writer;
  writer.setText(cPNGwriter::TextKeyword::Title, "Vantrel\r\nproduct", true);
  writer.setText(cPNGwriter::TextKeyword::Comment, QString(2000, 'x'), false);
  writer.setModificationTime(QDateTime(QDate(2026, 12, 8), QTime(16, 0), Qt::UTC));
  writer.setBackgroundColour(0x332211);
  std::vector<uint8_t> png;
  ASSERT_TRUE(writer.SavePNG(image, QString(), png));
  EXPECT_EQ(chunkTypes(png), (std::vector<std::string>{"IHDR", "tEXt", "PLTE", "bKGD", "IDAT",
                                                       "tIME", "zTXt", "IEND"}));
  const std::string all(png.begin(), png.end());
  EXPECT_NE(all.find(std::string("Title\0Vantrel\nproduct", 21)), std::string::npos);
  const size_t z = all.find("zTXtComment");
  ASSERT_NE(z, std::string::npos);
  const uint8_t* packed = png.data() + z + 4 + 8 + 1;
  const uint32_t length = (uint32_t{png[z - 4]} << 24 | uint32_t{png[z - 3]} << 16 |
                           uint32_t{png[z - 2]} << 8 | png[z - 1]) -
                          9;
  std::vector<uint8_t> text(4000);
  uLongf textLength = text.size();
  ASSERT_EQ(uncompress(text.data(), &textLength, packed, length), Z_OK);
  EXPECT_EQ(textLength, 2000u);
  expectRoundTrip(image, png);
}

TEST(PngWriter, WritesFilesAndLeavesNothingBehindOnFailure) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  c32bppDIB image;
  fill(image, 2, 1, {0x102030FF, 0x405060FF}, false);
  cPNGwriter writer;
  std::vector<uint8_t> untouched = {1, 2, 3};
  const QString path = dir.filePath("out.png");
  ASSERT_TRUE(writer.SavePNG(image, path, untouched));
  EXPECT_EQ(untouched, (std::vector<uint8_t>{1, 2, 3}));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray written = file.readAll();
  expectRoundTrip(image, std::vector<uint8_t>(written.begin(), written.end()));

  // Without zlib nothing is written, neither a file nor bytes.
  image.setZlibAllowed(false);
  const QString none = dir.filePath("none.png");
  EXPECT_FALSE(writer.SavePNG(image, none, untouched));
  EXPECT_FALSE(QFile::exists(none));
  EXPECT_FALSE(writer.SavePNG(image, QString(), untouched));
  EXPECT_TRUE(untouched.empty());

  // No image, or a folder that does not exist.
  c32bppDIB empty;
  EXPECT_FALSE(writer.SavePNG(empty, QString(), untouched));
  image.setZlibAllowed(true);
  EXPECT_FALSE(writer.SavePNG(image, dir.filePath("missing/out.png"), untouched));
}
