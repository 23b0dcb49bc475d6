// Received bytes in text mode come from any peer on the network: the line
// splitter must take whatever arrives without reading outside it, and must
// never lose or invent bytes.
#include "net/textlines.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  QByteArray buffered(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const std::vector<TextLine> lines = takeTextLines(&buffered);
  if (buffered.size() > static_cast<qsizetype>(size)) std::abort();
  for (const TextLine& line : lines) {
    if (line.lineEnding < 1 || line.lineEnding > 3) std::abort();
    if (line.rawBytes && line.text.toLatin1().size() != line.text.size()) std::abort();
  }
  isUtf8Prefix(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
               2048);
  return 0;
}
