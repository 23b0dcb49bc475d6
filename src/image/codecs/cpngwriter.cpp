// The PNG encoder: colour-type choice, row filtering, compression and chunks.
#include "image/codecs/cpngwriter.h"

#include "image/c32bppdib.h"
#include "image/codecs/modparsers.h"
#include "image/codecs/pngrowfilter.h"
#include "image/premultiply.h"

#include <QFile>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace {

constexpr uint8_t kGrey = 0;
constexpr uint8_t kRgb = 2;
constexpr uint8_t kIndexed = 3;
constexpr uint8_t kRgba = 6;
constexpr size_t kMaxPaletteEntries = 256;

// What is written: the colour type and its unfiltered rows, top row first.
struct Encoding {
  uint8_t colourType = kRgb;
  int bytesPerPixel = 3;
  size_t rowBytes = 0;
  std::vector<uint8_t> rows;
  std::vector<uint8_t> palette;       // R, G, B per entry (indexed)
  std::vector<uint8_t> paletteAlpha;  // alpha of the leading non-opaque entries
  int32_t greyKey = -1;               // the (v, v, v) transparent key of an RGB image
};

struct StraightColour {
  uint8_t red, green, blue, alpha;
};

// A stored pixel as straight colour; an image without the alpha flag is opaque
// whatever its alpha bytes say.
StraightColour straight(const uint8_t* px, bool hasAlpha) {
  const uint8_t alpha = hasAlpha ? px[3] : 255;
  if (alpha == 255) return {px[2], px[1], px[0], 255};
  if (alpha == 0) return {0, 0, 0, 0};
  return {premul::unscale(px[2], alpha), premul::unscale(px[1], alpha),
          premul::unscale(px[0], alpha), alpha};
}

uint32_t packKey(const StraightColour& c) {
  return c.red | (uint32_t{c.green} << 8) | (uint32_t{c.blue} << 16) | (uint32_t{c.alpha} << 24);
}

template <typename Visit>
void forEachPixelTopDown(const c32bppDIB& image, Visit visit) {
  const uint8_t* bits = image.BitsPointer();
  for (int32_t y = 0; y < image.Height(); ++y) {
    const uint8_t* px = bits + image.pixelOffset(0, y);
    for (int32_t x = 0; x < image.Width(); ++x, px += 4) visit(y, x, px);
  }
}

// Palette indices (or grey values) when the image has 256 colours or fewer.
// Entries with alpha below 255 come first so that tRNS stays short; all-opaque
// grey images are written as grey samples without a palette.
bool tryIndexed(const c32bppDIB& image, Encoding& enc) {
  const bool hasAlpha = image.Alpha();
  std::unordered_map<uint32_t, uint32_t> firstSeen;  // colour -> order of appearance
  std::vector<StraightColour> colours;
  const size_t width = static_cast<size_t>(image.Width());
  std::vector<uint8_t> order(width * static_cast<size_t>(image.Height()));
  bool overflow = false;
  const uint8_t* bits = image.BitsPointer();
  uint32_t lastPixel = 0;
  uint8_t lastIndex = 0;
  bool haveLast = false;
  for (int32_t y = 0; y < image.Height() && !overflow; ++y) {
    const uint8_t* px = bits + image.pixelOffset(0, y);
    for (size_t x = 0; x < width; ++x, px += 4) {
      uint32_t stored;
      std::memcpy(&stored, px, 4);
      if (!haveLast || stored != lastPixel) {
        const StraightColour c = straight(px, hasAlpha);
        auto [it, inserted] = firstSeen.try_emplace(packKey(c), colours.size());
        if (inserted) {
          if (colours.size() == kMaxPaletteEntries) {
            overflow = true;
            break;
          }
          colours.push_back(c);
        }
        lastPixel = stored;
        lastIndex = static_cast<uint8_t>(it->second);
        haveLast = true;
      }
      order[static_cast<size_t>(y) * width + x] = lastIndex;
    }
  }
  if (overflow) return false;

  const bool allOpaqueGrey = std::all_of(colours.begin(), colours.end(), [](const auto& c) {
    return c.alpha == 255 && c.red == c.green && c.green == c.blue;
  });
  std::array<uint8_t, kMaxPaletteEntries> remap{};
  if (allOpaqueGrey) {
    enc.colourType = kGrey;
    for (size_t i = 0; i < colours.size(); ++i) remap[i] = colours[i].red;
  } else {
    enc.colourType = kIndexed;
    std::vector<size_t> entries(colours.size());
    for (size_t i = 0; i < entries.size(); ++i) entries[i] = i;
    std::stable_partition(entries.begin(), entries.end(),
                          [&](size_t i) { return colours[i].alpha != 255; });
    for (size_t slot = 0; slot < entries.size(); ++slot) {
      const StraightColour& c = colours[entries[slot]];
      remap[entries[slot]] = static_cast<uint8_t>(slot);
      enc.palette.insert(enc.palette.end(), {c.red, c.green, c.blue});
      if (c.alpha != 255) enc.paletteAlpha.push_back(c.alpha);
    }
  }
  for (uint8_t& value : order) value = remap[value];
  enc.bytesPerPixel = 1;
  enc.rowBytes = width;
  enc.rows = std::move(order);
  return true;
}

