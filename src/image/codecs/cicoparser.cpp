// The icon and cursor decoder: directory check, entry choice, PNG entries and
// bitmap entries with their AND masks.
#include "image/codecs/cicoparser.h"

#include "image/c32bppdib.h"
#include "image/codecs/cpngparser.h"
#include "image/codecs/modparsers.h"
#include "image/imagetype.h"
#include "image/premultiply.h"

#include <cstdlib>
#include <cstring>

namespace {

// Bytes 14 and 15 of an entry, read little-endian: a bitmap entry's bit count,
// or 'D' 'R' (0x44 0x52) from the "IHDR" of a PNG entry.
constexpr uint16_t kPngMarker = 0x5244;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

int64_t rowBytes(int64_t width, int32_t bits) { return modParsers::RowSize(width, bits); }

// The AND mask step for entries without alpha: a set bit makes the pixel
// transparent, a clear bit opaque. Returns whether any bit was set.
bool applyMask(c32bppDIB& host, std::span<const uint8_t> mask, int64_t maskRow) {
  bool anySet = false;
  uint8_t* bits = host.BitsPointer();
  for (int32_t row = 0; row < host.Height(); ++row) {
    const uint8_t* m = mask.data() + static_cast<size_t>(row * maskRow);
    uint8_t* px = bits + static_cast<size_t>(row) * static_cast<size_t>(host.scanWidth());
    for (int32_t x = 0; x < host.Width(); ++x, px += 4) {
      if (m[x / 8] & (0x80 >> (x % 8))) {
        std::memset(px, 0, 4);
        anySet = true;
      } else {
        px[3] = 255;
      }
    }
  }
  return anySet;
}

}  // namespace

const cICOparser::Entry* cICOparser::entry(int32_t index) const {
  if (index < 1 || index > IconCount()) return nullptr;
  return &m_entries[static_cast<size_t>(index - 1)];
}

int32_t cICOparser::Width(int32_t index) const {
  const Entry* e = entry(index);
  return e ? (e->width == 0 ? 256 : e->width) : 0;
}
int32_t cICOparser::Height(int32_t index) const {
  const Entry* e = entry(index);
  return e ? (e->height == 0 ? 256 : e->height) : 0;
}
int32_t cICOparser::bitDepth(int32_t index) const {
  const Entry* e = entry(index);
  return e ? e->bitCount : 0;
}
bool cICOparser::IsIconPNG(int32_t index) const {
  const Entry* e = entry(index);
  return e && e->isPng;
}

int32_t cICOparser::ColorCount(int32_t index) const {
  const Entry* e = entry(index);
  if (!e || e->isPng || e->bitCount > 8) return 0;
  const int64_t xorSize = rowBytes(Width(index), e->bitCount) * Height(index);
  const int64_t andSize = rowBytes(Width(index), 1) * Height(index);
  const int64_t rest = int64_t{e->bytesInRes} - e->headerSize - xorSize - andSize;
  return rest > 0 ? static_cast<int32_t>(rest / 4) : 0;
}

int64_t cICOparser::ColorByteOffset(int32_t index) const {
  const Entry* e = entry(index);
  if (!e) return 0;
  int64_t offset = int64_t{e->imageOffset} + e->headerSize;
  if (e->bitCount < 16) offset += int64_t{4} << e->bitCount;
  return offset;
}

bool cICOparser::checkPngEntry(Entry& e) const {
  e.isPng = true;
  const std::span<const uint8_t> all(m_bytes);
  if (e.bytesInRes < 26 || std::memcmp(all.data() + e.imageOffset, kPngSignature, 8) != 0 ||
      std::memcmp(all.data() + e.imageOffset + 12, "IHDR", 4) != 0) {
    e.bitCount = 0;
    return false;
  }
  auto sizeByte = [&](uint32_t value, uint8_t& field) {
    if (value == 256) {
      field = 0;
    } else if (value >= 1 && value <= 255) {
      field = static_cast<uint8_t>(value);
    } else {
      e.bitCount = 0;
    }
  };
  sizeByte(modParsers::ReadBE32(all, e.imageOffset + 16), e.width);
  sizeByte(modParsers::ReadBE32(all, e.imageOffset + 20), e.height);
  if (e.bitCount == 0) {
    const uint8_t depth = all[e.imageOffset + 24], colourType = all[e.imageOffset + 25];
    if (depth == 16 || colourType == 4 || colourType == 6) {
      e.bitCount = 32;
    } else if (colourType == 2) {
      e.bitCount = 24;
    } else if (colourType == 0 || colourType == 3) {
      e.bitCount = depth;
    }
  }
  return e.bitCount > 0;
}

