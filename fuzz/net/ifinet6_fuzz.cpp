// The kernel's IPv6 address table is read as text: the reader must take any
// bytes without reading outside them, and find no more temporary addresses
// than the text has lines.
#include "net/interfaceaddresses.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArrayView table(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const std::vector<Ipv6Bytes> temporary = temporaryIpv6Addresses(table);
  if (static_cast<qsizetype>(temporary.size()) >
      static_cast<qsizetype>(std::count(table.begin(), table.end(), '\n')) + 1)
    std::abort();
  return 0;
}
