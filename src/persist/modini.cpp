#include "persist/modini.h"

#include "persist/atomicfile.h"
#include "persist/inidocument.h"

#include <QFile>
#include <optional>

namespace {

// The file's bytes; empty for a file that does not exist, nullopt for one
// that exists but cannot be read (which must not be overwritten blindly).
std::optional<QByteArray> readWholeFile(const QString& fileName) {
  QFile file(fileName);
  if (!file.exists()) return QByteArray();
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return std::nullopt;
  return bytes;
}

// The first `length` characters, without leaving half of a surrogate pair at the end.
QString cut(const QString& value, qsizetype length) {
  if (value.size() <= length) return value;
  if (length > 0 && value.at(length - 1).isHighSurrogate()) --length;
  return value.left(length);
}

}  // namespace

QString ReadIniValue(const QString& section, const QString& key, const QString& fileName) {
  const std::optional<QByteArray> bytes = readWholeFile(fileName);
  if (!bytes || bytes->isEmpty()) return QString();
  const std::optional<QString> value = IniDocument(*bytes).value(section, key);
  return value ? cut(*value, kIniValueMaxLength) : QString();
}

bool WriteIniValue(const QString& section, const QString& key, const QString& value,
                   const QString& fileName) {
  const std::optional<QByteArray> bytes = readWholeFile(fileName);
  if (!bytes) return false;
  IniDocument document(*bytes);
  if (!document.setValue(section, key, value)) return false;
  return writeFileAtomically(fileName, document.bytes());
}