bool cICOparser::ParseDirectory(std::span<const uint8_t> stream, int32_t streamOffset,
                                int32_t streamLength) {
  m_entries.clear();
  m_bytes.clear();
  m_resourceType = 0;
  m_failure = IcoFailure::kNone;
  m_pngFailure.clear();
  const auto range = modParsers::StreamRange(stream, streamOffset, streamLength);
  if (!range || range->size() <= 5) return fail(IcoFailure::kTooShort);
  const std::span<const uint8_t> bytes = *range;
  const uint32_t reserved = modParsers::ReadLE16(bytes, 0), type = modParsers::ReadLE16(bytes, 2),
                 count = modParsers::ReadLE16(bytes, 4);
  if (reserved != 0 || (type != 1 && type != 2) || count < 1) return fail(IcoFailure::kBadHeader);
  const uint64_t directoryEnd = 6 + 16ull * count;
  if (directoryEnd > bytes.size()) return fail(IcoFailure::kTruncatedDirectory);
  uint64_t total = directoryEnd;
  std::vector<Entry> entries(count);
  for (uint32_t k = 0; k < count; ++k) {
    const size_t at = 6 + 16 * static_cast<size_t>(k);
    Entry& e = entries[k];
    e.width = bytes[at];
    e.height = bytes[at + 1];
    e.bitCount = static_cast<uint16_t>(modParsers::ReadLE16(bytes, at + 6));
    e.bytesInRes = modParsers::ReadLE32(bytes, at + 8);
    e.imageOffset = modParsers::ReadLE32(bytes, at + 12);
    total += e.bytesInRes;
    // Each entry's data must lie inside the stream, its header included.
    if (uint64_t{e.imageOffset} + e.bytesInRes > bytes.size() || e.bytesInRes < 16) {
      return fail(IcoFailure::kEntryOutside);
    }
  }
  if (total > bytes.size()) return fail(IcoFailure::kEntryOutside);

  m_bytes.assign(bytes.begin(), bytes.end());
  m_resourceType = static_cast<uint16_t>(type);
  for (Entry& e : entries) {
    const uint32_t marker = modParsers::ReadLE16(m_bytes, e.imageOffset + 14);
    if (marker == kPngMarker) {
      if (!checkPngEntry(e)) return fail(IcoFailure::kBadPngEntry);
    } else if (marker != 0) {
      e.bitCount = static_cast<uint16_t>(marker);
    } else if (e.bitCount != 0) {
      m_bytes[e.imageOffset + 14] = static_cast<uint8_t>(e.bitCount);
      m_bytes[e.imageOffset + 15] = static_cast<uint8_t>(e.bitCount >> 8);
    } else {
      return fail(IcoFailure::kNoBitDepth);
    }
    if (!e.isPng) e.headerSize = modParsers::ReadLE32(m_bytes, e.imageOffset);
  }
  m_entries = std::move(entries);
  return true;
}

int32_t cICOparser::ChooseEntry(int32_t w, int32_t h, int32_t depth) const {
  if (IconCount() <= 1) return 1;
  if (w < 1) w = 32;
  if (h < 1) h = 32;
  std::vector<int64_t> scores(m_entries.size());
  int64_t best = 10000;
  int32_t candidate = 0;
  for (int32_t k = 1; k <= IconCount(); ++k) {
    int64_t dw = Width(k) - w, dh = Height(k) - h;
    if (Width(k) < w) dw *= 2;
    if (Height(k) < h) dh *= 2;
    int64_t score = dw + dh + std::llabs(int64_t{depth} - bitDepth(k));
    if (bitDepth(k) > 32) score = -10000;
    scores[static_cast<size_t>(k - 1)] = score;
    if (score == 0) return k;
    if (score > 0 && score < best) {
      best = score;
      candidate = k;
    }
  }
  if (candidate) return candidate;
  int32_t chosen = 0;
  for (int32_t k = IconCount(); k >= 1; --k) {
    const int64_t score2 =
        std::llabs(scores[static_cast<size_t>(k - 1)]) + std::llabs(int64_t{32} - bitDepth(k));
    if (score2 < best) {
      best = score2;
      chosen = k;
    }
  }
  return chosen ? chosen : 1;
}

