#pragma once
// cPNGwriter: writes a c32bppDIB as a PNG file or into a byte array.
//
// The encoder picks the smallest faithful colour type: palette indices for 256
// colours or fewer, RGB for opaque images, RGB with a grey transparent key when
// the only transparency is fully transparent pixels and a key value is free, and
// RGBA otherwise (colours un-premultiplied). Depth is always 8 bits, never
// interlaced; all image data is compressed by zlib at level 9 into one IDAT.
// Without zlib nothing is written.
//
// An encoder object carries its settings (filter, texts, background colour,
// modification time) and can be attached to an image so that the image's PNG
// saving uses it.

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

class c32bppDIB;

class cPNGwriter {
 public:
  // The keywords the encoder offers for text entries.
  enum class TextKeyword {
    Title,
    Author,
    Description,
    Copyright,
    CreationTime,
    Software,
    Disclaimer,
    Warning,
    Source,
    Comment,
  };
  static constexpr int kKeywordCount = 10;
  // Texts longer than this go into a compressed (zTXt) chunk.
  static constexpr int kLongestPlainText = 1024;

  // Writes the image. With an empty file name the PNG goes into `out` (resized
  // to fit); otherwise the file is created and written and `out` is untouched.
  // On failure no file is left behind and `out` is empty.
  bool SavePNG(const c32bppDIB& image, const QString& fileName, std::vector<uint8_t>& out) const;

  // Row filter setting: 1 None, 2 Sub, 3 Up, 4 Average, 5 Paeth for every row;
  // 6 chooses per row; 0 (or anything outside 0..6) picks a default by colour type.
  int32_t FilterSetting() const { return m_filterSetting; }
  void setFilterSetting(int32_t setting) { m_filterSetting = setting; }

  // A text entry (empty text removes it); beforeImageData places the chunk
  // ahead of the pixels, where readers that stop early still see it.
  void setText(TextKeyword keyword, const QString& text, bool beforeImageData = true);
  QString text(TextKeyword keyword) const;
  static const char* keywordName(TextKeyword keyword);

  // Background colour as red + green * 256 + blue * 65536, or -1 for none.
  void setBackgroundColour(int32_t rgb) { m_background = rgb < 0 ? -1 : (rgb & 0xFFFFFF); }
  int32_t backgroundColour() const { return m_background; }

  // Modification time written as tIME (UTC); an invalid time writes none.
  void setModificationTime(const QDateTime& time) { m_modified = time; }

 private:
  struct TextEntry {
    QString text;
    bool beforeImageData = true;
  };

  int32_t m_filterSetting = 6;
  std::array<TextEntry, kKeywordCount> m_texts;
  int32_t m_background = -1;
  QDateTime m_modified;
};
