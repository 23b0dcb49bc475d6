// Feeds arbitrary bytes to the whole loading chain (PNG, GIF, icon, bitmap and
// the picture loader; the system image service off), keeping the source bytes
// and listing icon sizes as the image control would.
#include "fuzz_limits.h"

#include "image/c32bppdib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzlimits::limitPictureLoader();
  const std::span<const uint8_t> bytes(data, size);
  if (fuzzlimits::declaresHugeImage(bytes)) return 0;
  c32bppDIB image;
  image.setGDIplusEnabled(false);
  if (image.LoadPicture_Stream(bytes, 0, 0, 0, 0, true)) {
    std::vector<std::array<int32_t, 4>> sizes;
    image.SourceIconSizes(sizes);
    volatile uint32_t sum = 0;
    for (uint8_t b : image.Bits()) sum = sum + b;
  }
  return 0;
}
