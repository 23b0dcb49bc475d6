#pragma once
// Window layouts are written in twips at 96 dpi: 15 twips make one
// device-independent pixel. Converting happens here and nowhere else; Qt then
// scales device-independent pixels for high-density screens.
#include <QRect>

constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips) {
  return (twips >= 0 ? twips + kTwipsPerPixel / 2 : twips - kTwipsPerPixel / 2) / kTwipsPerPixel;
}

constexpr int pixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

// A rectangle given as left, top, width, height in twips.
inline QRect twipsRect(int left, int top, int width, int height) {
  return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
               twipsToPixels(height));
}
