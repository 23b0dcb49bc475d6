// Regions built from an image's visible pixels, for shaping windows and hit tests.
#include "image/c32bppdib.h"

#include <QRect>
#include <QVector>

namespace {

// One rectangle per horizontal run of qualifying pixels, row by row; QRegion
// merges runs that line up into larger bands.
QRegion runsWhere(const c32bppDIB& image, uint8_t minimumAlpha) {
  QVector<QRect> rects;
  const uint8_t* bits = image.BitsPointer();
  for (int32_t y = 0; y < image.Height(); ++y) {
    const uint8_t* row = bits + image.pixelOffset(0, y);
    int32_t x = 0;
    while (x < image.Width()) {
      while (x < image.Width() && row[x * 4 + 3] < minimumAlpha) ++x;
      const int32_t start = x;
      while (x < image.Width() && row[x * 4 + 3] >= minimumAlpha) ++x;
      if (x > start) rects.append(QRect(start, y, x - start, 1));
    }
  }
  QRegion region;
  region.setRects(rects.constData(), static_cast<int>(rects.size()));
  return region;
}

}  // namespace

QRegion c32bppDIB::CreateRegion(int32_t style, int32_t xOffset, int32_t yOffset) const {
  if (!m_bits || style < 0 || style > 2) return {};
  QRegion region;
  switch (style) {
    case 0:
      region = runsWhere(*this, 1);
      break;
    case 1:
      region = runsWhere(*this, 255);
      break;
    case 2:
      region = QRegion(runsWhere(*this, 1).boundingRect());
      break;
  }
  if (xOffset != 0 || yOffset != 0) region.translate(xOffset, yOffset);
  return region;
}
