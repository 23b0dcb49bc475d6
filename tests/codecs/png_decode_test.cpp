// The PNG decoder on crafted files: header checks, CRC rules, transparency
// rules, filters, premultiplication and the signature and size gates.
#include "png_builder.h"

#include "image/c32bppdib.h"
#include "image/codecs/cpngparser.h"
#include "image/codecs/pngrowfeed.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <zlib.h>

namespace {

constexpr size_t kIhdrAt = 8;  // the IHDR chunk follows the signature

struct Decoded {
  bool isPng = false;
  std::shared_ptr<c32bppDIB> image = std::make_shared<c32bppDIB>();
  PngFailure failure = PngFailure::kNone;
  std::string reason;
};

Decoded decode(const std::vector<uint8_t>& bytes, bool withZlib = true) {
  Decoded result;
  result.image->setGDIplusEnabled(false);
  result.image->setZlibAllowed(withZlib);
  cPNGparser parser;
  result.isPng = parser.LoadStream(bytes, *result.image, 0, static_cast<int32_t>(bytes.size()));
  result.failure = parser.failure();
  result.reason = parser.failureDescription();
  return result;
}

// Stored B, G, R, A of the picture pixel (x, y).
std::vector<uint8_t> pixel(const c32bppDIB& image, int x, int y) {
  const uint8_t* p = image.BitsPointer() + image.pixelOffset(x, y);
  return {p[0], p[1], p[2], p[3]};
}

std::vector<uint8_t> rgbaRow(std::initializer_list<std::initializer_list<uint8_t>> pixels) {
  std::vector<uint8_t> raw{0};
  for (const auto& p : pixels) raw.insert(raw.end(), p);
  return raw;
}

}  // namespace

TEST(PngSignature, OtherBytesAreNotPng) {
  std::vector<uint8_t> bytes = PngBuilder().header(1, 1, 8, 0).imageData({0, 7}).end().bytes();
  bytes[1] = 'Q';
  const Decoded d = decode(bytes);
  EXPECT_FALSE(d.isPng);
  EXPECT_EQ(d.image->ImageType(), ImageTypeCode::kNone);
}

TEST(PngHeaderChecks, BadFieldsGiveNoPixelsButArePng) {
  const auto build = [](uint32_t w, uint32_t h, uint8_t depth, uint8_t type, uint8_t interlace) {
    return PngBuilder().header(w, h, depth, type, interlace).imageData({0, 0, 0, 0}).end().bytes();
  };
  for (const auto& bytes :
       {build(0, 1, 8, 0, 0), build(1, 0, 8, 0, 0), build(1, 1, 3, 0, 0), build(1, 1, 8, 5, 0),
        build(1, 1, 8, 0, 2), build(0x80000000u, 1, 8, 0, 0)}) {
    const Decoded d = decode(bytes);
    EXPECT_TRUE(d.isPng);
    EXPECT_EQ(d.image->BitsPointer(), nullptr);
  }
}

TEST(PngHeaderChecks, SizeLimitIsWidthTimes32TimesHeightInASignedInt) {
  // 8192 x 8192 fails before any data is looked at; 8191 x 8192 passes, and its
  // rows past the short data read as zeros.
  const Decoded tooBig = decode(PngBuilder().header(8192, 8192, 1, 0).imageData({0}).end().bytes());
  EXPECT_EQ(tooBig.image->BitsPointer(), nullptr);
  const Decoded fits = decode(PngBuilder().header(8191, 8192, 1, 0).imageData({0}).end().bytes());
  ASSERT_NE(fits.image->BitsPointer(), nullptr);
  EXPECT_EQ(fits.image->Width(), 8191);
}

TEST(PngHeaderChecks, UnusualPairingsPassTheHeaderButHaveNoConversion) {
  // Depth 16 palette and depth 1 RGB pass the header checks; no conversion is
  // defined for them, so they decode to nothing rather than to garbage.
  for (const auto& [depth, type] : {std::pair<uint8_t, uint8_t>{16, 3}, {1, 2}}) {
    const Decoded d =
        decode(PngBuilder().header(1, 1, depth, type).imageData({0, 0, 0}).end().bytes());
    EXPECT_TRUE(d.isPng);
    EXPECT_EQ(d.image->BitsPointer(), nullptr);
  }
}

