#include "i18n/languagefile.h"

#include "i18n/extractbetween.h"

#include <QFile>
#include <QLocale>
#include <cmath>
#include <limits>

QString DecodeUtf16Le(QByteArrayView bytes) {
  const qsizetype units = bytes.size() / 2;
  QString text(units, Qt::Uninitialized);
  QChar* out = text.data();
  for (qsizetype i = 0; i < units; ++i) {
    const auto low = static_cast<unsigned char>(bytes[2 * i]);
    const auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
    out[i] = QChar(static_cast<char16_t>(low | (high << 8)));
  }
  return text;
}

std::optional<QByteArray> ReadBoundedFile(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QByteArray bytes = file.read(kMaxLanguageFileBytes + 1);
  if (bytes.size() > kMaxLanguageFileBytes) return std::nullopt;
  return bytes;
}

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }
bool isSign(QChar c) { return c == u'+' || c == u'-'; }

qsizetype skipDigits(QStringView text, qsizetype pos) {
  while (pos < text.size() && isDigit(text[pos])) ++pos;
  return pos;
}

// Length of the longest prefix of `text` that reads as a decimal number:
// [sign] digits [. digits] [e|E|d|D [sign] digits]. 0 when there is none.
qsizetype numberPrefixLength(QStringView text) {
  qsizetype pos = 0;
  if (pos < text.size() && isSign(text[pos])) ++pos;
  const qsizetype integerStart = pos;
  pos = skipDigits(text, pos);
  bool anyDigit = pos > integerStart;
  if (pos < text.size() && text[pos] == u'.') {
    const qsizetype fractionStart = pos + 1;
    const qsizetype fractionEnd = skipDigits(text, fractionStart);
    if (anyDigit || fractionEnd > fractionStart) {
      anyDigit = true;
      pos = fractionEnd;
    }
  }
  if (!anyDigit) return 0;
  if (pos < text.size()) {
    const QChar marker = text[pos];
    if (marker == u'e' || marker == u'E' || marker == u'd' || marker == u'D') {
      qsizetype exponent = pos + 1;
      if (exponent < text.size() && isSign(text[exponent])) ++exponent;
      const qsizetype exponentEnd = skipDigits(text, exponent);
      if (exponentEnd > exponent) pos = exponentEnd;
    }
  }
  return pos;
}

}  // namespace

int32_t LeadingNumber(QStringView text) {
  qsizetype start = 0;
  while (start < text.size() && isBlank(text[start])) ++start;
  const QStringView rest = text.sliced(start);
  const qsizetype length = numberPrefixLength(rest);
  if (length == 0) return 0;
  QString number = rest.first(length).toString();
  number.replace(u'd', u'e').replace(u'D', u'e');
  bool ok = false;
  const double value = QLocale::c().toDouble(number, &ok);
  if (!ok || !std::isfinite(value)) return 0;
  const double rounded = std::nearbyint(value);
  if (rounded < std::numeric_limits<int32_t>::min() ||
      rounded > std::numeric_limits<int32_t>::max()) {
    return 0;
  }
  return static_cast<int32_t>(rounded);
}

QStringView TrimSpaces(QStringView text) {
  qsizetype start = 0;
  qsizetype end = text.size();
  while (start < end && text[start] == u' ') ++start;
  while (end > start && text[end - 1] == u' ') --end;
  return text.sliced(start, end - start);
}

namespace {

LanguageEntry parseLine(QStringView line, QString& section) {
  LanguageEntry entry;
  if (line.startsWith(u'[')) section = ExtractBetween(line, u"[]");
  entry.id = LeadingNumber(line);
  entry.section = section;
  if (line.contains(u':')) entry.name = ExtractBetween(line, u"{}");
  const qsizetype bar = line.indexOf(u'|');
  if (bar >= 0) {
    entry.key = ExtractBetween(line.first(bar), u"\"");
    entry.value = ExtractBetween(line.sliced(bar + 1), u"\"");
  }
  return entry;
}

}  // namespace

std::vector<LanguageEntry> ParseLanguageFile(QByteArrayView bytes) {
  const QString decoded = DecodeUtf16Le(bytes);
  // The first character is the byte-order mark; it is dropped unexamined.
  const QStringView text = QStringView(decoded).sliced(decoded.isEmpty() ? 0 : 1);

  std::vector<LanguageEntry> entries;
  QString section;
  for (const QStringView rawLine : text.tokenize(u"\r\n")) {
    const QStringView line = TrimSpaces(rawLine);
    if (line.isEmpty() || line.front() == u'\'') continue;
    entries.push_back(parseLine(line, section));
  }
  return entries;
}
