// The vector loops of the PNG decoder against the plain loops that define the
// results: every suite image, random rows of every filter and pixel size (alone,
// in pairs and in runs of up to nine), and random RGBA pictures with every
// alpha, compared byte for byte.
#include "image/cpu_features.h"
#include "png_builder.h"
#include "test_support.h"

#include "image/c32bppdib.h"
#include "image/codecs/adler32.h"
#include "image/codecs/cpngparser.h"
#include "image/codecs/crc32.h"
#include "image/codecs/pngreconstruct.h"
#include "image/codecs/pngrowfeed.h"
#include "image/codecs/pngunfilter_sse2.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include <zlib.h>

namespace {

using pngpixels::Kernels;

std::vector<uint8_t> decodeWith(const std::vector<uint8_t>& png, Kernels kernels, bool withZlib) {
  c32bppDIB image;
  image.setGDIplusEnabled(false);
  image.setZlibAllowed(withZlib);
  cPNGparser parser;
  parser.setKernels(kernels);
  parser.LoadStream(png, image, 0, static_cast<int32_t>(png.size()));
  const auto bits = image.Bits();
  return {bits.begin(), bits.end()};
}

std::vector<uint8_t> readFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  return {bytes.begin(), bytes.end()};
}

}  // namespace

TEST(PngKernels, EverySuiteImageDecodesAlikeThroughBothLoops) {
  const QDir dir(testsupport::dataDir() + "/pngsuite");
  const QStringList files = dir.entryList({"*.png"}, QDir::Files, QDir::Name);
  ASSERT_GT(files.size(), 150);
  for (const QString& name : files) {
    SCOPED_TRACE(name.toStdString());
    const std::vector<uint8_t> png = readFile(dir.filePath(name));
    ASSERT_FALSE(png.empty());
    for (const bool withZlib : {true, false}) {
      EXPECT_EQ(decodeWith(png, Kernels::kFastest, withZlib),
                decodeWith(png, Kernels::kScalar, withZlib));
    }
  }
}

TEST(PngKernels, RandomRowsUnfilterAlikeForEveryFilterAndPixelSize) {
  std::mt19937 random(20261209);
  const auto randomBytes = [&](size_t count) {
    std::vector<uint8_t> bytes(count);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
  };
  for (const size_t distance : {1, 2, 3, 4, 6, 8}) {
    for (size_t pixels = 0; pixels <= 40; ++pixels) {
      const size_t bytes = pixels * distance;
      // A row alone, and as the upper row of a pair with a row of every filter.
      for (uint8_t filter = 0; filter <= 5; ++filter) {
        for (uint8_t lowerFilter = 0; lowerFilter <= 5; ++lowerFilter) {
          const std::vector<uint8_t> previous = randomBytes(bytes);
          std::vector<uint8_t> row = randomBytes(bytes), lower = randomBytes(bytes);
          const std::vector<uint8_t> filteredRow = row, filteredLower = lower;
          std::vector<uint8_t> plain = row, plainLower = lower, alone = row;
          pngpixels::unfilterRowScalar(filter, plain.data(), previous.data(), bytes, distance);
          pngpixels::unfilterRowScalar(lowerFilter, plainLower.data(), plain.data(), bytes,
                                       distance);
          pngpixels::unfilterRow(filter, alone.data(), previous.data(), bytes, distance,
                                 Kernels::kFastest);
          pngpixels::unfilterRowPair(filter, row.data(), lowerFilter, lower.data(), previous.data(),
                                     bytes, distance, Kernels::kFastest);
          ASSERT_TRUE(alone == plain && row == plain && lower == plainLower)
              << "filters " << int{filter} << " and " << int{lowerFilter} << ", " << pixels
              << " pixels of " << distance;
          // Where the choice above took the AVX loop, the SSE2 one is held to the
          // plain loops too.
          if (filter != 4 || lowerFilter != 4 || !cpu::hasAvx()) continue;
          row = filteredRow;
          lower = filteredLower;
          if (pngpixels::unfilterPaethPairSse2(row.data(), lower.data(), previous.data(), bytes,
                                               distance)) {
            ASSERT_TRUE(row == plain && lower == plainLower) << pixels << " pixels of " << distance;
          }
        }
      }
      // Runs of 1 to 9 rows as the decoder hands them out, each after its filter
      // byte: all Paeth (four at a time where the processor allows), or with one
      // row of another filter somewhere in the run.
      const size_t stride = bytes + 1;
      for (size_t count = 1; count <= 9; ++count) {
        for (size_t other = 0; other <= count; ++other) {
          const std::vector<uint8_t> previous = randomBytes(bytes);
          std::vector<uint8_t> rows = randomBytes(count * stride);
          for (size_t k = 0; k < count; ++k) rows[k * stride] = k == other ? k % 4 : 4;
          std::vector<uint8_t> plain = rows;
          for (size_t k = 0; k < count; ++k) {
            const uint8_t* above = k == 0 ? previous.data() : &plain[(k - 1) * stride + 1];
            pngpixels::unfilterRowScalar(plain[k * stride], &plain[k * stride + 1], above, bytes,
                                         distance);
          }
          pngpixels::unfilterRows(rows.data() + 1, count, previous.data(), bytes, distance,
                                  Kernels::kFastest);
          ASSERT_TRUE(rows == plain) << count << " rows, row " << other << " not Paeth, " << pixels
                                     << " pixels of " << distance;
        }
      }
    }
  }
}