bool cICOparser::LoadStream(std::span<const uint8_t> stream, int32_t desiredWidth,
                            int32_t desiredHeight, c32bppDIB& cHost, int32_t streamOffset,
                            int32_t streamLength, int32_t desiredDepth, uint32_t gdiToken) {
  if (!ParseDirectory(stream, streamOffset, streamLength)) return false;
  const int32_t index = ChooseEntry(desiredWidth, desiredHeight, desiredDepth);
  const Entry& e = *entry(index);
  bool result = true;
  if (e.isPng) {
    cPNGparser png;
    result = png.LoadStream(m_bytes, cHost, static_cast<int32_t>(e.imageOffset),
                            static_cast<int32_t>(e.bytesInRes), gdiToken);
    if (cHost.BitsPointer()) {
      cHost.SetImageTypeCode(ImageTypeCode::kPngIcon);
    } else {
      m_failure = IcoFailure::kPngEntryFailed;
      m_pngFailure = png.failureDescription();
    }
  } else {
    m_failure = decodeBitmapEntry(e, index, cHost);
    if (m_failure != IcoFailure::kNone) cHost.DestroyDIB();
  }
  m_bytes.clear();
  m_bytes.shrink_to_fit();
  return result;
}

bool cICOparser::fail(IcoFailure failure) {
  m_failure = failure;
  return false;
}

std::string cICOparser::failureDescription() const {
  std::string text = failureText(m_failure);
  if (m_failure == IcoFailure::kPngEntryFailed && !m_pngFailure.empty()) {
    text += ": ";
    text += m_pngFailure;
  }
  return text;
}

IcoFailure cICOparser::decodeBitmapEntry(const Entry& e, int32_t index, c32bppDIB& cHost) const {
  const int32_t width = Width(index), height = Height(index), bits = e.bitCount;
  const std::span<const uint8_t> all(m_bytes);
  if (e.headerSize < 12 || e.headerSize > e.bytesInRes) return IcoFailure::kBadBitmapHeader;
  if (e.headerSize >= 20 && modParsers::ReadLE32(all, e.imageOffset + 16) != 0) {
    return IcoFailure::kCompressedBitmap;
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return IcoFailure::kUnsupportedBitDepth;
  }

  const int64_t xorRow = rowBytes(width, bits), andRow = rowBytes(width, 1);
  const int64_t entryEnd = int64_t{e.imageOffset} + e.bytesInRes;
  const int64_t xorStart = ColorByteOffset(index);
  const int64_t andStart = entryEnd - andRow * height;
  if (xorStart + xorRow * height > entryEnd || andStart < e.imageOffset + e.headerSize) {
    return IcoFailure::kShortBitmapData;
  }
  const uint8_t* palette = all.data() + e.imageOffset + e.headerSize;
  if (!cHost.InitializeDIB(width, height)) return IcoFailure::kOutOfMemory;

  const bool isCursor = m_resourceType == 2;
  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* src = all.data() + xorStart + row * xorRow;
    uint8_t* px =
        cHost.BitsPointer() + static_cast<size_t>(row) * static_cast<size_t>(cHost.scanWidth());
    for (int32_t x = 0; x < width; ++x, px += 4) {
      switch (bits) {
        case 32: {
          const uint8_t* s = src + x * 4;
          const uint32_t packed = premul::packBGRA(s[2], s[1], s[0], s[3]);
          std::memcpy(px, &packed, 4);
          break;
        }
        case 24:
          std::memcpy(px, src + x * 3, 3);
          break;
        case 16: {
          const uint32_t v = modParsers::ReadLE16(std::span<const uint8_t>(src + x * 2, 2), 0);
          px[0] = static_cast<uint8_t>((v & 31) * 255 / 31);
          px[1] = static_cast<uint8_t>(((v >> 5) & 31) * 255 / 31);
          px[2] = static_cast<uint8_t>(((v >> 10) & 31) * 255 / 31);
          break;
        }
        default: {
          const int perByte = 8 / bits;
          const int shift = 8 - bits * (1 + x % perByte);
          const uint32_t i = (src[x / perByte] >> shift) & ((1u << bits) - 1);
          std::memcpy(px, palette + i * 4, 3);
        }
      }
    }
  }
  if (bits == 32) {
    cHost.SetAlphaFlag(true);
    cHost.SetImageTypeCode(isCursor ? ImageTypeCode::kAlphaCursor : ImageTypeCode::kAlphaIcon);
    return IcoFailure::kNone;
  }
  cHost.SetAlphaFlag(applyMask(cHost, all.subspan(static_cast<size_t>(andStart)), andRow));
  cHost.SetImageTypeCode(isCursor ? ImageTypeCode::kCursor : ImageTypeCode::kIcon);
  return IcoFailure::kNone;
}