TEST(PngCrc, ZlibChecksCriticalChunks) {
  PngBuilder png;
  png.header(1, 1, 8, 0).imageData({0, 200}).end().damageCrcAt(kIhdrAt);
  EXPECT_EQ(decode(png.bytes()).image->BitsPointer(), nullptr);
  // Without zlib no CRC is checked at all.
  const Decoded d = decode(png.bytes(), false);
  ASSERT_NE(d.image->BitsPointer(), nullptr);
  EXPECT_EQ(pixel(*d.image, 0, 0), (std::vector<uint8_t>{200, 200, 200, 255}));
}

TEST(PngCrc, StoredCrcOfZeroIsNeverChecked) {
  std::vector<uint8_t> bytes = PngBuilder().header(1, 1, 8, 0).imageData({0, 9}).end().bytes();
  std::fill(bytes.begin() + kIhdrAt + 8 + 13, bytes.begin() + kIhdrAt + 8 + 13 + 4, 0);
  EXPECT_NE(decode(bytes).image->BitsPointer(), nullptr);
}

TEST(PngTransparency, BadCrcOnTrnsOnlyLosesTransparency) {
  PngBuilder png;
  png.header(1, 1, 8, 0);
  const size_t trnsAt = png.size();
  png.chunk("tRNS", {0, 9}).imageData({0, 9}).end().damageCrcAt(trnsAt);
  const Decoded d = decode(png.bytes());
  ASSERT_NE(d.image->BitsPointer(), nullptr);
  EXPECT_FALSE(d.image->Alpha());
  EXPECT_EQ(pixel(*d.image, 0, 0), (std::vector<uint8_t>{9, 9, 9, 255}));
}

