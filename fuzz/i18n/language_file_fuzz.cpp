// Language file parser: any bytes parse, and every parsed entry can be found
// again by its own key, name and id.
#include "i18n/extractbetween.h"
#include "i18n/languagefile.h"
#include "i18n/languagetable.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const qsizetype characters = bytes.size() / 2;

  const LanguageTable table(ParseLanguageFile(bytes));
  for (const LanguageEntry& entry : table.entries()) {
    if (entry.key.size() > characters || entry.value.size() > characters ||
        entry.name.size() > characters || entry.section.size() > characters) {
      std::abort();
    }
    const LanguageEntry* byKey = table.find(LookUpField::Key, entry.key);
    const LanguageEntry* byName = table.find(LookUpField::Name, entry.name);
    const LanguageEntry* byId = table.find(LookUpField::Id, QString::number(entry.id));
    if (!byKey || !byName || !byId) std::abort();
    if (byKey->key.toUpper() != entry.key.toUpper() || byId->id != entry.id) std::abort();
  }

  // The helpers on their own, over the whole decoded text.
  const QString text = DecodeUtf16Le(bytes);
  (void)LeadingNumber(text);
  (void)TrimSpaces(text);
  for (const char16_t* delimiters : {u"\"", u"{}", u"[]"}) {
    if (ExtractBetween(text, delimiters).size() > text.size()) std::abort();
  }
  return 0;
}
