// Reads arbitrary bytes as form data; whatever is accepted must write out and
// read back to the same form.
#include "platform/formdata.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto form = parseFormData({data, size});
  if (!form) return 0;
  const auto text = serializeFormData(*form);
  if (!text) std::abort();
  const auto reread = parseFormData({reinterpret_cast<const std::uint8_t*>(text->constData()),
                                     static_cast<size_t>(text->size())});
  if (!reread || !(*reread == *form)) std::abort();
  return 0;
}
