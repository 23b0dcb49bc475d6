// The GIF decoder on files written by giflib in the test: first image only at
// its own size, the transparent index, extension placement, colour tables and
// the signature.
#include "image/c32bppdib.h"
#include "image/codecs/cgifparser.h"

#include <gif_lib.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Frame {
  int left = 0, top = 0, width = 4, height = 3;
  std::vector<uint8_t> indices;        // width x height, top row first
  std::vector<uint32_t> localPalette;  // 0xRRGGBB; empty = none
  int transparentIndex = -1;           // -1 = no graphic control extension
  int delay = 0;
};

int writeToVector(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

ColorMapObject* makeMap(const std::vector<uint32_t>& colours) {
  int size = 2;
  while (size < static_cast<int>(colours.size())) size *= 2;
  std::vector<GifColorType> entries(static_cast<size_t>(size), GifColorType{0, 0, 0});
  for (size_t i = 0; i < colours.size(); ++i) {
    entries[i] = {static_cast<GifByteType>(colours[i] >> 16),
                  static_cast<GifByteType>(colours[i] >> 8), static_cast<GifByteType>(colours[i])};
  }
  return GifMakeMapObject(size, entries.data());
}

void putControl(GifFileType* gif, int transparentIndex, int delay) {
  GifByteType block[4] = {static_cast<GifByteType>(transparentIndex >= 0 ? 1 : 0),
                          static_cast<GifByteType>(delay), static_cast<GifByteType>(delay >> 8),
                          static_cast<GifByteType>(transparentIndex >= 0 ? transparentIndex : 0)};
  EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block);
}

// A GIF of the frames on a screen of the given size; trailingControl puts a
// graphic control extension after the last image.
std::vector<uint8_t> gifFile(int screenWidth, int screenHeight,
                             const std::vector<uint32_t>& globalPalette,
                             const std::vector<Frame>& frames, int trailingControl = -1) {
  std::vector<uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, writeToVector, &error);
  EGifSetGifVersion(gif, true);
  ColorMapObject* global = globalPalette.empty() ? nullptr : makeMap(globalPalette);
  EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, 0, global);
  for (const Frame& f : frames) {
    if (f.transparentIndex >= 0 || f.delay) putControl(gif, f.transparentIndex, f.delay);
    ColorMapObject* local = f.localPalette.empty() ? nullptr : makeMap(f.localPalette);
    EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, false, local);
    for (int y = 0; y < f.height; ++y) {
      std::vector<GifPixelType> line(f.indices.begin() + y * f.width,
                                     f.indices.begin() + (y + 1) * f.width);
      EGifPutLine(gif, line.data(), f.width);
    }
    if (local) GifFreeMapObject(local);
  }
  if (trailingControl >= 0) putControl(gif, trailingControl, 0);
  EGifCloseFile(gif, &error);
  if (global) GifFreeMapObject(global);
  return out;
}

Frame frame(int width, int height, uint8_t index) {
  Frame f;
  f.width = width;
  f.height = height;
  f.indices.assign(static_cast<size_t>(width * height), index);
  return f;
}

int32_t rgb(uint32_t rrggbb) {
  return static_cast<int32_t>(((rrggbb >> 16) & 255) | (rrggbb & 0xFF00) | ((rrggbb & 255) << 16));
}

}  // namespace

TEST(GifDecoder, ShowsTheFirstFrameAtItsOwnSize) {
  Frame first = frame(5, 3, 1);
  first.left = 7;
  first.top = 4;
  first.indices[0] = 2;
  const std::vector<uint8_t> file =
      gifFile(20, 10, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF}, {first, frame(20, 10, 3)});
  c32bppDIB image;
  ASSERT_TRUE(cGIFparser().LoadStream(file, image));
  EXPECT_EQ(image.ImageType(), ImageTypeCode::kGif);
  EXPECT_EQ(image.Width(), 5);
  EXPECT_EQ(image.Height(), 3);
  EXPECT_FALSE(image.Alpha());
  EXPECT_EQ(image.GetPixel(0, 0), rgb(0x00FF00));
  EXPECT_EQ(image.GetPixel(4, 2), rgb(0xFF0000));
}

