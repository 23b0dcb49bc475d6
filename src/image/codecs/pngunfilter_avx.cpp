// The two-row Paeth loop compiled for AVX (this file alone is built with
// -mavx): chosen at run time where the processor has it.
#include "image/codecs/pngunfilter_sse2.h"

#if defined(__AVX__) && defined(__x86_64__)
#include "image/codecs/pngpaeth_vector.h"

namespace pngpixels {

bool unfilterPaethPairAvx(uint8_t* upper, uint8_t* lower, const uint8_t* previous, size_t rowBytes,
                          size_t distance) {
  return unfilterPaethPairRows(upper, lower, previous, rowBytes, distance);
}

}  // namespace pngpixels

#else

namespace pngpixels {

bool unfilterPaethPairAvx(uint8_t*, uint8_t*, const uint8_t*, size_t, size_t) { return false; }

}  // namespace pngpixels

#endif
