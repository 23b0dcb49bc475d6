#pragma once
// Writes language files and list files the way the program expects them:
// UTF-16LE with the byte-order mark FF FE and CR LF line ends.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace i18ntest {

inline QByteArray utf16Le(const QString& text) {
  QByteArray bytes;
  bytes.reserve(text.size() * 2);
  for (const QChar c : text) {
    bytes.append(static_cast<char>(c.unicode() & 0xFF));
    bytes.append(static_cast<char>(c.unicode() >> 8));
  }
  return bytes;
}

inline QByteArray utf16LeWithMark(const QStringList& lines) {
  return QByteArray("\xFF\xFE", 2) +
         utf16Le(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  ASSERT_EQ(file.write(bytes), bytes.size());
}

inline void writeLanguageFile(const QString& folder, const QString& fileName,
                              const QStringList& lines) {
  writeBytes(folder + u'/' + fileName, utf16LeWithMark(lines));
}

}  // namespace i18ntest
