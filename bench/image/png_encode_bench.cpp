// PNG encoding, printed (never asserted): the own encoder (cPNGwriter, default
// settings) against libpng's default writer (simplified API, RGB or RGBA from
// the same straight pixels) on the same images: total output size and total
// time, best of several runs, with the ratios own / libpng.
// Images: the benchmark folder (argument 1, default the shared test data) and
// the PngSuite in tests/data, decoded by the own decoder first.
#include "best_time.h"
#include "image/c32bppdib.h"
#include "image/codecs/cpngwriter.h"

#include <QDir>

#include <png.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

struct Picture {
  QString name;
  std::unique_ptr<c32bppDIB> image;
  std::vector<uint8_t> straight;  // top-down RGBA or RGB for libpng
  bool alpha = false;
};

std::vector<Picture> loadAll(const QStringList& folders) {
  std::vector<Picture> pictures;
  for (const QString& folder : folders) {
    const QDir dir(folder);
    for (const QString& name : dir.entryList({"[!x]*.png"}, QDir::Files, QDir::Name)) {
      Picture p;
      p.name = name;
      p.image = std::make_unique<c32bppDIB>();
      p.image->setGDIplusEnabled(false);
      if (!p.image->LoadPicture_File(dir.filePath(name))) continue;
      p.alpha = p.image->Alpha();
      DibBits bits;
      DibBitsLayout layout;
      layout.asBGRformat = false;
      layout.asBottomUp = false;
      layout.as32bpp = p.alpha;
      p.image->GetDIBbits(bits, layout, 0, 0, 0, 0, false);
      p.straight = std::move(bits.bytes);
      pictures.push_back(std::move(p));
    }
  }
  return pictures;
}

size_t encodeWithLibpng(const Picture& p) {
  png_image info{};
  info.version = PNG_IMAGE_VERSION;
  info.width = static_cast<png_uint_32>(p.image->Width());
  info.height = static_cast<png_uint_32>(p.image->Height());
  info.format = p.alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_get_memory_size(info, size, 0, p.straight.data(), 0, nullptr)) return 0;
  std::vector<uint8_t> out(size);
  if (!png_image_write_to_memory(&info, out.data(), &size, 0, p.straight.data(), 0, nullptr)) {
    return 0;
  }
  return size;
}

}  // namespace

int main(int argc, char** argv) {
  const QString benchFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : VANTREL_BENCH_IMAGES;
  const std::vector<Picture> pictures = loadAll({benchFolder, VANTREL_SUITE_IMAGES});
  if (pictures.empty()) {
    std::fprintf(stderr, "no images found\n");
    return 1;
  }
  const cPNGwriter writer;
  size_t ownBytes = 0, libpngBytes = 0;
  const double ownTime = bestSeconds(3, [&] {
    ownBytes = 0;
    for (const Picture& p : pictures) {
      std::vector<uint8_t> out;
      writer.SavePNG(*p.image, QString(), out);
      ownBytes += out.size();
    }
  });
  const double libpngTime = bestSeconds(3, [&] {
    libpngBytes = 0;
    for (const Picture& p : pictures) libpngBytes += encodeWithLibpng(p);
  });
  std::printf("images: %zu\n", pictures.size());
  std::printf("own encoder:    %10zu bytes  %8.3f s\n", ownBytes, ownTime);
  std::printf("libpng default: %10zu bytes  %8.3f s\n", libpngBytes, libpngTime);
  std::printf("size ratio own/libpng: %.3f (goal <= 0.97)\n",
              static_cast<double>(ownBytes) / static_cast<double>(libpngBytes));
  std::printf("time ratio own/libpng: %.2f (goal <= 4)\n", ownTime / libpngTime);
  return 0;
}
