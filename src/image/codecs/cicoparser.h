#pragma once
// cICOparser: icon and cursor resources (a 6-byte directory header, 16-byte
// entries, then per entry a bitmap with its AND mask or a whole PNG file). One
// entry, chosen by the size and depth asked for, goes into the image; the
// directory stays readable through the entry properties afterwards.
//
// The decoder works on its own copy of the caller's bytes.

#include "image/codecs/decodefailure.h"

#include <QImage>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class c32bppDIB;

// A system icon or cursor: its colour image (null for a monochrome icon, whose
// mask then holds the AND half above the XOR half), its mask, and whether it is
// an icon or a cursor.
struct IconHandle {
  QImage colour;
  QImage mask;  // 1 = transparent
  bool isIcon = true;
};

class cICOparser {
 public:
  // True when stream[streamOffset, +streamLength) holds a well-formed icon or
  // cursor directory, whether or not the chosen entry then decodes (a bitmap
  // entry that fails leaves the image without pixels). A length of 0 means to
  // the end. Width/height below 1 ask for 32; depth is the wanted bit count.
  bool LoadStream(std::span<const uint8_t> stream, int32_t desiredWidth, int32_t desiredHeight,
                  c32bppDIB& cHost, int32_t streamOffset = 0, int32_t streamLength = 0,
                  int32_t desiredDepth = 32, uint32_t gdiToken = 0);
  // Parses the directory only (what LoadStream checks before choosing).
  bool ParseDirectory(std::span<const uint8_t> stream, int32_t streamOffset = 0,
                      int32_t streamLength = 0);
  bool ConvertstdPicTo32bpp(const IconHandle& icon, c32bppDIB& cHost);

  // The entry LoadStream would choose (1-based), from the parsed directory.
  int32_t ChooseEntry(int32_t desiredWidth, int32_t desiredHeight, int32_t desiredDepth) const;

  // Properties of the last parsed directory; entries are 1-based and an index
  // outside the directory gives 0 / false.
  int32_t IconCount() const { return static_cast<int32_t>(m_entries.size()); }
  int32_t Width(int32_t entry) const;
  int32_t Height(int32_t entry) const;
  int32_t bitDepth(int32_t entry) const;
  bool IsIconPNG(int32_t entry) const;
  int32_t ColorCount(int32_t entry) const;
  int64_t ColorByteOffset(int32_t entry) const;
  bool isCursor() const { return m_resourceType == 2; }

  // Why the last ParseDirectory or LoadStream produced no pixels (kNone when
  // it did); for a PNG entry the PNG decoder's reason is kept as well.
  IcoFailure failure() const { return m_failure; }
  std::string failureDescription() const;

 private:
  struct Entry {
    uint8_t width = 0;
    uint8_t height = 0;
    uint16_t bitCount = 0;
    uint32_t bytesInRes = 0;
    uint32_t imageOffset = 0;
    bool isPng = false;
    uint32_t headerSize = 0;
  };

  const Entry* entry(int32_t index) const;
  bool checkPngEntry(Entry& e) const;
  IcoFailure decodeBitmapEntry(const Entry& e, int32_t index, c32bppDIB& cHost) const;
  bool fail(IcoFailure failure);

  uint16_t m_resourceType = 0;
  std::vector<Entry> m_entries;
  std::vector<uint8_t> m_bytes;  // copy of the parsed range, during a load
  IcoFailure m_failure = IcoFailure::kNone;
  std::string m_pngFailure;  // the PNG decoder's reason for a failed PNG entry
};
