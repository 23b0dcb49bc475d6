// Rendering throughput, printed (never asserted), all in one run:
//  - the own blender against QPainter::drawImage of the same premultiplied
//    picture (source-over, unscaled), in megapixels per second;
//  - the own bilinear resampler against QPainter::drawImage with smooth
//    transformation to the same enlarged size, in destination megapixels per second;
//  - CreateDropShadow at blur depths 1 and 10 on a 1024 x 1024 picture; the
//    running sums keep depth 10 near depth 1.
// The picture is a 1024 x 1024 pattern with soft, partly transparent regions.
#include "best_time.h"
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "image/c32bppdib.h"
#include "image/render_pixels.h"

namespace {

constexpr int kSide = 1024;
constexpr int kScaledSide = 1536;

// Round soft-edged discs on a transparent ground, with opaque bands: a mix of
// skipped, copied and blended pixels like a real picture with alpha.
void paintPicture(c32bppDIB& image) {
  for (int y = 0; y < kSide; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image.BitsPointer() + image.pixelOffset(0, y));
    for (int x = 0; x < kSide; ++x) {
      const double dx = (x % 128) - 64.0, dy = (y % 128) - 64.0;
      const double d = std::sqrt(dx * dx + dy * dy);
      uint32_t a = d < 40 ? 255 : (d < 64 ? static_cast<uint32_t>(255 * (64 - d) / 24) : 0);
      if ((y / 256) % 2 == 1 && (x / 256) % 2 == 1) a = 255;
      const uint32_t r = (x * 255 / kSide) * a / 255, g = (y * 255 / kSide) * a / 255,
                     b = ((x ^ y) & 0xFF) * a / 255;
      row[x] = a == 0 ? 0 : (a << 24) | (r << 16) | (g << 8) | b;
    }
  }
  image.SetAlphaFlag(true);
}

double megapixels(double pixels, double seconds) { return pixels / seconds / 1e6; }

}  // namespace

int main() {
  c32bppDIB picture;
  if (!picture.InitializeDIB(kSide, kSide)) return 1;
  paintPicture(picture);
  const renderpix::PixelBlock block =
      renderpix::MirrorCopy(picture, 0, 0, kSide, kSide, false, false);
  // Drawing into a picture, the blender gets its block in the picture's row
  // order, as Render makes it.
  const renderpix::PixelBlock blockForPicture = renderpix::MirrorCopy(
      picture, 0, 0, kSide, kSide, false, false, renderpix::RowOrder::kBottomUp);
  QImage qtPicture(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
  std::memcpy(qtPicture.bits(), block.pixels.data(), block.pixels.size() * 4);
  const int runs = 30;

  // Blending onto a half-transparent backdrop; each run starts from a fresh
  // copy, made outside the timed part.
  c32bppDIB target;
  target.InitializeDIB(kSide, kSide);
  std::vector<uint8_t> backdrop(static_cast<size_t>(kSide) * kSide * 4, 0x60);
  QImage qtTarget(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
  const double pixels = static_cast<double>(kSide) * kSide;
  const auto resetOwn = [&] {
    std::memcpy(target.BitsPointer(), backdrop.data(), backdrop.size());
  };
  const auto resetQt = [&] { std::memcpy(qtTarget.bits(), backdrop.data(), backdrop.size()); };
  // Own and QPainter in turns, on this thread's CPU clock (QPainter blends
  // on the calling thread): a shared machine's noise weighs on both alike.
  const auto blendAt = [&](uint32_t opacity) {
    return bestThreadSecondsInTurns(
        runs * 5, resetOwn,
        [&] { renderpix::BlendIntoImage(blockForPicture, target, 0, 0, opacity, -1); }, resetQt,
        [&] {
          QPainter painter(&qtTarget);
          painter.setOpacity(opacity / 255.0);
          painter.drawImage(0, 0, qtPicture);
        });
  };
  const auto [ownFull, qtFull] = blendAt(255);
  std::printf("blend %dx%d:      own %8.1f MP/s   QPainter %8.1f MP/s   ratio %.2f (goal >= 0.9)\n",
              kSide, kSide, megapixels(pixels, ownFull), megapixels(pixels, qtFull),
              qtFull / ownFull);
  // The same blend at 60 % opacity, where every visible pixel is mixed.
  const auto [ownHalf, qtHalf] = blendAt(153);
  std::printf("blend at 60 %%:       own %8.1f MP/s   QPainter %8.1f MP/s   ratio %.2f\n",
              megapixels(pixels, ownHalf), megapixels(pixels, qtHalf), qtHalf / ownHalf);

  // Bilinear enlargement 1024 -> 1536.
  renderpix::PixelBlock scaled;
  const double ownScale = bestSeconds(
      runs / 3, [&] { renderpix::Resample(block, kScaledSide, kScaledSide, true, scaled); });
  QImage qtScaled(kScaledSide, kScaledSide, QImage::Format_ARGB32_Premultiplied);
  const double qtScale = bestSeconds(runs / 3, [&] {
    qtScaled.fill(Qt::transparent);
    QPainter painter(&qtScaled);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRect(0, 0, kScaledSide, kScaledSide), qtPicture);
  });
  const double scaledPixels = static_cast<double>(kScaledSide) * kScaledSide;
  std::printf(
      "bilinear to %dx%d: own %8.1f MP/s   QPainter %8.1f MP/s   ratio %.2f (goal >= 0.8)\n",
      kScaledSide, kScaledSide, megapixels(scaledPixels, ownScale),
      megapixels(scaledPixels, qtScale), qtScale / ownScale);

  // Drop shadows.
  const double depth1 = bestSeconds(runs / 2, [&] { (void)picture.CreateDropShadow(1, 0); });
  const double depth10 = bestSeconds(runs / 2, [&] { (void)picture.CreateDropShadow(10, 0); });
  std::printf("drop shadow %dx%d: depth 1 %.2f ms   depth 10 %.2f ms   ratio %.2f (goal <= 1.5)\n",
              kSide, kSide, depth1 * 1e3, depth10 * 1e3, depth10 / depth1);
  return 0;
}