TEST(PngTransparency, Rgb16KeyComparesHighBytesOnly) {
  std::vector<uint8_t> raw{0,    0x12, 0xFF, 0x56, 0x00, 0x9A,
                           0x42,                                 // matches the key's high bytes
                           0x12, 0x34, 0x56, 0x78, 0x9B, 0xBC};  // blue differs
  const Decoded d = decode(PngBuilder()
                               .header(2, 1, 16, 2)
                               .chunk("tRNS", {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC})
                               .imageData(raw)
                               .end()
                               .bytes());
  ASSERT_NE(d.image->BitsPointer(), nullptr);
  EXPECT_TRUE(d.image->Alpha());
  EXPECT_EQ(pixel(*d.image, 0, 0), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(pixel(*d.image, 1, 0), (std::vector<uint8_t>{0x9B, 0x56, 0x12, 255}));
}

TEST(PngTransparency, Rgb8KeyComparesLowBytesOnly) {
  const Decoded d = decode(PngBuilder()
                               .header(2, 1, 8, 2)
                               .chunk("tRNS", {0xEE, 10, 0xEE, 20, 0xEE, 30})
                               .imageData({0, 10, 20, 30, 10, 20, 31})
                               .end()
                               .bytes());
  ASSERT_NE(d.image->BitsPointer(), nullptr);
  EXPECT_EQ(pixel(*d.image, 0, 0), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(pixel(*d.image, 1, 0), (std::vector<uint8_t>{31, 20, 10, 255}));
}

TEST(PngTransparency, ShortPaletteAlphaLeavesTheRestOpaque) {
  const Decoded d = decode(PngBuilder()
                               .header(3, 1, 8, 3)
                               .chunk("PLTE", {255, 0, 0, 0, 255, 0, 0, 0, 255})
                               .chunk("tRNS", {0, 128})
                               .imageData({0, 0, 1, 2})
                               .end()
                               .bytes());
  ASSERT_NE(d.image->BitsPointer(), nullptr);
  EXPECT_TRUE(d.image->Alpha());
  EXPECT_EQ(pixel(*d.image, 0, 0), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(pixel(*d.image, 1, 0), (std::vector<uint8_t>{0, 128, 0, 128}));
  EXPECT_EQ(pixel(*d.image, 2, 0), (std::vector<uint8_t>{255, 0, 0, 255}));
}

TEST(PngTransparency, PaletteInAGreyImageIsIgnored) {
  const Decoded d = decode(
      PngBuilder().header(1, 1, 8, 0).chunk("PLTE", {1, 2, 3}).imageData({0, 77}).end().bytes());
  ASSERT_NE(d.image->BitsPointer(), nullptr);
  EXPECT_EQ(pixel(*d.image, 0, 0), (std::vector<uint8_t>{77, 77, 77, 255}));
}

TEST(PngPremultiply, TruncatesColourTimesAlphaOver255) {
  const Decoded d =
      decode(PngBuilder()
                 .header(3, 1, 8, 6)
                 .imageData(rgbaRow({{255, 0, 0, 128}, {200, 0, 0, 100}, {90, 80, 70, 0}}))
                 .end()
                 .bytes());
  ASSERT_NE(d.image->BitsPointer(), nullptr);
  EXPECT_EQ(pixel(*d.image, 0, 0), (std::vector<uint8_t>{0, 0, 128, 128}));
  EXPECT_EQ(pixel(*d.image, 1, 0), (std::vector<uint8_t>{0, 0, 78, 100}));
  EXPECT_EQ(pixel(*d.image, 2, 0), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(PngGreyLevels, LowDepthsSpreadOverTheFullRange) {
  // 2-bit grey: samples 0, 1, 2, 3 in one byte.
  const Decoded d =
      decode(PngBuilder().header(4, 1, 2, 0).imageData({0, 0b00011011}).end().bytes());
  ASSERT_NE(d.image->BitsPointer(), nullptr);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(d.image->GetPixel(x, 0) & 0xFF, x * 85);
  const Decoded bw =
      decode(PngBuilder().header(2, 1, 1, 0).imageData({0, 0b01000000}).end().bytes());
  EXPECT_EQ(bw.image->GetPixel(0, 0), 0);
  EXPECT_EQ(bw.image->GetPixel(1, 0), 0xFFFFFF);
}

TEST(PngPalette, IndexedImageWithoutPaletteIsBlackWithIndexOneWhiteAtDepth1) {
  const Decoded d =
      decode(PngBuilder().header(2, 1, 1, 3).imageData({0, 0b01000000}).end().bytes());
  ASSERT_NE(d.image->BitsPointer(), nullptr);
  EXPECT_EQ(d.image->GetPixel(0, 0), 0);
  EXPECT_EQ(d.image->GetPixel(1, 0), 0xFFFFFF);
}

TEST(PngPalette, IndexWithoutEntryFailsTheDecode) {
  const Decoded d = decode(
      PngBuilder().header(2, 1, 8, 3).chunk("PLTE", {1, 2, 3}).imageData({0, 0, 1}).end().bytes());
  EXPECT_TRUE(d.isPng);
  EXPECT_EQ(d.image->BitsPointer(), nullptr);
}

TEST(PngFilters, UnknownFilterKeepsTheRowWhenNotInterlaced) {
  const Decoded d =
      decode(PngBuilder().header(2, 2, 8, 0).imageData({5, 10, 20, 2, 1, 1}).end().bytes());
  ASSERT_NE(d.image->BitsPointer(), nullptr);
  EXPECT_EQ(d.image->GetPixel(0, 0) & 0xFF, 10);
  EXPECT_EQ(d.image->GetPixel(1, 0) & 0xFF, 20);
  EXPECT_EQ(d.image->GetPixel(1, 1) & 0xFF, 21);  // Up on the kept row
}

TEST(PngFilters, UnknownFilterFailsAnInterlacedImage) {
  // 1 x 1 Adam7: pass 1 alone holds the pixel.
  EXPECT_NE(decode(PngBuilder().header(1, 1, 8, 0, 1).imageData({0, 42}).end().bytes())
                .image->BitsPointer(),
            nullptr);
  EXPECT_EQ(decode(PngBuilder().header(1, 1, 8, 0, 1).imageData({5, 42}).end().bytes())
                .image->BitsPointer(),
            nullptr);
}

TEST(PngChunks, MissingIendOrImageDataGivesNoPixels) {
  std::vector<uint8_t> bytes = PngBuilder().header(1, 1, 8, 0).imageData({0, 1}).bytes();
  EXPECT_EQ(decode(bytes).image->BitsPointer(), nullptr);
  EXPECT_EQ(decode(PngBuilder().header(1, 1, 8, 0).end().bytes()).image->BitsPointer(), nullptr);
  // Ancillary chunks, gamma among them, are skipped: samples stay as stored.
  const Decoded d = decode(PngBuilder()
                               .header(1, 1, 8, 0)
                               .chunk("gAMA", {0, 0, 0x27, 0x10})
                               .imageData({0, 100})
                               .end()
                               .bytes());
  EXPECT_EQ(d.image->GetPixel(0, 0) & 0xFF, 100);
}

TEST(PngInflate, WithoutZlibHeaderAndChecksumAreIgnored) {
  std::vector<uint8_t> bytes = PngBuilder().header(1, 1, 8, 0).imageData({0, 33}).end().bytes();
  // Damage the zlib header and the Adler-32 trailer inside IDAT (and fix nothing else).
  const size_t idatData = kIhdrAt + 25 + 8;
  bytes[idatData] = 0x00;
  const uint32_t idatLength = (uint32_t(bytes[idatData - 6]) << 8) | bytes[idatData - 5];
  bytes[idatData + idatLength - 1] ^= 0xFF;
  const Decoded d = decode(bytes, false);
  ASSERT_NE(d.image->BitsPointer(), nullptr);
  EXPECT_EQ(d.image->GetPixel(0, 0) & 0xFF, 33);
}

// zlib's own answer for a wrapped stream given whole: Z_STREAM_END or the
// status that stopped it.
int zlibAnswer(std::vector<uint8_t> stream, size_t capacity) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return Z_MEM_ERROR;
  std::vector<uint8_t> out(capacity + 1);
  z.next_in = stream.data();
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(capacity);
  int status = Z_OK;
  while (status == Z_OK) status = inflate(&z, Z_NO_FLUSH);
  inflateEnd(&z);
  return status;
}

TEST(PngInflate, TheZlibFeedJudgesHeaderAndChecksumAsZlibDoes) {
  const std::vector<uint8_t> data(300, 7);  // three rows of 100 bytes
  std::vector<uint8_t> good(compressBound(300));
  uLongf length = good.size();
  ASSERT_EQ(compress(good.data(), &length, data.data(), data.size()), Z_OK);
  good.resize(length);
  const auto changed = [&](size_t at, std::initializer_list<uint8_t> values) {
    std::vector<uint8_t> s = good;
    std::copy(values.begin(), values.end(), s.begin() + static_cast<ptrdiff_t>(at));
    return s;
  };
  // A failed header check, then each later check with the fields before it
  // valid: method 7, a 64 KiB window, a preset dictionary with and without its
  // identifier; then a wrong and a cut checksum.
  std::vector<uint8_t> dictionary = changed(0, {0x78, 0xBB});
  dictionary.insert(dictionary.begin() + 2, {1, 2, 3, 4});
  const std::vector<uint8_t> noDictionaryId = {0x78, 0xBB, 1};
  const std::vector<uint8_t> shortTrailer(good.begin(), good.end() - 2);
  const std::vector<uint8_t> ofOneByte = {0x78};
  for (const auto& stream :
       {good, changed(0, {0x78, 0x9D}), changed(0, {0x77, 0x09}), changed(0, {0x88, 0x1C}),
        dictionary, noDictionaryId, changed(good.size() - 1, {uint8_t(good.back() ^ 1)}),
        shortTrailer, ofOneByte}) {
    const int expected = zlibAnswer(stream, data.size());
    // The stream in pieces of 1, 2 and 3 bytes, as IDAT chunks may cut it.
    std::vector<std::span<const uint8_t>> parts;
    for (size_t at = 0, size = 1; at < stream.size(); at += size, size = size % 3 + 1)
      parts.emplace_back(stream.data() + at, std::min(size, stream.size() - at));
    pngpixels::ZlibRowFeed feed(parts, data.size(), 100);
    bool ok = true;
    for (int row = 0; row < 3 && ok; ++row) {
      const uint8_t* bytes = feed.next(100);
      ok = bytes && std::equal(bytes, bytes + 100, data.begin());
    }
    ok = ok && feed.finish();
    EXPECT_EQ(ok, expected == Z_STREAM_END) << "zlib says " << expected;
    EXPECT_EQ(feed.status(), ok ? Z_OK : expected);
  }
}

TEST(PngFileInput, FilesOf56BytesOrFewerAreNotExamined) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  std::vector<uint8_t> bytes = PngBuilder().header(1, 1, 8, 0).imageData({0, 1}).end().bytes();
  bytes.resize(57);
  for (const size_t size : {size_t{56}, size_t{57}}) {
    QFile file(dir.filePath(QString::number(size)));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(size));
    file.flush();
    c32bppDIB image;
    image.setGDIplusEnabled(false);
    cPNGparser parser;
    EXPECT_EQ(parser.LoadFile(file, file.fileName(), image), size == 57);
  }
}

TEST(PngFailureReasons, EachBrokenFileKeepsWhyItHasNoPixels) {
  const auto ok = [] { return PngBuilder().header(1, 1, 8, 0).imageData({0, 1}); };
  std::vector<uint8_t> badSignature = ok().end().bytes();
  badSignature[0] = 0;
  PngBuilder badCrc = ok().end();
  badCrc.damageCrcAt(kIhdrAt);
  std::vector<uint8_t> truncated = ok().end().bytes();
  truncated.resize(truncated.size() - 1);
  std::vector<uint8_t> overflow = ok().end().bytes();
  const uint8_t hugeLength[4] = {0x7F, 0xFF, 0xFF, 0xF0};  // IDAT's length, past any input
  std::copy(hugeLength, hugeLength + 4, overflow.begin() + 33);
  const struct {
    std::vector<uint8_t> bytes;
    PngFailure failure;
  } cases[] = {
      {badSignature, PngFailure::kBadSignature},
      {badCrc.bytes(), PngFailure::kHeaderCrcMismatch},
      {truncated, PngFailure::kTruncatedChunk},
      {overflow, PngFailure::kChunkLengthOverflow},
      {ok().bytes(), PngFailure::kMissingEnd},
      {PngBuilder().header(1, 1, 8, 0).end().bytes(), PngFailure::kNoImageData},
      {PngBuilder().header(1, 1, 3, 0).imageData({0, 0}).end().bytes(), PngFailure::kBadBitDepth},
      {PngBuilder().header(1, 1, 8, 5).imageData({0, 0}).end().bytes(), PngFailure::kBadColourType},
      {PngBuilder().header(8192, 8192, 1, 0).imageData({0}).end().bytes(), PngFailure::kTooLarge},
      {PngBuilder().header(1, 1, 16, 3).imageData({0, 0, 0}).end().bytes(),
       PngFailure::kUnsupportedFormat},
      // A stored block whose length and its complement disagree.
      {PngBuilder()
           .header(1, 1, 8, 0)
           .chunk("IDAT", {0x78, 0x9C, 0x01, 0x01, 0x00, 0x00, 0x00})
           .end()
           .bytes(),
       PngFailure::kInflateFailed},
      {PngBuilder().header(1, 1, 8, 0, 1).imageData({5, 42}).end().bytes(),
       PngFailure::kBadInterlacedFilter},
      {PngBuilder().header(2, 1, 8, 3).chunk("PLTE", {1, 2, 3}).imageData({0, 0, 1}).end().bytes(),
       PngFailure::kPaletteIndexOutOfRange},
  };
  for (const auto& c : cases) {
    const Decoded d = decode(c.bytes);
    EXPECT_EQ(d.failure, c.failure) << d.reason;
    EXPECT_EQ(d.image->BitsPointer(), nullptr) << d.reason;
    // Only what the decoder cannot keep to itself is for the user to see.
    EXPECT_EQ(isReportedToUser(d.failure), c.failure == PngFailure::kChunkLengthOverflow)
        << d.reason;
  }
  // An inflate failure names both inflaters' codes; a good file keeps no reason.
  const Decoded broken = decode(cases[10].bytes);
  EXPECT_EQ(broken.reason,
            "PNG image data does not inflate (zlib status -3, built-in inflate code -2: "
            "stored block length mismatch)");
  EXPECT_EQ(decode(ok().end().bytes()).failure, PngFailure::kNone);
}
