#pragma once
// The language file: UTF-16LE text whose first character (the byte-order
// mark) is dropped unread, lines ending in CR LF. A line that is not blank and
// not a "'" comment becomes one entry, for example
//
//   12:{Command3} "Begin" | "Starten"
//
// an optional number (the id), a name in braces (read only when the line holds
// a ":"), the base-language text in quotes, a bar, and the translation in quotes.
// A "[section]" line opens a section and is an entry of its own.
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QByteArray>
#include <cstdint>
#include <optional>
#include <vector>

struct LanguageEntry {
  QString key;      // base-language text
  QString section;  // section in force at this line
  int32_t id = 0;   // number at the start of the line
  QString name;     // text in braces
  QString value;    // translated text
};

// Larger files are refused: a language file holds a few dozen lines.
inline constexpr qint64 kMaxLanguageFileBytes = 16 * 1024 * 1024;

// The whole file, or nullopt when it cannot be opened or is larger than
// kMaxLanguageFileBytes. Reads at most one byte past the limit, so a device
// or an endless file cannot exhaust memory.
std::optional<QByteArray> ReadBoundedFile(const QString& fileName);

// The bytes taken as UTF-16LE, two bytes per code unit; an odd last byte is
// not a whole code unit and is dropped. Unpaired surrogates are kept as read.
QString DecodeUtf16Le(QByteArrayView bytes);

// The numeric value of the start of `text` read as a decimal number (leading
// blanks skipped, a sign, digits, a fraction and an exponent), rounded to the
// nearest integer with ties to even. 0 when the text does not start with a
// number or the value does not fit in 32 bits.
int32_t LeadingNumber(QStringView text);

// Leading and trailing spaces removed; other white space is kept.
QStringView TrimSpaces(QStringView text);

// Every entry of a language file, in file order.
std::vector<LanguageEntry> ParseLanguageFile(QByteArrayView bytes);
