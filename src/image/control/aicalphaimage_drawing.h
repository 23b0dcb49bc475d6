#pragma once
// Off-screen drawing shared by the image control's painting and hit-testing
// files: the picture drawn exactly as painted (scaled and turned, full
// opacity, no colour effects) into an image of its rectangle's size.
#include "image/c32bppdib.h"

#include <QRect>
#include <QSize>

#include <cstdint>
#include <memory>

namespace aicdrawing {

// The picture as drawn inside pictureRect at drawnSize (centred and turned
// when rotation is enabled), in an image of the rectangle's size; nullptr
// without a picture or when drawing fails.
std::shared_ptr<c32bppDIB> renderDrawnPicture(c32bppDIB& picture, const QRect& pictureRect,
                                              QSize drawnSize, bool rotateEnabled,
                                              int32_t rotation);

}  // namespace aicdrawing
