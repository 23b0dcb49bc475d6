#pragma once
// The normalised arguments of one c32bppDIB::Render call, shared by the path
// that draws it (system alpha blend, image service, own blender, rotation).

#include <QImage>
#include <QPainter>
#include <cstdint>

#include "image/c32bppdib.h"

namespace renderpix {

struct RenderRequest {
  QImage* surface = nullptr;    // drawn on when no target image is given
  c32bppDIB* target = nullptr;  // drawn into when given
  int32_t destX = 0, destY = 0;
  int32_t destWidth = 0, destHeight = 0;                    // negative = mirrored along that axis
  int32_t srcX = 0, srcY = 0, srcWidth = 0, srcHeight = 0;  // inside the image
  int32_t opacity = 100;                                    // 1..100
  bool smoothStretch = false;
  int32_t grayscale = -1;
  float lightness = 0;  // -100..100
  float angle = 0;
};

// Runs draw with a painter over the request's destination: the target image's
// own surface, or a painter opened on the surface for the call.
template <typename Draw>
bool withPainter(const RenderRequest& r, Draw draw) {
  if (r.target) {
    QPainter* painter = r.target->LoadDIBinDC(true);
    if (!painter) return false;
    painter->save();
    draw(*painter);
    painter->restore();
    r.target->LoadDIBinDC(false);
    return true;
  }
  if (!r.surface || r.surface->isNull()) return false;
  QPainter painter;
  if (!painter.begin(r.surface)) return false;
  draw(painter);
  painter.end();
  return true;
}

// The image-service path: QPainter with the interpolation of the image, the
// colour matrix applied to the premultiplied pixels, the opacity and, for an
// angle other than 0, a rotation about the destination rectangle's centre.
bool DrawWithImageService(const c32bppDIB& image, const RenderRequest& request);

// The system alpha blend: QPainter drawing the premultiplied pixels at a
// constant opacity of opacity x 255 / 100, scaling from the source to the
// destination rectangle.
bool DrawWithAlphaBlend(const c32bppDIB& image, const RenderRequest& request);

// True when the system alpha blend gives exactly the own blender's bytes for
// the request (see render_alphablend.cpp).
bool AlphaBlendIsExact(const c32bppDIB& image, const RenderRequest& request);

// The own path: the mirror copy, the resampler and the lightness adjustment
// make the pixels of the part of the destination that can be seen, and the
// blender draws them. False when that part exceeds c32bppDIB::kMaxRenderPixels.
bool DrawWithOwnBlender(const c32bppDIB& image, const RenderRequest& request);

// The rotation renderer; destX/destY of the request are the destination
// rectangle's corner.
bool RenderRotated(const c32bppDIB& image, const RenderRequest& request);

}  // namespace renderpix