bool cICOparser::ConvertstdPicTo32bpp(const IconHandle& icon, c32bppDIB& cHost) {
  const bool hasColour = !icon.colour.isNull();
  const int32_t width = hasColour ? icon.colour.width() : icon.mask.width();
  const int32_t height = hasColour ? icon.colour.height() : icon.mask.height() / 2;
  if (width < 1 || height < 1 || !cHost.InitializeDIB(width, height)) return false;
  const QImage mask = icon.mask.convertToFormat(QImage::Format_Mono);
  const int64_t maskRow = rowBytes(width, 1);
  std::vector<uint8_t> andBits(static_cast<size_t>(maskRow * height), 0);
  std::vector<uint8_t> xorBits(andBits.size(), 0);
  // Bottom-up 1-bit rows, as the mask step reads them.
  for (int32_t y = 0; y < height && !mask.isNull(); ++y) {
    const int32_t row = height - 1 - y;
    const size_t n = static_cast<size_t>(std::min<int64_t>(maskRow, mask.bytesPerLine()));
    if (y < mask.height())
      std::memcpy(&andBits[static_cast<size_t>(row * maskRow)], mask.constScanLine(y), n);
    if (!hasColour && y + height < mask.height()) {
      std::memcpy(&xorBits[static_cast<size_t>(row * maskRow)], mask.constScanLine(y + height), n);
    }
  }
  const bool isIcon = icon.isIcon;
  if (hasColour) {
    const QImage argb = icon.colour.convertToFormat(QImage::Format_ARGB32);
    bool anyAlpha = false;
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* src = argb.constScanLine(y);
      std::memcpy(cHost.BitsPointer() + cHost.pixelOffset(0, y), src,
                  static_cast<size_t>(width) * 4);
      for (int32_t x = 0; x < width; ++x) anyAlpha |= src[x * 4 + 3] != 0;
    }
    if (anyAlpha) {
      int32_t typeCode = 0;
      const bool alpha = modParsers::ClassifyAlpha(cHost.Bits(), width, true, typeCode);
      cHost.SetAlphaFlag(alpha);
      cHost.SetImageTypeCode(
          alpha ? (isIcon ? ImageTypeCode::kAlphaIcon : ImageTypeCode::kAlphaCursor)
                : (isIcon ? ImageTypeCode::kIcon : ImageTypeCode::kCursor));
      return true;
    }
  } else {
    // A monochrome icon draws white where its XOR bit is set, black elsewhere.
    for (int32_t row = 0; row < height; ++row) {
      uint8_t* px =
          cHost.BitsPointer() + static_cast<size_t>(row) * static_cast<size_t>(cHost.scanWidth());
      for (int32_t x = 0; x < width; ++x, px += 4) {
        const bool white = xorBits[static_cast<size_t>(row * maskRow + x / 8)] & (0x80 >> (x % 8));
        std::memset(px, white ? 255 : 0, 3);
      }
    }
  }
  cHost.SetAlphaFlag(applyMask(cHost, andBits, maskRow));
  cHost.SetImageTypeCode(isIcon ? ImageTypeCode::kIcon : ImageTypeCode::kCursor);
  return true;
}
