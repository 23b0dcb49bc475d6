// PNG decoder: signature, the system-image-service-first rule, the chunk walk
// with its checks, and the collection of the image data.
#include "image/codecs/cpngparser.h"

#include "image/c32bppdib.h"
#include "image/codecs/modparsers.h"
#include "image/cgdiplus.h"
#include "image/codecs/crc32.h"
#include "image/codecs/inflate.h"
#include "image/codecs/pngreconstruct.h"
#include "image/codecs/pngrowfeed.h"

#include <zlib.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// "\x89PNG\r\n\x1A\n": a high bit, the name, and line ends that catch text-mode copies.
constexpr uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
// Files this small are not examined.
constexpr qint64 kSmallestPngFile = 57;
// Chunk lengths that would put the chunk's end near the top of the signed range.
constexpr int64_t kLargestChunkEnd = 0x7FFFFFF3;

constexpr uint32_t chunkType(const char (&name)[5]) {
  return (uint32_t(uint8_t(name[0])) << 24) | (uint32_t(uint8_t(name[1])) << 16) |
         (uint32_t(uint8_t(name[2])) << 8) | uint32_t(uint8_t(name[3]));
}
constexpr uint32_t kIHDR = chunkType("IHDR");
constexpr uint32_t kPLTE = chunkType("PLTE");
constexpr uint32_t kTRNS = chunkType("tRNS");
constexpr uint32_t kIDAT = chunkType("IDAT");
constexpr uint32_t kIEND = chunkType("IEND");

bool hasSignature(std::span<const uint8_t> png) {
  return png.size() >= 8 && std::memcmp(png.data(), kSignature, 8) == 0;
}

struct FreeDeleter {
  void operator()(uint8_t* p) const { std::free(p); }
};

}  // namespace

// One chunk as the handlers see it: its type field and data in the input, and
// the stored CRC (0 when CRCs are not being checked).
struct cPNGparser::ChunkView {
  std::span<const uint8_t> typeAndData;  // 4 type bytes, then the data
  uint32_t storedCrc = 0;
  std::span<const uint8_t> data() const { return typeAndData.subspan(4); }

  // A stored CRC of 0 is never checked; a computed CRC of 0 counts as a mismatch.
  bool crcMatches() const {
    if (storedCrc == 0) return true;
    const uint32_t computed = pngpixels::crc32Update(0, typeAndData.data(), typeAndData.size());
    return computed != 0 && computed == storedCrc;
  }
};

bool cPNGparser::LoadStream(std::span<const uint8_t> stream, c32bppDIB& cHost, int32_t streamOffset,
                            int32_t streamLength, uint32_t gdiToken) {
  const auto range = modParsers::StreamRange(stream, streamOffset, streamLength);
  return range && loadBytes(*range, QString(), cHost, gdiToken);
}

bool cPNGparser::LoadFile(QFile& fileHandle, const QString& fileName, c32bppDIB& cHost,
                          uint32_t gdiToken) {
  reset();
  const qint64 size = fileHandle.size();
  if (size < kSmallestPngFile) return fail(PngFailure::kFileTooSmall);
  if (size > INT32_MAX) return fail(PngFailure::kTooLarge);
  uint8_t head[8];
  if (!fileHandle.seek(0) || fileHandle.read(reinterpret_cast<char*>(head), 8) != 8) {
    return fail(PngFailure::kReadFailed);
  }
  if (!hasSignature(head)) return fail(PngFailure::kBadSignature);
  // Files are read whole; the walk then works on the bytes as on a stream.
  const QByteArray all = fileHandle.seek(0) ? fileHandle.readAll() : QByteArray();
  if (all.size() != size) {
    // A PNG after all: the caller's image is ours now, and holds nothing.
    cHost.DestroyDIB();
    fail(PngFailure::kReadFailed);
    return true;
  }
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(all.constData()),
                                       static_cast<size_t>(all.size()));
  return loadBytes(bytes, fileName, cHost, gdiToken);
}

bool cPNGparser::loadBytes(std::span<const uint8_t> png, const QString& fileName, c32bppDIB& cHost,
                           uint32_t gdiToken) {
  reset();
  if (!hasSignature(png)) return fail(PngFailure::kBadSignature);
  // From here on the input is ours: whatever happens, no stale pixels remain.
  cHost.DestroyDIB();

  if (cHost.isGDIplusEnabled()) {
    const bool loaded = fileName.isEmpty()
                            ? cGDIPlus::LoadPictureGDIplus(png, cHost, gdiToken)
                            : cGDIPlus::LoadPictureGDIplus(fileName, cHost, gdiToken);
    if (loaded) {
      m_width = cHost.Width();
      m_height = cHost.Height();
      return true;
    }
  }

  const bool useZlib = cHost.isZlibEnabled();
  if (!walkChunks(png, useZlib)) return true;
  if (!m_haveHeader) {
    fail(PngFailure::kNoHeader);
  } else if (m_idatBytes == 0) {
    fail(PngFailure::kNoImageData);
  } else {
    decode(cHost, useZlib);
  }
  return true;
}

