#include "net/sockvariant.h"

SockVariant SockVariant::fromString(const QString& text) {
  SockVariant v;
  v.m_type = String;
  v.m_text = text;
  return v;
}

SockVariant SockVariant::fromStrings(const QStringList& lines) {
  SockVariant v;
  v.m_type = String | Array;
  v.m_lines = lines;
  return v;
}

SockVariant SockVariant::fromRaw(int type, const QByteArray& raw) {
  SockVariant v;
  v.m_type = type;
  if (elementWidth(type & ~Array) > 0) v.m_raw = raw;
  return v;
}

int SockVariant::count() const {
  if (m_type == Empty) return 0;
  if (m_type == (String | Array)) return static_cast<int>(m_lines.size());
  if (!isArray()) return 1;
  const int width = elementWidth(elementType());
  return width > 0 ? static_cast<int>(m_raw.size() / width) : 0;
}

int SockVariant::elementWidth(int elementType) {
  switch (elementType) {
    case Integer:
      return 2;
    case Long:
      return 4;
    case Single:
      return 4;
    case Double:
      return 8;
    case Currency:
      return 8;
    case Date:
      return 8;
    case Boolean:
      return 2;
    case Byte:
      return 1;
    default:
      return 0;
  }
}

bool SockVariant::isSupported(int type) {
  const int element = type & ~Array;
  return element == String || elementWidth(element) > 0;
}
