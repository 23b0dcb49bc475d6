#pragma once
// MaskRecord remembers which pixels a transparent mask colour removed, so that
// taking the mask off again brings back exactly those pixels. Putting the
// colour back on every transparent pixel instead would paint over the
// picture's own transparent areas.
#include "image/c32bppdib.h"

#include <cstdint>
#include <vector>

class MaskRecord {
 public:
  // Makes the opaque pixels of color (red + green * 256 + blue * 65536)
  // transparent and remembers them. False without a picture.
  bool apply(c32bppDIB& image, uint32_t color);
  // Gives the remembered pixels the opaque color again (the picture may have
  // been inverted since, so the caller passes the colour as it shows now) and
  // forgets them. The alpha flag and type follow what the picture now holds.
  void restore(c32bppDIB& image, uint32_t color);
  // Follows a mirror of the picture, so the record stays on the same pixels.
  void mirror(int32_t width, int32_t height, bool mirrorX, bool mirrorY);
  void clear() { m_removed.clear(); }

  // Restores onto another picture of the same size (a copy made for saving),
  // keeping the record.
  void restoreOnto(c32bppDIB& copy, uint32_t color) const;

 private:
  std::vector<bool> m_removed;  // one flag a pixel, in the buffer's order
};
