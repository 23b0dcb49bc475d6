// Reads arbitrary bytes as a port list file. Whatever loads must save and load
// back to the same rows, because saving after an edit rewrites the whole list.
#include "persist/modlist.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  PortRows rows;
  readPortList(rows, QByteArrayView(data, static_cast<qsizetype>(size)));
  PortRows again;
  readPortList(again, writePortList(rows));
  if (again.rows != rows.rows) std::abort();
  return 0;
}
