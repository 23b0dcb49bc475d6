// The built-in inflate against zlib on real and generated data, and its
// failure codes on damaged streams.
#include "test_support.h"

#include "image/codecs/inflate.h"

#include <QDir>
#include <QFile>

#include <zlib.h>

#include <gtest/gtest.h>

#include <random>

namespace {

std::vector<uint8_t> deflateWith(const std::vector<uint8_t>& data, int level, int strategy) {
  z_stream s{};
  deflateInit2(&s, level, Z_DEFLATED, 15, 8, strategy);
  std::vector<uint8_t> out(deflateBound(&s, static_cast<uLong>(data.size())) + 16);
  s.next_in = const_cast<Bytef*>(data.data());
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

// Text-like data with long and short repeats, so that every code kind occurs.
std::vector<uint8_t> sampleData(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> data;
  const std::string words[] = {"port ", "forward ", "router ", "Success ", "Failed ", "\n"};
  while (data.size() < size) {
    const unsigned pick = random() % 10;
    if (pick < 6) {
      data.insert(data.end(), words[pick].begin(), words[pick].end());
    } else if (pick < 8) {
      data.push_back(static_cast<uint8_t>(random()));
    } else if (!data.empty()) {
      const size_t back = 1 + random() % std::min<size_t>(data.size(), 30000);
      const size_t length = 3 + random() % 300;
      for (size_t i = 0; i < length; ++i) data.push_back(data[data.size() - back]);
    }
  }
  data.resize(size);
  return data;
}

pnginflate::InflateResult inflateInto(const std::vector<uint8_t>& input,
                                      std::vector<uint8_t>& out) {
  return pnginflate::Inflate(input, out);
}

}  // namespace

TEST(BuiltInInflate, MatchesZlibForStoredFixedAndDynamicBlocks) {
  for (const unsigned seed : {1u, 2u, 3u}) {
    const std::vector<uint8_t> data = sampleData(200000 + seed * 777, seed);
    for (const auto& [level, strategy] : {std::pair{0, Z_DEFAULT_STRATEGY},
                                          {1, Z_FIXED},
                                          {9, Z_FIXED},
                                          {6, Z_DEFAULT_STRATEGY},
                                          {9, Z_HUFFMAN_ONLY},
                                          {9, Z_RLE}}) {
      SCOPED_TRACE(testing::Message() << "level " << level << " strategy " << strategy);
      const std::vector<uint8_t> packed = deflateWith(data, level, strategy);
      std::vector<uint8_t> out(data.size(), 0);
      const auto result = inflateInto(packed, out);
      EXPECT_EQ(result.code, pnginflate::kOk);
      EXPECT_EQ(result.produced, data.size());
      EXPECT_TRUE(out == data);
    }
  }
}

TEST(BuiltInInflate, MatchesZlibOnEveryPngOfTheSuite) {
  const QDir dir(testsupport::dataDir() + "/pngsuite");
  int checked = 0;
  for (const QString& name : dir.entryList({"[!x]*.png"}, QDir::Files)) {
    QFile file(dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    std::vector<uint8_t> idat;
    for (qsizetype pos = 8; pos + 12 <= bytes.size();) {
      const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData() + pos);
      const uint32_t length = (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
      if (std::memcmp(p + 4, "IDAT", 4) == 0) idat.insert(idat.end(), p + 8, p + 8 + length);
      pos += 12 + static_cast<qsizetype>(length);
    }
    std::vector<uint8_t> expected(1 << 20);
    uLongf expectedSize = static_cast<uLongf>(expected.size());
    ASSERT_EQ(
        uncompress(expected.data(), &expectedSize, idat.data(), static_cast<uLong>(idat.size())),
        Z_OK);
    expected.resize(expectedSize);
    std::vector<uint8_t> out(expectedSize);
    EXPECT_EQ(inflateInto(idat, out).code, pnginflate::kOk) << name.toStdString();
    EXPECT_TRUE(out == expected) << name.toStdString();
    ++checked;
  }
  EXPECT_GT(checked, 150);
}

TEST(BuiltInInflate, IgnoresHeaderAndChecksum) {
  const std::vector<uint8_t> data = sampleData(5000, 9);
  std::vector<uint8_t> packed = deflateWith(data, 6, Z_DEFAULT_STRATEGY);
  packed[0] = 0xFF;
  packed[1] = 0xFF;
  packed.back() ^= 0x55;
  std::vector<uint8_t> out(data.size());
  EXPECT_EQ(inflateInto(packed, out).code, pnginflate::kOk);
  EXPECT_TRUE(out == data);
}

TEST(BuiltInInflateFailures, StoredBlockWithMismatchedLengths) {
  // Header, then a final stored block: LEN 3, NLEN not its complement.
  const std::vector<uint8_t> packed{0x78, 0x01, 0x01, 0x03, 0x00, 0xFC, 0xF0, 'a', 'b', 'c'};
  std::vector<uint8_t> out(16);
  EXPECT_EQ(inflateInto(packed, out).code, pnginflate::kBadStoredLength);
}

TEST(BuiltInInflateFailures, StoredBlockShortOfInputOrRoom) {
  const std::vector<uint8_t> packed{0x78, 0x01, 0x01, 0x03, 0x00, 0xFC, 0xFF, 'a', 'b', 'c'};
  std::vector<uint8_t> room(3);
  EXPECT_EQ(inflateInto(packed, room).code, pnginflate::kOk);
  std::vector<uint8_t> tooSmall(2);
  EXPECT_EQ(inflateInto(packed, tooSmall).code, pnginflate::kShort);
  const std::vector<uint8_t> cut(packed.begin(), packed.end() - 1);
  EXPECT_EQ(inflateInto(cut, room).code, pnginflate::kShort);
}

TEST(BuiltInInflateFailures, ReservedBlockTypeAndTruncatedInput) {
  std::vector<uint8_t> out(64);
  EXPECT_EQ(inflateInto({0x78, 0x01, 0x07}, out).code, pnginflate::kShort);  // final, type 3
  EXPECT_EQ(inflateInto({0x78}, out).code, pnginflate::kShort);
  const std::vector<uint8_t> data = sampleData(4000, 4);
  std::vector<uint8_t> packed = deflateWith(data, 9, Z_DEFAULT_STRATEGY);
  packed.resize(packed.size() / 2);
  std::vector<uint8_t> big(data.size());
  EXPECT_EQ(inflateInto(packed, big).code, pnginflate::kShort);
}

TEST(BuiltInInflateFailures, OutputTooSmallForCompressedData) {
  const std::vector<uint8_t> data = sampleData(4000, 5);
  const std::vector<uint8_t> packed = deflateWith(data, 9, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> out(data.size() - 1);
  EXPECT_EQ(inflateInto(packed, out).code, pnginflate::kShort);
}

TEST(BuiltInInflateFailures, MalformedDynamicTable) {
  // Final dynamic block whose code-length code lengths are all zero.
  const std::vector<uint8_t> packed{0x78, 0x01, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  std::vector<uint8_t> out(64);
  EXPECT_EQ(inflateInto(packed, out).code, pnginflate::kBadTable);
}

TEST(BuiltInInflateFailures, DistanceBeforeTheStartOfOutput) {
  // Fixed block: a length-3 match at distance 1 with nothing written yet.
  // Bits (LSB first): 1 (final), 10 (fixed), 0000001 (length 3), 00000 (distance 1).
  const std::vector<uint8_t> packed{0x78, 0x01, 0x03, 0x02, 0x00, 0x00};
  std::vector<uint8_t> out(64);
  EXPECT_EQ(inflateInto(packed, out).code, pnginflate::kBadData);
}