// Alpha is "binary" when every alpha byte is 0 or 255.
bool alphaIsBinary(const c32bppDIB& image) {
  const std::span<const uint8_t> bits = image.Bits();
  for (size_t i = 3; i < bits.size(); i += 4) {
    if (bits[i] != 0 && bits[i] != 255) return false;
  }
  return true;
}

// The smallest value some channel (blue, then green, then red) leaves unused in
// the opaque pixels, or -1 when every channel uses all 256 values.
int32_t findGreyKey(const c32bppDIB& image) {
  std::array<std::array<bool, 256>, 3> used{};
  const std::span<const uint8_t> bits = image.Bits();
  for (size_t i = 0; i + 3 < bits.size(); i += 4) {
    if (bits[i + 3] != 255) continue;
    used[0][bits[i]] = true;
    used[1][bits[i + 1]] = true;
    used[2][bits[i + 2]] = true;
  }
  for (const auto& channel : used) {
    const auto unused = std::find(channel.begin(), channel.end(), false);
    if (unused != channel.end()) return static_cast<int32_t>(unused - channel.begin());
  }
  return -1;
}

void encodeTrueColour(const c32bppDIB& image, Encoding& enc) {
  const bool hasAlpha = image.Alpha();
  if (hasAlpha && alphaIsBinary(image)) enc.greyKey = findGreyKey(image);
  enc.colourType = (!hasAlpha || enc.greyKey >= 0) ? kRgb : kRgba;
  enc.bytesPerPixel = enc.colourType == kRgb ? 3 : 4;
  enc.rowBytes = static_cast<size_t>(image.Width()) * static_cast<size_t>(enc.bytesPerPixel);
  enc.rows.resize(enc.rowBytes * static_cast<size_t>(image.Height()));
  uint8_t* out = enc.rows.data();
  const auto key = static_cast<uint8_t>(std::max(enc.greyKey, 0));
  forEachPixelTopDown(image, [&](int32_t, int32_t, const uint8_t* px) {
    StraightColour c = straight(px, hasAlpha);
    if (enc.colourType == kRgb && c.alpha == 0) c = {key, key, key, 0};
    *out++ = c.red;
    *out++ = c.green;
    *out++ = c.blue;
    if (enc.colourType == kRgba) *out++ = c.alpha;
  });
}

Encoding chooseEncoding(const c32bppDIB& image) {
  Encoding enc;
  if (!tryIndexed(image, enc)) {
    enc = Encoding{};
    encodeTrueColour(image, enc);
  }
  return enc;
}

