// vantrel-image: loads an image through the image engine and reports it.
//
//   vantrel-image [--no-gdiplus] [--no-zlib] info FILE
//   vantrel-image [--no-gdiplus] [--no-zlib] [--straight] decode FILE OUT
//   vantrel-image [--no-gdiplus] [--no-zlib] png FILE OUT.png
//   vantrel-image [--no-gdiplus] [--no-zlib] bmp FILE OUT.bmp
//   vantrel-image [--no-gdiplus] render FILE OUT.png [options]  (see render_command.cpp)
//
// Every command but render takes --icon WxHxD: the icon entry wanted from an icon or cursor
// file (without it: size 0 x 0, the decoder's default, and depth 32).
// All print "WIDTH HEIGHT IMAGETYPE ALPHA". decode also writes the pixels to OUT
// as raw top-down RGBA, premultiplied as stored unless --straight is given; png
// and bmp write the image saved as a PNG or bitmap file.
// When no image was loaded, the reason goes to standard error.
// Exit status: 0 an image was loaded, 1 none was (or OUT could not be written),
// 2 bad usage.
#include "image/c32bppdib.h"
#include "persist/atomicfile.h"
#include "render_command.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kLoaded = 0;
constexpr int kNotLoaded = 1;
constexpr int kBadUsage = 2;

struct Options {
  QString command;
  QStringList operands;
  bool noGdiplus = false;
  bool noZlib = false;
  bool straight = false;
  int32_t iconCx = 0, iconCy = 0, iconBitDepth = 32;
};

// "WxHxD", three whole numbers.
bool parseIconRequest(const QString& text, Options& options) {
  const QStringList parts = text.split('x');
  if (parts.size() != 3) return false;
  bool ok[3] = {};
  options.iconCx = parts[0].toInt(&ok[0]);
  options.iconCy = parts[1].toInt(&ok[1]);
  options.iconBitDepth = parts[2].toInt(&ok[2]);
  return ok[0] && ok[1] && ok[2];
}

int usage(const char* problem) {
  std::fprintf(stderr,
               "vantrel-image: %s\n"
               "usage: vantrel-image [--no-gdiplus] [--no-zlib] info FILE\n"
               "       vantrel-image [--no-gdiplus] [--no-zlib] [--straight] decode FILE OUT\n"
               "       vantrel-image [--no-gdiplus] [--no-zlib] png|bmp FILE OUT\n"
               "       vantrel-image [--no-gdiplus] render FILE OUT.png [options]\n"
               "       (info, decode, png and bmp take --icon WxHxD to choose an icon entry)\n",
               problem);
  return kBadUsage;
}

bool parse(const QStringList& args, Options& options, QString& problem) {
  QStringList words;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (arg == "--icon") {
      if (i + 1 >= args.size() || !parseIconRequest(args[i + 1], options)) {
        problem = "--icon wants WIDTHxHEIGHTxDEPTH";
        return false;
      }
      ++i;
    } else if (arg == "--no-gdiplus") {
      options.noGdiplus = true;
    } else if (arg == "--no-zlib") {
      options.noZlib = true;
    } else if (arg == "--straight") {
      options.straight = true;
    } else if (arg.startsWith("--") && arg.size() > 2) {
      problem = "unknown option " + arg;
      return false;
    } else {
      words << arg;
    }
  }
  if (words.isEmpty()) {
    problem = "no command given";
    return false;
  }
  options.command = words.takeFirst();
  options.operands = words;
  if (options.command == "info" && words.size() == 1) return true;
  const bool writes =
      options.command == "decode" || options.command == "png" || options.command == "bmp";
  if (writes && words.size() == 2) return true;
  problem = (options.command == "info" || writes)
                ? "wrong number of arguments for " + options.command
                : "unknown command " + options.command;
  return false;
}

bool writePixels(const c32bppDIB& image, const QString& path, bool straight) {
  DibBits bits;
  DibBitsLayout layout;
  layout.asBGRformat = false;
  layout.asBottomUp = false;
  if (!image.GetDIBbits(bits, layout, 0, 0, 0, 0, !straight)) return false;
  return writeFileAtomically(
      path, QByteArrayView(bits.bytes.data(), static_cast<qsizetype>(bits.bytes.size())));
}

bool writeBytes(const std::vector<uint8_t>& bytes, const QString& path) {
  return writeFileAtomically(path,
                             QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

// Saves the image as the command asks; false when nothing could be written.
bool writeOutput(const c32bppDIB& image, const Options& options) {
  const QString& path = options.operands[1];
  if (options.command == "decode") return writePixels(image, path, options.straight);
  std::vector<uint8_t> bytes;
  const bool saved =
      options.command == "png" ? image.SaveToStream_PNG(bytes) : image.SaveToStream(bytes);
  return saved && writeBytes(bytes, path);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Options options;
  const QStringList args = app.arguments().mid(1);
  const auto firstWord =
      std::find_if(args.begin(), args.end(), [](const QString& a) { return !a.startsWith("--"); });
  if (firstWord != args.end() && *firstWord == "render") return runRenderCommand(args);
  QString problem;
  if (!parse(app.arguments().mid(1), options, problem))
    return usage(problem.toLocal8Bit().constData());

  c32bppDIB image;
  if (options.noGdiplus) image.setGDIplusEnabled(false);
  if (options.noZlib) image.setZlibAllowed(false);
  const bool loaded = image.LoadPicture_File(options.operands[0], options.iconCx, options.iconCy,
                                             false, options.iconBitDepth);
  std::printf("%d %d %d %d\n", image.Width(), image.Height(), image.ImageType(),
              image.Alpha() ? 1 : 0);
  std::fflush(stdout);
  if (!loaded) {
    std::fprintf(stderr, "vantrel-image: %s\n", image.lastLoadFailureText().c_str());
    return kNotLoaded;
  }
  if (options.command != "info" && !writeOutput(image, options)) {
    std::fprintf(stderr, "vantrel-image: cannot write %s\n", qPrintable(options.operands[1]));
    return kNotLoaded;
  }
  return kLoaded;
}