// Forgets the last load; the choice of loops stays.
void cPNGparser::reset() {
  const pngpixels::Kernels kernels = m_kernels;
  *this = cPNGparser();
  m_kernels = kernels;
}

// Keeps the reason and answers false, so that a check can end with it.
bool cPNGparser::fail(PngFailure failure) {
  m_failure = failure;
  return false;
}

std::string cPNGparser::failureDescription() const {
  std::string text = failureText(m_failure);
  if (m_failure == PngFailure::kInflateFailed) {
    text += " (";
    if (m_zlibStatus != Z_OK) {
      text += "zlib status ";
      text += std::to_string(m_zlibStatus);
      text += ", ";
    }
    text += "built-in inflate code ";
    text += std::to_string(m_inflateCode);
    text += ": ";
    text += failureText(inflateFailureOf(m_inflateCode));
    text += ")";
  }
  return text;
}

bool cPNGparser::walkChunks(std::span<const uint8_t> png, bool checkCrc) {
  const int64_t total = static_cast<int64_t>(png.size());
  int64_t position = 8;
  for (;;) {
    if (position + 8 > total) return fail(PngFailure::kMissingEnd);
    const int64_t length =
        static_cast<int32_t>(modParsers::ReadBE32(png, static_cast<size_t>(position)));
    if (length < 0 || position + length > kLargestChunkEnd)
      return fail(PngFailure::kChunkLengthOverflow);
    const int64_t next = position + length + 12;
    if (next > total) return fail(PngFailure::kTruncatedChunk);

    ChunkView chunk;
    chunk.typeAndData =
        png.subspan(static_cast<size_t>(position + 4), static_cast<size_t>(length + 4));
    if (checkCrc)
      chunk.storedCrc = modParsers::ReadBE32(png, static_cast<size_t>(position + 8 + length));
    const uint32_t type = modParsers::ReadBE32(chunk.typeAndData, 0);
    position = next;

    if (type == kIEND) return true;
    if (length == 0) continue;
    bool ok = true;
    switch (type) {
      case kIHDR:
        ok = onHeader(chunk);
        break;
      case kPLTE:
        ok = onPalette(chunk);
        break;
      case kTRNS:
        onTransparency(chunk);
        break;
      case kIDAT:
        ok = onImageData(chunk);
        break;
      default:
        break;
    }
    if (!ok) return false;
  }
}

bool cPNGparser::onHeader(const ChunkView& chunk) {
  if (!chunk.crcMatches()) return fail(PngFailure::kHeaderCrcMismatch);
  const std::span<const uint8_t> d = chunk.data();
  if (d.size() < 13) return fail(PngFailure::kShortHeader);
  const int64_t width = static_cast<int32_t>(modParsers::ReadBE32(d, 0));
  const int64_t height = static_cast<int32_t>(modParsers::ReadBE32(d, 4));
  if (width < 1 || height < 1) return fail(PngFailure::kBadDimensions);
  if (d[10] != 0 || d[11] != 0) return fail(PngFailure::kBadMethod);
  const uint8_t depth = d[8], colourType = d[9], interlace = d[12];
  if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) {
    return fail(PngFailure::kBadBitDepth);
  }
  if (colourType != 0 && colourType != 2 && colourType != 3 && colourType != 4 && colourType != 6) {
    return fail(PngFailure::kBadColourType);
  }
  if (interlace > 1) return fail(PngFailure::kBadInterlace);
  // Room for 32 bits of every pixel twice over in a signed 32-bit size.
  if (width * 32 * height > INT32_MAX) return fail(PngFailure::kTooLarge);

  m_width = static_cast<int32_t>(width);
  m_height = static_cast<int32_t>(height);
  m_bitDepth = depth;
  m_colourType = colourType;
  m_interlace = interlace;
  m_expectedSize = pngpixels::expectedDataSize({m_width, m_height, depth, colourType, interlace});
  m_haveHeader = true;
  return true;
}

