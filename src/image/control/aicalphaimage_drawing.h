#pragma once
// Geometry and off-screen drawing shared by the image control's painting and
// hit-testing files: how large the picture is drawn inside its rectangle, and
// the picture drawn exactly as painted (scaled and turned, full opacity, no
// colour effects) into an image of the rectangle's size.
#include "image/c32bppdib.h"

#include <QRect>
#include <QSize>

#include <cstdint>
#include <memory>

namespace aicdrawing {

// The picture's drawn size. Unturned pictures fill their rectangle; with
// rotation enabled the rectangle is a square whose side is the drawn picture's
// diagonal, so the picture fits it at every angle.
QSize drawnPictureSize(const c32bppDIB& picture, const QRect& pictureRect, bool rotateEnabled);

// The picture as drawn inside pictureRect, in an image of the rectangle's size;
// nullptr without a picture or when drawing fails.
std::shared_ptr<c32bppDIB> renderDrawnPicture(c32bppDIB& picture, const QRect& pictureRect,
                                              bool rotateEnabled, int32_t rotation);

}  // namespace aicdrawing