TEST(PngKernels, RandomRgbaPicturesWithEveryFilterDecodeAlike) {
  std::mt19937 random(7);
  // 33000 pixels: RGBA rows too long for zlib's feed to hand out four at a
  // time, RGB rows just short enough.
  for (const auto& [colourType, depth, width] : {std::tuple<uint8_t, uint8_t, size_t>{6, 8, 37},
                                                 {2, 8, 37},
                                                 {6, 16, 37},
                                                 {4, 8, 37},
                                                 {6, 8, 33000},
                                                 {2, 8, 33000}}) {
    const size_t channels = colourType == 6 ? 4 : colourType == 2 ? 3 : 2;
    const size_t height = 11, rowBytes = width * channels * depth / 8;
    std::vector<uint8_t> raw;
    for (size_t y = 0; y < height; ++y) {
      // Every filter, then runs of Paeth rows, over random bytes.
      raw.push_back(static_cast<uint8_t>(y < 5 ? y : 4));
      for (size_t i = 0; i < rowBytes; ++i) raw.push_back(static_cast<uint8_t>(random()));
    }
    const std::vector<uint8_t> png =
        PngBuilder().header(width, height, depth, colourType).imageData(raw).end().bytes();
    const std::vector<uint8_t> plain = decodeWith(png, Kernels::kScalar, false);
    ASSERT_EQ(plain.size(), width * height * 4);
    for (const bool withZlib : {true, false}) {
      EXPECT_EQ(decodeWith(png, Kernels::kFastest, withZlib), plain)
          << "colour type " << int{colourType} << ", " << width << " wide";
    }
    // zlib's feed hands out every group of rows the reconstruction asks for
    // (a refusal would pass unseen above: the built-in inflate takes over).
    std::vector<uint8_t> compressed(compressBound(static_cast<uLong>(raw.size())));
    uLongf length = compressed.size();
    ASSERT_EQ(compress(compressed.data(), &length, raw.data(), raw.size()), Z_OK);
    const std::span<const uint8_t> parts[] = {{compressed.data(), length}};
    const pngpixels::PngHeader header{static_cast<int32_t>(width), static_cast<int32_t>(height),
                                      depth, colourType, 0};
    pngpixels::ZlibRowFeed feed(parts, raw.size(), pngpixels::largestRowBytes(header));
    c32bppDIB image;
    ASSERT_TRUE(image.InitializeDIB(header.width, header.height));
    EXPECT_EQ(pngpixels::reconstruct(header, {}, feed, image), pngpixels::ReconstructResult::kOk);
    EXPECT_TRUE(feed.finish());
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), image.Bits().begin()));
  }
}

TEST(PngKernels, TheChecksumsAreZlibsForEveryLengthAndStart) {
  std::mt19937 random(32);
  std::vector<uint8_t> bytes(20000);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  std::fill(bytes.begin() + 10000, bytes.end(), 0xFF);  // the largest sums
  // Every length up to a few folds of four blocks and one block, then longer.
  for (size_t length = 0; length <= bytes.size(); length += length < 200 ? 1 : 997) {
    const size_t start = random() % (bytes.size() - length + 1);
    const uint8_t* data = bytes.data() + start;
    const uint32_t before = static_cast<uint32_t>(adler32(1, bytes.data(), start));
    EXPECT_EQ(pngpixels::adler32Update(before, data, length),
              adler32(before, data, static_cast<uInt>(length)))
        << length << " bytes from " << start;
    const uint32_t crcBefore = static_cast<uint32_t>(crc32(0, bytes.data(), start));
    EXPECT_EQ(pngpixels::crc32Update(crcBefore, data, length),
              crc32(crcBefore, data, static_cast<uInt>(length)))
        << length << " bytes from " << start;
  }
}
