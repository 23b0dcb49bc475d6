// The GIF decoder: the walk to the first image, the single-image copy and the
// colour lookup through the source's own colour table.
#include "image/codecs/cgifparser.h"

#include "image/c32bppdib.h"
#include "image/codecs/modparsers.h"
#include "image/imagetype.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

constexpr uint8_t kExtensionIntroducer = 0x21;  // '!': an extension block follows
constexpr uint8_t kImageSeparator = 0x2C;       // ',': an image descriptor follows
constexpr uint8_t kTrailer = 0x3B;              // ';': the end of the file
constexpr uint8_t kApplicationLabel = 0xFF;     // extension label of an application block
constexpr uint8_t kGraphicControlLabel = 0xF9;  // extension label of a graphic control block
constexpr uint8_t kColourTableFlag = 0x80;      // packed field: a colour table follows
constexpr uint8_t kColourTableSizeBits = 0x07;  // packed field: the table has 2 << n entries
constexpr uint8_t kTransparentFlag = 0x01;      // graphic control packed field
constexpr size_t kGraphicControlBytes = 8;
constexpr size_t kImageDescriptorBytes = 10;
// Larger first images are refused rather than decoded into gigabytes.
constexpr int64_t kLargestPixelCount = int64_t{1} << 26;

size_t colourTableBytes(uint8_t packed) {
  return (packed & kColourTableFlag) ? 3 * (size_t{2} << (packed & kColourTableSizeBits)) : 0;
}

// What the walk found; nullopt from the walk means "recognised, but broken".
struct GifLayout {
  size_t dataStart = 0;           // header + screen descriptor + global table
  std::optional<size_t> control;  // the last graphic control extension before the image
  bool transparent = false;
  uint8_t transparentIndex = 0;
  size_t image = 0;       // the image separator
  size_t localTable = 0;  // bytes of the image's local colour table
  size_t imageEnd = 0;    // one past the image data's terminating block
};

// Jumps over data sub-blocks starting at `at`; nullopt when they run off the end.
std::optional<size_t> skipSubBlocks(std::span<const uint8_t> gif, size_t at) {
  while (at < gif.size()) {
    const uint8_t length = gif[at];
    ++at;
    if (length == 0) return at;
    at += length;
  }
  return std::nullopt;
}

enum class WalkResult { NotGif, Broken, Found };

WalkResult walk(std::span<const uint8_t> gif, GifLayout& layout, GifFailure& failure) {
  failure = GifFailure::kTruncated;
  if (gif.size() < 13) return WalkResult::Broken;
  layout.dataStart = 13 + colourTableBytes(gif[10]);
  size_t at = layout.dataStart;
  while (true) {
    if (at >= gif.size()) return WalkResult::Broken;
    const uint8_t byte = gif[at];
    if (byte == 0) {
      ++at;
    } else if (byte == kExtensionIntroducer) {
      if (at + 2 > gif.size()) return WalkResult::Broken;
      const uint8_t label = gif[at + 1];
      std::optional<size_t> next;
      if (label == kApplicationLabel) {
        if (at + 3 > gif.size()) return WalkResult::Broken;
        next = skipSubBlocks(gif, at + 3 + gif[at + 2]);
      } else if (label == kGraphicControlLabel) {
        if (at + kGraphicControlBytes > gif.size()) return WalkResult::Broken;
        // Introducer, label, block size, packed byte, two delay bytes, the
        // transparent index, terminator.
        layout.control = at;
        layout.transparent = gif[at + 3] & kTransparentFlag;
        layout.transparentIndex = gif[at + 6];
        next = at + kGraphicControlBytes;
      } else {
        next = skipSubBlocks(gif, at + 2);
      }
      if (!next) return WalkResult::Broken;
      at = *next;
    } else if (byte == kImageSeparator) {
      break;
    } else {
      failure = GifFailure::kUnexpectedBlock;
      return WalkResult::NotGif;
    }
  }
  layout.image = at;
  if (at + kImageDescriptorBytes > gif.size()) return WalkResult::Broken;
  layout.localTable = colourTableBytes(gif[at + 9]);
  const size_t codeSize = at + kImageDescriptorBytes + layout.localTable;
  const std::optional<size_t> end = skipSubBlocks(gif, codeSize + 1);
  if (codeSize >= gif.size() || !end) return WalkResult::Broken;
  layout.imageEnd = *end;
  failure = GifFailure::kNone;
  return WalkResult::Found;
}

std::vector<uint8_t> buildSingleImage(std::span<const uint8_t> gif, const GifLayout& layout) {
  std::vector<uint8_t> copy(gif.begin(), gif.begin() + static_cast<ptrdiff_t>(layout.dataStart));
  // The picture loader accepts only the upper-case signature.
  std::memcpy(copy.data(), "GIF", 3);
  copy[5] = 'A' <= copy[5] && copy[5] <= 'Z' ? static_cast<uint8_t>(copy[5] + 32) : copy[5];
  if (layout.control) {
    const auto start = gif.begin() + static_cast<ptrdiff_t>(*layout.control);
    copy.insert(copy.end(), start, start + kGraphicControlBytes);
  }
  const size_t descriptor = copy.size();
  copy.insert(copy.end(), gif.begin() + static_cast<ptrdiff_t>(layout.image),
              gif.begin() + static_cast<ptrdiff_t>(layout.imageEnd));
  copy.push_back(kTrailer);
  std::memset(&copy[descriptor + 1], 0, 4);         // left and top
  std::memcpy(&copy[6], &copy[descriptor + 5], 4);  // screen = image size
  if (layout.transparent) {
    // An index ramp in the table the image uses: the decoded values are indices.
    const size_t table = layout.localTable ? descriptor + kImageDescriptorBytes : 13;
    const size_t bytes = layout.localTable ? layout.localTable : layout.dataStart - 13;
    for (size_t i = 0; i < bytes; ++i) copy[table + i] = static_cast<uint8_t>(i / 3);
  }
  return copy;
}

