#include "net/wireformat.h"

#include <QStringList>

#include <QtEndian>

#include <cstring>

namespace {

QStringList splitAtFirstLineEnding(const QString& text) {
  for (const QString& ending :
       {QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("\r")}) {
    if (text.contains(ending)) return text.split(ending);
  }
  return text.split(QChar(u'\0'));
}

// The bytes cut or zero-filled to the given size; one copy, as streams pass here.
QByteArray padded(QByteArrayView bytes, qsizetype size) {
  QByteArray raw(size, Qt::Uninitialized);
  const qsizetype copied = qMin(size, bytes.size());
  std::memcpy(raw.data(), bytes.data(), static_cast<std::size_t>(copied));
  std::memset(raw.data() + copied, 0, static_cast<std::size_t>(size - copied));
  return raw;
}

}  // namespace

SockVariant variantFromBytes(int type, QByteArrayView bytes, qsizetype* used) {
  const int element = type & ~SockVariant::Array;
  const bool array = (type & SockVariant::Array) != 0;
  const qsizetype n = bytes.size();
  *used = n;
  if (element == SockVariant::String) {
    const QString text = QString::fromLocal8Bit(bytes);
    return array ? SockVariant::fromStrings(splitAtFirstLineEnding(text))
                 : SockVariant::fromString(text);
  }
  const int width = SockVariant::elementWidth(element);
  if (width == 0) return SockVariant::fromRaw(type, {});
  if (!array) {
    *used = qMin<qsizetype>(n, width);
    return SockVariant::fromRaw(type, padded(bytes, width));
  }
  const qsizetype elements = n > 0 ? (n - 1) / width + 1 : 0;
  return SockVariant::fromRaw(type, padded(bytes, elements * width));
}

bool bytesFromVariant(const SockVariant& value, const QString& lineEnding, QByteArray* out) {
  const int element = value.elementType();
  if (!SockVariant::isSupported(value.type())) return false;
  if (element == SockVariant::String) {
    *out = value.isArray() ? value.toStrings().join(lineEnding).toLocal8Bit()
                           : value.toString().toLocal8Bit();
    return true;
  }
  *out = value.raw();
  if (element == SockVariant::Boolean) {
    // Any true value goes out as FF FF, as a peer expects of a Boolean.
    for (qsizetype i = 0; i + 1 < out->size(); i += 2) {
      const bool truth = (*out)[i] != 0 || (*out)[i + 1] != 0;
      (*out)[i] = (*out)[i + 1] = truth ? char(0xFF) : char(0);
    }
  }
  return true;
}

QByteArray utf16Bytes(const QString& text) {
  QByteArray bytes(text.size() * 2, Qt::Uninitialized);
  qToLittleEndian<char16_t>(text.utf16(), text.size(), bytes.data());
  return bytes;
}
