#pragma once
// An initialisation file held as its bytes, read and edited line by line.
//
//   [section]          a section line; blanks around the name do not count
//   key = value        a key line; blanks around key and value do not count
//   ; note             a comment (also "#"); so is anything else without "="
//
// Section and key names match without regard to letter case; when a name
// appears twice the first one counts. A value enclosed in a pair of matching
// single or double quotes is read without them. The text is UTF-8; a leading
// byte-order mark is kept.
//
// Editing changes only the one line it must: every other section, key,
// comment, blank line and line end stays byte for byte as it was.
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

class IniDocument {
 public:
  IniDocument() = default;
  explicit IniDocument(const QByteArray& bytes);

  // The value of `key` in `section`, or nullopt when either is missing.
  std::optional<QString> value(QStringView section, QStringView key) const;

  // Stores `value` for `key` in `section`: an existing key line gets the new
  // value in place (its spelling and the blanks before the value kept), a
  // missing key is added after the last key of the section, a missing section
  // is added at the end. Returns false, changing nothing, for a name or value
  // the format cannot hold (a line break, an empty name, "]" in a section
  // name, "=" in a key, a key that would read as a section or a comment).
  bool setValue(QStringView section, QStringView key, QStringView value);

  QByteArray bytes() const;

 private:
  struct Line {
    QByteArray text;  // without its line end
    QByteArray end;   // "\r\n", "\n", or empty for a last line without one
  };
  struct Found {
    int sectionLine = -1;        // first section line with the name, -1 if none
    int keyLine = -1;            // first key line with the name in such a section
    int lastLineOfSection = -1;  // last key line (or the section line) of the first such section
  };

  Found find(QStringView section, QStringView key) const;
  QByteArray lineEnd() const;
  void insertLine(int index, const QByteArray& text);

  bool m_byteOrderMark = false;
  std::vector<Line> m_lines;
};