std::vector<uint8_t> filterRows(const Encoding& enc, int32_t height, int32_t setting) {
  const int32_t resolved = pngfilter::resolveSetting(setting, enc.colourType);
  std::vector<uint8_t> out;
  out.reserve((enc.rowBytes + 1) * static_cast<size_t>(height));
  std::span<const uint8_t> previous;
  for (int32_t y = 0; y < height; ++y) {
    const std::span<const uint8_t> row(enc.rows.data() + enc.rowBytes * static_cast<size_t>(y),
                                       enc.rowBytes);
    const uint8_t filter = resolved == pngfilter::kAdaptive
                               ? pngfilter::chooseFilter(row, previous, enc.bytesPerPixel)
                               : static_cast<uint8_t>(resolved - 1);
    pngfilter::appendFiltered(filter, row, previous, enc.bytesPerPixel, out);
    previous = row;
  }
  return out;
}

bool deflateAll(std::span<const uint8_t> data, std::vector<uint8_t>& out) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  out.resize(size);
  if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK) {
    return false;
  }
  out.resize(size);
  return true;
}

void appendBigEndian(std::vector<uint8_t>& out, uint32_t value, int bytes = 4) {
  for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
    out.push_back(static_cast<uint8_t>(value >> shift));
  }
}

void appendChunk(std::vector<uint8_t>& png, const char type[5], std::span<const uint8_t> data) {
  appendBigEndian(png, static_cast<uint32_t>(data.size()));
  const size_t typeStart = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  const uLong crc = crc32(0, png.data() + typeStart, static_cast<uInt>(png.size() - typeStart));
  appendBigEndian(png, static_cast<uint32_t>(crc));
}

// Line ends become single line feeds, as PNG text wants them; characters
// outside Latin-1 become '?'.
QByteArray cleanText(const QString& text) {
  QString cleaned = text;
  cleaned.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  cleaned.replace(QChar('\r'), QChar('\n'));
  cleaned.remove(QChar('\0'));
  return cleaned.toLatin1();
}

bool appendText(std::vector<uint8_t>& png, const char* keyword, const QString& text) {
  const QByteArray latin = cleanText(text);
  std::vector<uint8_t> data(keyword, keyword + std::strlen(keyword));
  data.push_back(0);
  if (text.size() <= cPNGwriter::kLongestPlainText) {
    data.insert(data.end(), latin.begin(), latin.end());
    appendChunk(png, "tEXt", data);
    return true;
  }
  data.push_back(0);  // compression method: deflate
  std::vector<uint8_t> packed;
  if (!deflateAll(
          {reinterpret_cast<const uint8_t*>(latin.constData()), static_cast<size_t>(latin.size())},
          packed)) {
    return false;
  }
  data.insert(data.end(), packed.begin(), packed.end());
  appendChunk(png, "zTXt", data);
  return true;
}

// bKGD for the chosen colour type; false when the colour cannot be expressed
// (a grey image with a non-grey colour, a palette without that colour).
bool backgroundData(const Encoding& enc, int32_t rgb, std::vector<uint8_t>& data) {
  const auto red = static_cast<uint8_t>(rgb), green = static_cast<uint8_t>(rgb >> 8),
             blue = static_cast<uint8_t>(rgb >> 16);
  switch (enc.colourType) {
    case kGrey:
      if (red != green || green != blue) return false;
      appendBigEndian(data, red, 2);
      return true;
    case kIndexed:
      for (size_t i = 0; i * 3 < enc.palette.size(); ++i) {
        if (enc.palette[i * 3] == red && enc.palette[i * 3 + 1] == green &&
            enc.palette[i * 3 + 2] == blue) {
          data.push_back(static_cast<uint8_t>(i));
          return true;
        }
      }
      return false;
    default:
      appendBigEndian(data, red, 2);
      appendBigEndian(data, green, 2);
      appendBigEndian(data, blue, 2);
      return true;
  }
}