bool cPNGparser::onPalette(const ChunkView& chunk) {
  if (m_colourType == 0 || m_colourType == 4) return true;
  if (!chunk.crcMatches()) return fail(PngFailure::kPaletteCrcMismatch);
  const std::span<const uint8_t> d = chunk.data();
  if (d.size() % 3 != 0) return fail(PngFailure::kBadPaletteLength);
  m_palette.assign(d.begin(), d.end());
  m_havePalette = true;
  return true;
}

void cPNGparser::onTransparency(const ChunkView& chunk) {
  if (m_colourType == 4 || m_colourType == 6) return;
  if (!chunk.crcMatches()) return;  // only the transparency is lost
  const std::span<const uint8_t> d = chunk.data();
  m_transparency.assign(d.begin(), d.end());
  m_transparentKey = -1;
  switch (m_colourType) {
    case 0:
      if (d.size() >= 2) m_transparentKey = d[1];
      break;
    case 2:
      if (d.size() >= 6) m_transparentKey = (d[1] << 16) | (d[3] << 8) | d[5];
      break;
    case 3:
      if (m_transparency.size() < 256) m_transparency.resize(256, 255);
      m_transparentKey = 0;
      break;
    default:
      break;
  }
}

bool cPNGparser::onImageData(const ChunkView& chunk) {
  if (!chunk.crcMatches()) return fail(PngFailure::kImageDataCrcMismatch);
  m_idat.push_back(chunk.data());
  m_idatBytes += chunk.data().size();
  return true;
}

void cPNGparser::decode(c32bppDIB& cHost, bool useZlib) {
  if (!pngpixels::isSupportedFormat(m_colourType, m_bitDepth) || m_expectedSize == 0) {
    fail(PngFailure::kUnsupportedFormat);
    return;
  }
  if (!cHost.InitializeDIB(m_width, m_height)) {
    fail(PngFailure::kOutOfMemory);
    return;
  }
  const pngpixels::PngHeader header{m_width, m_height, m_bitDepth, m_colourType, m_interlace};
  pngpixels::PngColours colours;
  colours.havePalette = m_havePalette;
  colours.palette = m_palette;
  colours.transparency = m_transparency;
  colours.transparentKey = m_transparentKey;
  const size_t largestRow = pngpixels::largestRowBytes(header);

  using pngpixels::ReconstructResult;
  ReconstructResult result = ReconstructResult::kDataUnavailable;
  if (useZlib) {
    // zlib inflates just ahead of the rows; any complaint of zlib, the checksum
    // at the end included, hands the data to the built-in inflate instead.
    pngpixels::ZlibRowFeed feed(m_idat, m_expectedSize, largestRow);
    result = pngpixels::reconstruct(header, colours, feed, cHost, m_kernels);
    if (result == ReconstructResult::kOk && !feed.finish())
      result = ReconstructResult::kDataUnavailable;
    m_zlibStatus = feed.status();
  }
  if (result == ReconstructResult::kDataUnavailable) {
    // The built-in inflate wants the image data in one piece: in place when it
    // came in one chunk.
    std::vector<uint8_t> joined;
    std::span<const uint8_t> compressed = m_idat.front();
    if (m_idat.size() > 1) {
      joined.reserve(m_idatBytes);
      for (const auto& part : m_idat) joined.insert(joined.end(), part.begin(), part.end());
      compressed = joined;
    }
    std::unique_ptr<uint8_t, FreeDeleter> raw(
        static_cast<uint8_t*>(std::calloc(m_expectedSize, 1)));
    if (!raw) {
      fail(PngFailure::kOutOfMemory);
      cHost.DestroyDIB();
      return;
    }
    m_inflateCode = pnginflate::Inflate(compressed, {raw.get(), m_expectedSize}).code;
    if (m_inflateCode == pnginflate::kOk) {
      pngpixels::BufferRowFeed feed({raw.get(), m_expectedSize});
      result = pngpixels::reconstruct(header, colours, feed, cHost, m_kernels);
    }
  }
  if (result != ReconstructResult::kOk) {
    switch (result) {
      case ReconstructResult::kBadFilter:
        fail(PngFailure::kBadInterlacedFilter);
        break;
      case ReconstructResult::kBadPaletteIndex:
        fail(PngFailure::kPaletteIndexOutOfRange);
        break;
      case ReconstructResult::kMismatch:
        fail(PngFailure::kUnsupportedFormat);
        break;
      default:
        fail(PngFailure::kInflateFailed);
        break;
    }
    cHost.DestroyDIB();
    return;
  }
  const bool alpha = m_colourType == 4 || m_colourType == 6 || m_transparentKey != -1;
  cHost.SetAlphaFlag(alpha);
  cHost.SetImageTypeCode(ImageTypeCode::kPng);
}
