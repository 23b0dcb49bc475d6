// The PNG decoder against an independent decoder over the whole PngSuite, with
// zlib and with the built-in inflate; and every corrupt image of the suite.
#include "png_reference.h"
#include "test_support.h"

#include "image/c32bppdib.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

QStringList suiteFiles(const QString& pattern) {
  const QDir dir(testsupport::dataDir() + "/pngsuite");
  return dir.entryList({pattern}, QDir::Files, QDir::Name);
}

QString suitePath(const QString& name) { return testsupport::dataDir() + "/pngsuite/" + name; }

std::vector<uint8_t> topDownPremultipliedRGBA(const c32bppDIB& image) {
  DibBits bits;
  DibBitsLayout layout;
  layout.asBGRformat = false;
  layout.asBottomUp = false;
  image.GetDIBbits(bits, layout);
  return bits.bytes;
}

// Index of the first differing pixel, or -1.
long firstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i] != b[i]) return static_cast<long>(i / 4);
  }
  return a.size() == b.size() ? -1 : static_cast<long>(std::min(a.size(), b.size()) / 4);
}

void expectSuiteMatchesReference(bool withZlib) {
  const QStringList files = suiteFiles("[!x]*.png");
  ASSERT_GT(files.size(), 150);
  for (const QString& name : files) {
    SCOPED_TRACE(name.toStdString());
    const ReferenceImage reference = decodeWithLibpng(suitePath(name));
    ASSERT_TRUE(reference.ok);
    c32bppDIB image;
    image.setGDIplusEnabled(false);
    image.setZlibAllowed(withZlib);
    ASSERT_TRUE(image.LoadPicture_File(suitePath(name)));
    EXPECT_EQ(image.Width(), reference.width);
    EXPECT_EQ(image.Height(), reference.height);
    EXPECT_EQ(image.ImageType(), ImageTypeCode::kPng);
    EXPECT_EQ(image.Alpha(), reference.alpha);
    EXPECT_EQ(firstDifference(topDownPremultipliedRGBA(image), reference.rgba), -1);
  }
}

}  // namespace

TEST(PngSuite, EveryValidImageMatchesTheReferenceDecoderThroughZlib) {
  expectSuiteMatchesReference(true);
}

TEST(PngSuite, EveryValidImageMatchesTheReferenceDecoderThroughTheBuiltInInflate) {
  expectSuiteMatchesReference(false);
}

// Corrupt only in a chunk CRC: without zlib no CRC is checked, so these decode.
bool corruptOnlyInCrc(const QString& name) {
  return name == "xcsn0g01.png" || name == "xhdn0g08.png";
}

TEST(PngSuite, EveryCorruptImageGivesNoPixels) {
  const QStringList files = suiteFiles("x*.png");
  ASSERT_GE(files.size(), 14);
  for (const bool withZlib : {true, false}) {
    for (const QString& name : files) {
      if (!withZlib && corruptOnlyInCrc(name)) continue;
      SCOPED_TRACE(name.toStdString() + (withZlib ? " zlib" : " built-in inflate"));
      QFile file(suitePath(name));
      ASSERT_TRUE(file.open(QIODevice::ReadOnly));
      const QByteArray bytes = file.readAll();
      c32bppDIB image;
      image.setGDIplusEnabled(false);
      image.setZlibAllowed(withZlib);
      // Exact-size copy, so that any read past the input trips the address sanitizer.
      std::vector<uint8_t> exact(bytes.begin(), bytes.end());
      image.LoadPicture_Stream(exact);
      EXPECT_EQ(image.BitsPointer(), nullptr);
      EXPECT_EQ(image.ImageType(), ImageTypeCode::kNone);
    }
  }
}

TEST(PngSuite, WithoutZlibCorruptCrcsAreNotChecked) {
  for (const QString name : {"xcsn0g01.png", "xhdn0g08.png"}) {
    SCOPED_TRACE(name.toStdString());
    c32bppDIB image;
    image.setGDIplusEnabled(false);
    image.setZlibAllowed(false);
    EXPECT_TRUE(image.LoadPicture_File(suitePath(name)));
    EXPECT_EQ(image.Width(), 32);
  }
}
