#include "persist/inidocument.h"

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

enum class LineKind { Section, Key, Other };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  QString name;   // section or key name, trimmed
  QString value;  // key value, trimmed
};

ParsedLine parseLine(const QByteArray& bytes) {
  const QString line = QString::fromUtf8(bytes).trimmed();
  ParsedLine parsed;
  if (line.startsWith(u'[')) {
    const qsizetype close = line.indexOf(u']');
    parsed.kind = LineKind::Section;
    parsed.name = (close < 0 ? line.mid(1) : line.mid(1, close - 1)).trimmed();
    return parsed;
  }
  if (line.startsWith(u';') || line.startsWith(u'#')) return parsed;
  const qsizetype equals = line.indexOf(u'=');
  if (equals < 0) return parsed;
  parsed.kind = LineKind::Key;
  parsed.name = line.first(equals).trimmed();
  parsed.value = line.sliced(equals + 1).trimmed();
  return parsed;
}

bool sameName(QStringView a, QStringView b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

QString withoutQuotes(const QString& value) {
  if (value.size() >= 2 && value.front() == value.back() &&
      (value.front() == u'"' || value.front() == u'\'')) {
    return value.mid(1, value.size() - 2);
  }
  return value;
}

bool hasLineBreak(QStringView text) {
  return text.contains(u'\n') || text.contains(u'\r') || text.contains(QChar(0));
}

bool storableSection(QStringView section) {
  return !section.trimmed().isEmpty() && !hasLineBreak(section) && !section.contains(u']');
}

bool storableKey(QStringView key) {
  const QStringView trimmed = key.trimmed();
  return !trimmed.isEmpty() && !hasLineBreak(key) && !key.contains(u'=') &&
         !trimmed.startsWith(u'[') && !trimmed.startsWith(u';') && !trimmed.startsWith(u'#');
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

IniDocument::IniDocument(const QByteArray& bytes) {
  QByteArrayView rest(bytes);
  if (rest.startsWith(kByteOrderMark)) {
    m_byteOrderMark = true;
    rest = rest.sliced(3);
  }
  while (!rest.isEmpty()) {
    const qsizetype newline = rest.indexOf('\n');
    if (newline < 0) {
      m_lines.push_back({rest.toByteArray(), {}});
      break;
    }
    const bool crlf = newline > 0 && rest[newline - 1] == '\r';
    const qsizetype textLength = crlf ? newline - 1 : newline;
    m_lines.push_back(
        {rest.first(textLength).toByteArray(), crlf ? QByteArray("\r\n") : QByteArray("\n")});
    rest = rest.sliced(newline + 1);
  }
}

IniDocument::Found IniDocument::find(QStringView section, QStringView key) const {
  Found found;
  const QStringView wantedSection = section.trimmed();
  const QStringView wantedKey = key.trimmed();
  bool inWantedSection = false;
  bool inFirstSection = false;
  for (int index = 0; index < static_cast<int>(m_lines.size()); ++index) {
    const ParsedLine line = parseLine(m_lines[static_cast<size_t>(index)].text);
    if (line.kind == LineKind::Section) {
      inWantedSection = sameName(line.name, wantedSection);
      inFirstSection = inWantedSection && found.sectionLine < 0;
      if (inFirstSection) {
        found.sectionLine = index;
        found.lastLineOfSection = index;
      }
      continue;
    }
    if (!inWantedSection || line.kind != LineKind::Key) continue;
    if (inFirstSection) found.lastLineOfSection = index;
    if (found.keyLine < 0 && sameName(line.name, wantedKey)) found.keyLine = index;
  }
  return found;
}

std::optional<QString> IniDocument::value(QStringView section, QStringView key) const {
  const Found found = find(section, key);
  if (found.keyLine < 0) return std::nullopt;
  return withoutQuotes(parseLine(m_lines[static_cast<size_t>(found.keyLine)].text).value);
}

QByteArray IniDocument::lineEnd() const {
  for (const Line& line : m_lines) {
    if (!line.end.isEmpty()) return line.end;
  }
  return QByteArrayLiteral("\r\n");
}

void IniDocument::insertLine(int index, const QByteArray& text) {
  // The line before the new one may be a last line without an end.
  if (index > 0 && m_lines[static_cast<size_t>(index - 1)].end.isEmpty()) {
    m_lines[static_cast<size_t>(index - 1)].end = lineEnd();
  }
  m_lines.insert(m_lines.begin() + index, Line{text, lineEnd()});
}

bool IniDocument::setValue(QStringView section, QStringView key, QStringView value) {
  if (!storableSection(section) || !storableKey(key) || hasLineBreak(value)) return false;
  const QByteArray valueBytes = value.toUtf8();
  const Found found = find(section, key);

  if (found.keyLine >= 0) {
    QByteArray& text = m_lines[static_cast<size_t>(found.keyLine)].text;
    qsizetype valueStart = text.indexOf('=') + 1;
    while (valueStart < text.size() && isBlank(text[valueStart])) ++valueStart;
    text = text.first(valueStart) + valueBytes;
    return true;
  }

  const QByteArray keyLine = key.trimmed().toUtf8() + '=' + valueBytes;
  if (found.sectionLine >= 0) {
    insertLine(found.lastLineOfSection + 1, keyLine);
    return true;
  }

  // A new section goes at the end, set off from what comes before by a blank line.
  int end = static_cast<int>(m_lines.size());
  if (end > 0 && !m_lines.back().text.trimmed().isEmpty()) {
    insertLine(end, QByteArray());
    ++end;
  }
  insertLine(end, '[' + section.trimmed().toUtf8() + ']');
  insertLine(end + 1, keyLine);
  return true;
}

QByteArray IniDocument::bytes() const {
  QByteArray out;
  if (m_byteOrderMark) out += kByteOrderMark;
  for (const Line& line : m_lines) {
    out += line.text;
    out += line.end;
  }
  return out;
}