bool writeFile(const QString& fileName, const std::vector<uint8_t>& png) {
  std::unique_ptr<QFile> file = modParsers::OpenFileShared(fileName, true);
  if (!file) return false;
  const qint64 written =
      file->write(reinterpret_cast<const char*>(png.data()), static_cast<qint64>(png.size()));
  const bool ok = written == static_cast<qint64>(png.size()) && file->flush();
  file->close();
  if (!ok) modParsers::DeleteFileAny(fileName);
  return ok;
}

}  // namespace

const char* cPNGwriter::keywordName(TextKeyword keyword) {
  static constexpr const char* kNames[kKeywordCount] = {
      "Title",    "Author",     "Description", "Copyright", "Creation Time",
      "Software", "Disclaimer", "Warning",     "Source",    "Comment"};
  return kNames[static_cast<int>(keyword)];
}

void cPNGwriter::setText(TextKeyword keyword, const QString& text, bool beforeImageData) {
  m_texts[static_cast<size_t>(keyword)] = {text, beforeImageData};
}

QString cPNGwriter::text(TextKeyword keyword) const {
  return m_texts[static_cast<size_t>(keyword)].text;
}

bool cPNGwriter::SavePNG(const c32bppDIB& image, const QString& fileName,
                         std::vector<uint8_t>& out) const {
  const bool toArray = fileName.isEmpty();
  if (toArray) out.clear();
  if (!image.BitsPointer() || !image.isZlibEnabled()) return false;

  const Encoding enc = chooseEncoding(image);
  std::vector<uint8_t> compressed;
  if (!deflateAll(filterRows(enc, image.Height(), m_filterSetting), compressed)) return false;

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  appendBigEndian(header, static_cast<uint32_t>(image.Width()));
  appendBigEndian(header, static_cast<uint32_t>(image.Height()));
  header.insert(header.end(), {8, enc.colourType, 0, 0, 0});
  appendChunk(png, "IHDR", header);

  auto writeTexts = [&](bool before) {
    for (int k = 0; k < kKeywordCount; ++k) {
      const TextEntry& entry = m_texts[static_cast<size_t>(k)];
      if (entry.text.isEmpty() || entry.beforeImageData != before) continue;
      if (!appendText(png, keywordName(static_cast<TextKeyword>(k)), entry.text)) return false;
    }
    return true;
  };
  if (!writeTexts(true)) return false;
  if (enc.colourType == kIndexed) appendChunk(png, "PLTE", enc.palette);
  if (std::vector<uint8_t> data; m_background >= 0 && backgroundData(enc, m_background, data)) {
    appendChunk(png, "bKGD", data);
  }
  if (enc.greyKey >= 0) {
    std::vector<uint8_t> key;
    for (int i = 0; i < 3; ++i) appendBigEndian(key, static_cast<uint32_t>(enc.greyKey), 2);
    appendChunk(png, "tRNS", key);
  } else if (!enc.paletteAlpha.empty()) {
    appendChunk(png, "tRNS", enc.paletteAlpha);
  }
  appendChunk(png, "IDAT", compressed);
  if (m_modified.isValid()) {
    const QDateTime utc = m_modified.toUTC();
    std::vector<uint8_t> time;
    appendBigEndian(time, static_cast<uint32_t>(utc.date().year()), 2);
    time.insert(time.end(),
                {static_cast<uint8_t>(utc.date().month()), static_cast<uint8_t>(utc.date().day()),
                 static_cast<uint8_t>(utc.time().hour()), static_cast<uint8_t>(utc.time().minute()),
                 static_cast<uint8_t>(utc.time().second())});
    appendChunk(png, "tIME", time);
  }
  if (!writeTexts(false)) return false;
  appendChunk(png, "IEND", {});

  if (toArray) {
    out = std::move(png);
    return true;
  }
  return writeFile(fileName, png);
}