struct MemoryReader {
  std::span<const uint8_t> bytes;
  size_t at = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int wanted) {
  auto* reader = static_cast<MemoryReader*>(gif->UserData);
  const size_t n =
      std::min(static_cast<size_t>(std::max(wanted, 0)), reader->bytes.size() - reader->at);
  std::memcpy(out, reader->bytes.data() + reader->at, n);
  reader->at += n;
  return static_cast<int>(n);
}

// The first image's palette indices at its own size, or false with giflib's
// error code.
bool decodeIndices(const std::vector<uint8_t>& single, int& width, int& height,
                   std::vector<uint8_t>& indices, int& error) {
  MemoryReader reader{single, 0};
  error = 0;
  GifFileType* gif = DGifOpen(&reader, readFromMemory, &error);
  if (!gif) return false;
  bool ok = DGifSlurp(gif) == GIF_OK && gif->ImageCount >= 1;
  if (!ok) error = gif->Error;
  if (ok) {
    const SavedImage& image = gif->SavedImages[0];
    width = image.ImageDesc.Width;
    height = image.ImageDesc.Height;
    ok = width > 0 && height > 0 && image.RasterBits;
    if (ok) {
      indices.assign(image.RasterBits,
                     image.RasterBits + static_cast<size_t>(width) * static_cast<size_t>(height));
    }
  }
  int closeError = 0;
  DGifCloseFile(gif, &closeError);
  return ok;
}

}  // namespace

bool cGIFparser::LoadStream(std::span<const uint8_t> stream, c32bppDIB& cHost, int32_t streamOffset,
                            int32_t streamLength) {
  m_copy.clear();
  m_failure = GifFailure::kBadSignature;
  m_giflibError = 0;
  const auto range = modParsers::StreamRange(stream, streamOffset, streamLength);
  if (!range) return false;
  const std::span<const uint8_t> gif = *range;
  if (gif.size() < 6) return false;
  char signature[7] = {};
  for (int i = 0; i < 6; ++i) {
    const char c = static_cast<char>(gif[static_cast<size_t>(i)]);
    signature[i] = ('A' <= c && c <= 'Z') ? static_cast<char>(c + 32) : c;
  }
  if (std::strcmp(signature, "gif89a") != 0 && std::strcmp(signature, "gif87a") != 0) return false;

  GifLayout layout;
  switch (walk(gif, layout, m_failure)) {
    case WalkResult::NotGif:
      return false;
    case WalkResult::Broken:
      cHost.DestroyDIB();
      return true;
    case WalkResult::Found:
      break;
  }
  const int64_t pixels = int64_t{modParsers::ReadLE16(gif, layout.image + 5)} *
                         modParsers::ReadLE16(gif, layout.image + 7);
  if (layout.imageEnd - (layout.image + kImageDescriptorBytes + layout.localTable) < 3) {
    m_failure = GifFailure::kNoImageData;
    return false;
  }
  if (pixels == 0 || pixels > kLargestPixelCount) {
    m_failure = pixels == 0 ? GifFailure::kEmptyImage : GifFailure::kTooLarge;
    return false;
  }
  m_copy = buildSingleImage(gif, layout);
  int width = 0, height = 0;
  std::vector<uint8_t> indices;
  if (!decodeIndices(m_copy, width, height, indices, m_giflibError)) {
    return fail(GifFailure::kDecodeFailed, cHost);
  }
  if (!cHost.InitializeDIB(width, height)) return fail(GifFailure::kOutOfMemory, cHost);

  // Colours from the table the image uses in the source file.
  const std::span<const uint8_t> table =
      layout.localTable ? gif.subspan(layout.image + kImageDescriptorBytes, layout.localTable)
                        : gif.subspan(13, layout.dataStart - 13);
  const size_t entries = table.size() / 3;
  for (int y = 0; y < height; ++y) {
    uint8_t* px = cHost.BitsPointer() + cHost.pixelOffset(0, y);
    const uint8_t* row = indices.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int x = 0; x < width; ++x, px += 4) {
      const uint8_t index = row[x];
      if (layout.transparent && index == layout.transparentIndex) continue;  // stays 0, 0, 0, 0
      if (index < entries) {
        px[0] = table[3 * index + 2];
        px[1] = table[3 * index + 1];
        px[2] = table[3 * index];
      }
      px[3] = 255;
    }
  }
  cHost.SetAlphaFlag(layout.transparent);
  cHost.SetImageTypeCode(ImageTypeCode::kGif);
  return true;
}

// A GIF that was recognised but could not be decoded: no pixels, and not
// taken either, so that later decoders may still try the bytes.
bool cGIFparser::fail(GifFailure failure, c32bppDIB& cHost) {
  m_failure = failure;
  cHost.DestroyDIB();
  return false;
}
