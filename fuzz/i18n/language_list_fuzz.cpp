// Language list reader: any bytes parse into items that are trimmed, not
// blank, not comments and free of line breaks.
#include "i18n/languagelist.h"
#include "i18n/modlanguage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  for (const QString& item : ParseLanguageList(bytes)) {
    if (item.isEmpty() || item.front() == u' ' || item.back() == u' ' || item.front() == u'\'' ||
        item.contains(QStringLiteral("\r\n"))) {
      std::abort();
    }
    const std::optional<QString> name = LanguageNameOfItem(item);
    if (name && name->size() >= item.size()) std::abort();
  }
  return 0;
}
