// vantrel-image [--no-gdiplus] render FILE OUT.png [--width W] [--height H]
//     [--opacity P] [--angle A] [--grayscale G] [--lightness L] [--mirror-x]
//     [--mirror-y] [--shadow DEPTH]
//
// Loads FILE, draws it with Render into a new transparent image of the drawn
// size (a square that holds every turn when an angle is given) and, with
// --shadow, puts a black drop shadow of that drawing beneath it. Prints
// "WIDTH HEIGHT" of the saved picture.
#include "render_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>

#include "image/c32bppdib.h"
#include "persist/atomicfile.h"

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

struct RenderOptions {
  QString input, output;
  int32_t width = 0, height = 0, opacity = 100, grayscale = -1, shadow = -1;
  float angle = 0, lightness = 0;
  bool mirrorX = false, mirrorY = false, noGdiplus = false;
};

int usage(const QString& problem) {
  std::fprintf(stderr,
               "vantrel-image: %s\n"
               "usage: vantrel-image [--no-gdiplus] render FILE OUT.png [--width W] [--height H]\n"
               "         [--opacity P] [--angle A] [--grayscale G] [--lightness L]\n"
               "         [--mirror-x] [--mirror-y] [--shadow DEPTH]\n",
               qPrintable(problem));
  return kBadUsage;
}

bool parse(const QStringList& args, RenderOptions& o, QString& problem) {
  const std::map<QString, int32_t*> integers = {{"--width", &o.width},
                                                {"--height", &o.height},
                                                {"--opacity", &o.opacity},
                                                {"--grayscale", &o.grayscale},
                                                {"--shadow", &o.shadow}};
  const std::map<QString, float*> reals = {{"--angle", &o.angle}, {"--lightness", &o.lightness}};
  QStringList words;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (arg == "--mirror-x") {
      o.mirrorX = true;
      continue;
    }
    if (arg == "--mirror-y") {
      o.mirrorY = true;
      continue;
    }
    if (arg == "--no-gdiplus") {
      o.noGdiplus = true;
      continue;
    }
    const auto integer = integers.find(arg);
    const auto real = reals.find(arg);
    if (integer != integers.end() || real != reals.end()) {
      if (i + 1 >= args.size()) {
        problem = arg + " needs a value";
        return false;
      }
      bool ok = false;
      if (integer != integers.end())
        *integer->second = args[++i].toInt(&ok);
      else
        *real->second = args[++i].toFloat(&ok);
      if (!ok) {
        problem = "not a number for " + arg + ": " + args[i];
        return false;
      }
      continue;
    }
    if (arg.startsWith("--") && arg.size() > 2) {
      problem = "unknown option " + arg;
      return false;
    }
    words << arg;
  }
  if (words.size() != 3 || words[0] != "render") {
    problem = "wrong number of arguments for render";
    return false;
  }
  o.input = words[1];
  o.output = words[2];
  return true;
}

// Saves the drawing as a PNG file with the image engine's own saving path.
bool savePng(const c32bppDIB& image, const QString& path) {
  std::vector<uint8_t> bytes;
  if (!image.SaveToStream_PNG(bytes)) return false;
  return writeFileAtomically(path,
                             QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

// Loads, draws and saves; the exit status.
int render(const RenderOptions& o) {
  c32bppDIB picture;
  if (o.noGdiplus) picture.setGDIplusEnabled(false);
  if (!picture.LoadPicture_File(o.input)) {
    std::fprintf(stderr, "vantrel-image: cannot load %s\n", qPrintable(o.input));
    return kFailed;
  }
  // Sizes in 64 bits until they are known to fit the limit (and so 32 bits).
  const int64_t wide = std::llabs(int64_t{o.width != 0 ? o.width : picture.Width()});
  const int64_t high = std::llabs(int64_t{o.height != 0 ? o.height : picture.Height()});
  const bool turned = std::fmod(std::round(o.angle), 360.0f) != 0;
  const int64_t side = std::llround(std::sqrt(double(wide) * wide + double(high) * high));
  const int64_t drawingWidth = turned ? side : wide, drawingHeight = turned ? side : high;
  if (drawingWidth * drawingHeight > c32bppDIB::kMaxRenderPixels) {
    std::fprintf(stderr, "vantrel-image: a %lld x %lld drawing exceeds the limit of %lld pixels\n",
                 static_cast<long long>(drawingWidth), static_cast<long long>(drawingHeight),
                 static_cast<long long>(c32bppDIB::kMaxRenderPixels));
    return kFailed;
  }
  const auto width = static_cast<int32_t>(wide), height = static_cast<int32_t>(high);
  c32bppDIB drawing;
  if (!drawing.InitializeDIB(static_cast<int32_t>(drawingWidth),
                             static_cast<int32_t>(drawingHeight))) {
    std::fprintf(stderr, "vantrel-image: cannot make a %d x %d picture\n", width, height);
    return kFailed;
  }
  const bool drawn =
      picture.Render(nullptr, drawing.Width() / 2, drawing.Height() / 2, o.mirrorX ? -width : width,
                     o.mirrorY ? -height : height, 0, 0, 0, 0, o.opacity, true, &drawing,
                     o.grayscale, o.lightness, o.angle, true);
  if (!drawn) {
    std::fprintf(stderr, "vantrel-image: nothing could be drawn\n");
    return kFailed;
  }
  c32bppDIB shadowed;
  const c32bppDIB* result = &drawing;
  if (o.shadow >= 0) {
    const int32_t margin = 2 * std::clamp(o.shadow, 0, 10);
    if (!shadowed.InitializeDIB(drawing.Width() + margin, drawing.Height() + margin) ||
        !drawing.RenderDropShadow_JIT(nullptr, 0, 0, o.shadow, 0x000000, 100, &shadowed) ||
        !drawing.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 100, true, &shadowed)) {
      std::fprintf(stderr, "vantrel-image: the shadow could not be drawn\n");
      return kFailed;
    }
    result = &shadowed;
  }
  if (!savePng(*result, o.output)) {
    std::fprintf(stderr, "vantrel-image: cannot write %s\n", qPrintable(o.output));
    return kFailed;
  }
  std::printf("%d %d\n", result->Width(), result->Height());
  return kDone;
}

}  // namespace

int runRenderCommand(const QStringList& args) {
  RenderOptions o;
  QString problem;
  if (!parse(args, o, problem)) return usage(problem);
  // Whatever still cannot be had is a failure to report, not a reason to abort.
  try {
    return render(o);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "vantrel-image: not enough memory for this drawing\n");
    return kFailed;
  }
}
