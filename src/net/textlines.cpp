#include "net/textlines.h"

#include <QStringDecoder>

namespace {

// How many bytes of UTF-8 are checked before a line is converted.
constexpr qsizetype kUtf8CheckLength = 2048;

// The line endings in the order they are looked for.
struct Ending {
  QByteArrayView bytes;
  QStringView chars;
  int value;
};
const Ending kEndings[] = {
    {"\r\n", u"\r\n", 1},
    {"\n", u"\n", 2},
    {"\r", u"\r", 3},
};

int sequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC0 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF7) return 4;
  if (lead >= 0xF8 && lead <= 0xFB) return 5;
  if (lead >= 0xFC && lead <= 0xFD) return 6;
  return 0;  // a continuation byte or FE/FF where a character should start
}

QString latin1Chars(QByteArrayView bytes) {
  return QString::fromLatin1(bytes.data(), bytes.size());
}

TextLine byteLine(QByteArrayView bytes, int lineEnding) {
  if (isUtf8Prefix(bytes, kUtf8CheckLength)) {
    // The check covers only the start of a long line; a later fault must not
    // turn the whole line into an empty string, so it is then passed raw.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (!decoder.hasError()) return TextLine{text, lineEnding, false};
  }
  return TextLine{latin1Chars(bytes), lineEnding, true};
}

// The 16-bit reading: the bytes as UTF-16 (little-endian) characters.
bool takeWideLines(QByteArray* buffered, std::vector<TextLine>* lines) {
  const qsizetype chars = buffered->size() / 2;
  const QStringView wide(reinterpret_cast<const char16_t*>(buffered->constData()), chars);
  for (const Ending& ending : kEndings) {
    if (!wide.contains(ending.chars)) continue;
    qsizetype from = 0;
    for (qsizetype at = wide.indexOf(ending.chars); at >= 0;
         at = wide.indexOf(ending.chars, from)) {
      lines->push_back(TextLine{wide.mid(from, at - from).toString(), ending.value, false});
      from = at + ending.chars.size();
    }
    // The last piece (and an odd trailing byte, which is not a character) waits.
    *buffered = buffered->mid(from * 2);
    return true;
  }
  return false;
}

void takeByteLines(QByteArray* buffered, std::vector<TextLine>* lines) {
  const QByteArrayView bytes(*buffered);
  for (const Ending& ending : kEndings) {
    if (!bytes.contains(ending.bytes)) continue;
    qsizetype from = 0;
    for (qsizetype at = bytes.indexOf(ending.bytes); at >= 0;
         at = bytes.indexOf(ending.bytes, from)) {
      lines->push_back(byteLine(bytes.sliced(from, at - from), ending.value));
      from = at + ending.bytes.size();
    }
    *buffered = buffered->mid(from);
    return;
  }
}

}  // namespace

bool isUtf8Prefix(QByteArrayView bytes, qsizetype n) {
  const qsizetype end = qMin(n, bytes.size());
  if (end <= 0) return false;
  qsizetype i = 0;
  while (i < end) {
    const int length = sequenceLength(static_cast<unsigned char>(bytes[i]));
    if (length == 0) return false;
    for (int k = 1; k < length; ++k) {
      // A sequence cut by the end of the checked range is judged on what is there.
      if (i + k >= end) return true;
      const auto follow = static_cast<unsigned char>(bytes[i + k]);
      if (follow < 0x80 || follow > 0xBF) return false;
    }
    i += length;
  }
  return true;
}

std::vector<TextLine> takeTextLines(QByteArray* buffered) {
  std::vector<TextLine> lines;
  if (!takeWideLines(buffered, &lines)) takeByteLines(buffered, &lines);
  return lines;
}
