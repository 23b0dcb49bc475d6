// PNG decoding throughput, printed (never asserted):
//  - the own decoder (system image service off, premultiplied BGRA out) against
//    libpng's simplified reading API producing RGBA, in megapixels per second;
//  - the whole own decode against zlib's uncompress of the same image data;
//  - the built-in inflate against zlib's uncompress on the same data;
//  - the own decoder with its vector loops against the same with the plain loops.
// Images: the benchmark folder (argument 1, default the shared test data) and
// the PngSuite in tests/data. Each figure is the best of several runs, in
// the CPU time of the measuring thread.
#include "image/c32bppdib.h"
#include "image/codecs/cpngparser.h"
#include "image/codecs/inflate.h"
#include "image/codecs/pngreconstruct.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

// On a machine shared with other work, the time the decoding thread itself
// spent is steadier than the wall clock; every figure here is measured so.
// The pieces of work take turns, one run each, so that a stretch of load from
// elsewhere falls on all of them alike and their ratios stay steady. Returns
// the best time of each.
std::vector<double> bestThreadSeconds(int runs, const std::vector<std::function<void()>>& works) {
  const auto now = [] {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  };
  std::vector<double> best(works.size(), 1e30);
  for (int i = 0; i < runs; ++i) {
    for (size_t w = 0; w < works.size(); ++w) {
      const double start = now();
      works[w]();
      best[w] = std::min(best[w], now() - start);
    }
  }
  return best;
}

uint32_t bigEndian32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// The joined IDAT data and the header of a PNG, read plainly.
struct PngData {
  std::vector<uint8_t> idat;
  pngpixels::PngHeader header;
};

bool extract(const std::vector<uint8_t>& file, PngData& out) {
  size_t pos = 8;
  bool haveHeader = false;
  while (pos + 12 <= file.size()) {
    const uint32_t length = bigEndian32(&file[pos]);
    if (length > file.size() - pos - 12) return false;
    const uint8_t* type = &file[pos + 4];
    const uint8_t* data = &file[pos + 8];
    if (std::memcmp(type, "IHDR", 4) == 0 && length >= 13) {
      out.header = {static_cast<int32_t>(bigEndian32(data)),
                    static_cast<int32_t>(bigEndian32(data + 4)), data[8], data[9], data[12]};
      haveHeader = true;
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      out.idat.insert(out.idat.end(), data, data + length);
    }
    pos += length + 12;
  }
  return haveHeader && !out.idat.empty();
}

struct Totals {
  double pixels = 0, own = 0, libpng = 0, uncompress = 0, inflate = 0, plain = 0;
  int images = 0;
};

