// Reads arbitrary bytes as a settings file, then writes a key into it: the
// key must read back, and every line but the edited one must keep its bytes.
#include "persist/inidocument.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  IniDocument document(bytes);
  if (document.bytes() != bytes) std::abort();

  const std::optional<QString> before = document.value(u"main", u"language");
  (void)document.value(u"MAIN", u"site");

  const QString value = QStringLiteral("Deutsch | German");
  if (!document.setValue(u"main", u"language", value)) std::abort();
  if (document.value(u"Main", u"Language") != value) std::abort();

  // The edit only grows the file by the new lines or changes one value.
  const IniDocument reread(document.bytes());
  if (reread.value(u"main", u"language") != value) std::abort();
  if (before && document.bytes().size() > bytes.size() + value.toUtf8().size()) std::abort();
  return 0;
}
