// The size the picture is drawn at for a scale method and a desired size.
#include "image/control/aicalphaimage.h"

#include <algorithm>
#include <cmath>

namespace {

int32_t rounded(double value) { return static_cast<int32_t>(std::lround(value)); }

struct Size {
  int32_t width;
  int32_t height;
};

// The picture upright: fit, stretch, fit without enlarging, actual size.
Size uprightScale(int32_t method, int32_t pictureWidth, int32_t pictureHeight, int32_t desiredWidth,
                  int32_t desiredHeight) {
  switch (method) {
    case AlphaImageScale::kStretch:
      return {desiredWidth, desiredHeight};
    case AlphaImageScale::kActualSize:
      return {pictureWidth, pictureHeight};
    default:
      break;
  }
  double ratio = std::min(static_cast<double>(desiredWidth) / pictureWidth,
                          static_cast<double>(desiredHeight) / pictureHeight);
  if (method == AlphaImageScale::kFitNoEnlarge) ratio = std::min(ratio, 1.0);
  return {rounded(pictureWidth * ratio), rounded(pictureHeight * ratio)};
}

// The picture turned by any angle needs its diagonal in both directions, so
// the diagonal takes the place of both sides.
Size rotatedScale(int32_t method, int32_t pictureWidth, int32_t pictureHeight, int32_t desiredWidth,
                  int32_t desiredHeight) {
  const double w = pictureWidth, h = pictureHeight;
  const double diagonal = std::round(std::sqrt(w * w + h * h));
  switch (method) {
    case AlphaImageScale::kStretch:
      return {rounded(desiredWidth * w / diagonal), rounded(desiredHeight * h / diagonal)};
    case AlphaImageScale::kActualSize:
      return {pictureWidth, pictureHeight};
    default:
      break;
  }
  const double side = std::min(desiredWidth, desiredHeight);
  const Size fitted{rounded(side * w / diagonal), rounded(side * h / diagonal)};
  if (method == AlphaImageScale::kFitNoEnlarge &&
      (fitted.width > pictureWidth || fitted.height > pictureHeight)) {
    return {pictureWidth, pictureHeight};
  }
  return fitted;
}

}  // namespace

bool aicAlphaImage::GetImageScales(int32_t& width, int32_t& height, int32_t scaleMethod,
                                   int32_t desiredWidth, int32_t desiredHeight,
                                   bool asRotatedImage) const {
  const int32_t pictureWidth = m_image.Width();
  const int32_t pictureHeight = m_image.Height();
  if (m_image.BitsPointer() == nullptr || pictureWidth < 1 || pictureHeight < 1) return false;

  // A negative method asks for the current one; methods past the last are the last.
  const int32_t requested = scaleMethod < 0 ? m_scaleMethod : scaleMethod;
  const int32_t method = std::clamp(requested, AlphaImageScale::kFit, AlphaImageScale::kCustom);
  if (desiredWidth < 1) desiredWidth = this->width();
  if (desiredHeight < 1) desiredHeight = this->height();

  Size size{};
  if (method == AlphaImageScale::kCustom) {
    size = {m_customWidth, m_customHeight};
  } else if (asRotatedImage) {
    size = rotatedScale(method, pictureWidth, pictureHeight, desiredWidth, desiredHeight);
  } else {
    size = uprightScale(method, pictureWidth, pictureHeight, desiredWidth, desiredHeight);
  }
  width = size.width;
  height = size.height;
  return true;
}