void measure(const QString& path, Totals& totals, bool verbose) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return;
  const QByteArray raw = file.readAll();
  const std::vector<uint8_t> bytes(raw.begin(), raw.end());
  PngData png;
  if (!extract(bytes, png)) return;
  const size_t expected = pngpixels::expectedDataSize(png.header);
  if (expected == 0) return;
  const double pixels = static_cast<double>(png.header.width) * png.header.height;

  // Skip what either decoder refuses.
  c32bppDIB image;
  image.setGDIplusEnabled(false);
  cPNGparser parser;
  parser.LoadStream(bytes, image, 0, static_cast<int32_t>(bytes.size()), 0);
  if (!image.BitsPointer()) return;
  png_image simple{};
  simple.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&simple, bytes.data(), bytes.size())) return;
  simple.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(simple));
  const bool libpngOk = png_image_finish_read(&simple, nullptr, rgba.data(), 0, nullptr) != 0;
  png_image_free(&simple);
  if (!libpngOk) return;

  const int runs = pixels > 1e6 ? 9 : pixels > 1e5 ? 21 : 61;
  bool inflateOk = false;

  const auto decodeOwn = [&] {
    c32bppDIB target;
    target.setGDIplusEnabled(false);
    cPNGparser p;
    p.LoadStream(bytes, target, 0, static_cast<int32_t>(bytes.size()), 0);
  };
  const auto decodePlain = [&] {
    c32bppDIB target;
    target.setGDIplusEnabled(false);
    cPNGparser p;
    p.setKernels(pngpixels::Kernels::kScalar);
    p.LoadStream(bytes, target, 0, static_cast<int32_t>(bytes.size()), 0);
  };
  const auto decodeLibpng = [&] {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&img, bytes.data(), bytes.size());
    img.format = PNG_FORMAT_RGBA;
    // A caller decodes into a new buffer, as the own decoder does.
    std::unique_ptr<uint8_t, decltype(&std::free)> buffer(
        static_cast<uint8_t*>(std::malloc(PNG_IMAGE_SIZE(img))), &std::free);
    png_image_finish_read(&img, nullptr, buffer.get(), 0, nullptr);
    png_image_free(&img);
  };
  const auto uncompressZlib = [&] {
    std::unique_ptr<uint8_t, decltype(&std::free)> buffer(
        static_cast<uint8_t*>(std::malloc(expected)), &std::free);
    uLongf length = static_cast<uLongf>(expected);
    uncompress(buffer.get(), &length, png.idat.data(), static_cast<uLong>(png.idat.size()));
  };
  const auto inflateBuiltIn = [&] {
    std::unique_ptr<uint8_t, decltype(&std::free)> buffer(
        static_cast<uint8_t*>(std::calloc(expected, 1)), &std::free);
    inflateOk = pnginflate::Inflate(png.idat, {buffer.get(), expected}).code == pnginflate::kOk;
  };
  const std::vector<double> times = bestThreadSeconds(
      runs, {decodeOwn, decodePlain, decodeLibpng, uncompressZlib, inflateBuiltIn});
  const double own = times[0], plain = times[1], ref = times[2], unz = times[3], inf = times[4];
  if (!inflateOk) std::printf("  (the built-in inflate refused %s)\n", qPrintable(path));

  totals.pixels += pixels;
  totals.own += own;
  totals.libpng += ref;
  totals.uncompress += unz;
  totals.inflate += inf;
  totals.plain += plain;
  ++totals.images;
  if (verbose) {
    std::printf(
        "%-28s %5dx%-5d own %7.1f MP/s  libpng %7.1f MP/s  x%.2f  decode/uncompress %.2f  "
        "inflate/zlib speed %.2f  vector/plain %.2f\n",
        qPrintable(QFileInfo(path).fileName()), png.header.width, png.header.height,
        pixels / own / 1e6, pixels / ref / 1e6, ref / own, own / unz, unz / inf, plain / own);
  }
}

void report(const char* title, const Totals& t) {
  std::printf("\n%s: %d images, %.1f megapixels\n", title, t.images, t.pixels / 1e6);
  std::printf("  own decoder        %8.1f MP/s\n", t.pixels / t.own / 1e6);
  std::printf("  libpng simplified  %8.1f MP/s\n", t.pixels / t.libpng / 1e6);
  std::printf("  own / libpng throughput          %.2f  (goal >= 1.8)\n", t.libpng / t.own);
  std::printf("  own decode time / uncompress time %.2f  (goal <= 1.3)\n", t.own / t.uncompress);
  std::printf("  built-in inflate / zlib speed     %.2f  (goal >= 0.6)\n",
              t.uncompress / t.inflate);
  std::printf("  vector / plain loops speed        %.2f\n", t.plain / t.own);
}

}  // namespace

int main(int argc, char** argv) {
  const QString benchDir =
      argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(VANTREL_BENCH_IMAGES);
  const QString suiteDir =
      argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(VANTREL_SUITE_IMAGES);
  Totals bench, suite;
  std::printf("Benchmark images (%s)\n", qPrintable(benchDir));
  for (const QString& name : QDir(benchDir).entryList({"*.png"}, QDir::Files, QDir::Name)) {
    measure(benchDir + "/" + name, bench, true);
  }
  for (const QString& name : QDir(suiteDir).entryList({"[!x]*.png"}, QDir::Files, QDir::Name)) {
    measure(suiteDir + "/" + name, suite, false);
  }
  report("Benchmark images", bench);
  report("PngSuite", suite);
  Totals all = bench;
  all.pixels += suite.pixels;
  all.own += suite.own;
  all.libpng += suite.libpng;
  all.uncompress += suite.uncompress;
  all.inflate += suite.inflate;
  all.plain += suite.plain;
  all.images += suite.images;
  report("Whole set", all);
  return 0;
}
