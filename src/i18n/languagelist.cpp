#include "i18n/languagelist.h"

#include "i18n/languagefile.h"

QStringList ParseLanguageList(QByteArrayView bytes) {
  QStringList items;
  const bool utf16LittleEndian = bytes.size() >= 2 &&
                                 static_cast<unsigned char>(bytes[0]) == 0xFF &&
                                 static_cast<unsigned char>(bytes[1]) == 0xFE;
  if (!utf16LittleEndian) return items;
  const QString text = DecodeUtf16Le(bytes.sliced(2));
  for (const QStringView rawLine : QStringView(text).tokenize(u"\r\n")) {
    const QStringView line = TrimSpaces(rawLine);
    if (line.isEmpty() || line.front() == u'\'') continue;
    items.push_back(line.toString());
  }
  return items;
}

void LoadLanguageList(const std::function<void(const QString&)>& addLanguageItem,
                      const QString& fileName) {
  const std::optional<QByteArray> bytes = ReadBoundedFile(fileName);
  if (!bytes) return;
  for (const QString& item : ParseLanguageList(*bytes)) addLanguageItem(item);
}