TEST(GifDecoder, HonoursExactlyTheTransparentIndex) {
  // Indices 1 and 2 hold the same colour; only 2 is transparent. The frame
  // delay (7) differs from the index, so reading the wrong byte would show.
  Frame f = frame(4, 2, 1);
  f.indices[3] = 2;
  f.transparentIndex = 2;
  f.delay = 7;
  const std::vector<uint8_t> file = gifFile(4, 2, {0x000000, 0x123456, 0x123456, 0xFFFFFF}, {f});
  c32bppDIB image;
  ASSERT_TRUE(cGIFparser().LoadStream(file, image));
  EXPECT_TRUE(image.Alpha());
  int32_t alpha = 0;
  EXPECT_EQ(image.GetPixel(3, 0, &alpha), 0);
  EXPECT_EQ(alpha, 0);
  EXPECT_EQ(image.GetPixel(2, 0, &alpha), rgb(0x123456));
  EXPECT_EQ(alpha, 255);

  // A delay of 2 with transparent index 0: the old reading would drop index 2.
  f.transparentIndex = 0;
  f.delay = 2;
  ASSERT_TRUE(
      cGIFparser().LoadStream(gifFile(4, 2, {0x000000, 0x123456, 0x123456, 0xFFFFFF}, {f}), image));
  EXPECT_EQ(image.GetPixel(3, 0, &alpha), rgb(0x123456));
  EXPECT_EQ(alpha, 255);
}

TEST(GifDecoder, IgnoresAControlExtensionAfterTheImage) {
  const std::vector<uint8_t> file = gifFile(3, 3, {0x000000, 0xABCDEF}, {frame(3, 3, 1)}, 1);
  c32bppDIB image;
  ASSERT_TRUE(cGIFparser().LoadStream(file, image));
  EXPECT_FALSE(image.Alpha());
  EXPECT_EQ(image.GetPixel(1, 1), rgb(0xABCDEF));
}

TEST(GifDecoder, UsesALocalTableWithoutAGlobalOne) {
  Frame f = frame(2, 2, 1);
  f.localPalette = {0x010203, 0x405060};
  f.transparentIndex = 0;
  f.indices[0] = 0;
  c32bppDIB image;
  ASSERT_TRUE(cGIFparser().LoadStream(gifFile(2, 2, {}, {f}), image));
  EXPECT_EQ(image.GetPixel(1, 1), rgb(0x405060));
  int32_t alpha = 255;
  image.GetPixel(0, 0, &alpha);
  EXPECT_EQ(alpha, 0);
}

TEST(GifDecoder, AcceptsBothVersionsInEitherCaseAndNothingElse) {
  std::vector<uint8_t> file = gifFile(2, 2, {0x000000, 0xFFFFFF}, {frame(2, 2, 1)});
  c32bppDIB image;
  for (const char* signature : {"GIF87a", "gif89a", "Gif89A", "GIF89a"}) {
    std::memcpy(file.data(), signature, 6);
    EXPECT_TRUE(cGIFparser().LoadStream(file, image)) << signature;
    EXPECT_EQ(image.Width(), 2) << signature;
  }
  for (const char* signature : {"GIF88a", "GIF89b", "JIF89a"}) {
    std::memcpy(file.data(), signature, 6);
    EXPECT_FALSE(cGIFparser().LoadStream(file, image)) << signature;
  }
}

TEST(GifDecoder, BrokenFilesAreTakenButGiveNoPixels) {
  const std::vector<uint8_t> file = gifFile(8, 8, {0x000000, 0xFFFFFF}, {frame(8, 8, 1)});
  c32bppDIB image;
  ASSERT_TRUE(image.InitializeDIB(2, 2));
  // Cut inside the image data: recognised, no pixels.
  cGIFparser parser;
  EXPECT_TRUE(parser.LoadStream(file, image, 0, static_cast<int32_t>(file.size() - 6)));
  EXPECT_EQ(image.BitsPointer(), nullptr);
  EXPECT_EQ(parser.failure(), GifFailure::kTruncated);
  // An unknown block before the image: not a GIF.
  std::vector<uint8_t> odd = file;
  odd[13 + 6] = 0x77;
  EXPECT_FALSE(parser.LoadStream(odd, image));
  EXPECT_EQ(parser.failure(), GifFailure::kUnexpectedBlock);
  // Inside a larger array.
  std::vector<uint8_t> padded(64, 0xEE);
  padded.insert(padded.end(), file.begin(), file.end());
  EXPECT_TRUE(parser.LoadStream(padded, image, 64, 0));
  EXPECT_EQ(image.Width(), 8);
  EXPECT_EQ(parser.failure(), GifFailure::kNone);
}
