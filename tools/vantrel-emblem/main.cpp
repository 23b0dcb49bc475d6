// vantrel-emblem: writes Vantrel's emblem as a PNG with per-pixel alpha.
//   vantrel-emblem OUT.png [WIDTHxHEIGHT]     (default 241x140)
//   vantrel-emblem --icon OUT.png SIDE        the square program icon
#include <QGuiApplication>
#include <QTextStream>

#include <optional>

#include "emblem.h"

namespace {

constexpr int kMinSide = 16;
constexpr int kMaxSide = 4096;

std::optional<int> side(const QString& text) {
  bool ok = false;
  const int value = text.toInt(&ok);
  if (!ok || value < kMinSide || value > kMaxSide) return std::nullopt;
  return value;
}

}  // namespace

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  QTextStream err(stderr);
  QStringList args = app.arguments();
  const bool icon = args.size() > 1 && args[1] == QLatin1String("--icon");
  if (icon) args.removeAt(1);
  if (args.size() < 2 || args.size() > 3 || (icon && args.size() != 3)) {
    err << "usage: vantrel-emblem OUT.png [WIDTHxHEIGHT]\n"
           "       vantrel-emblem --icon OUT.png SIDE\n";
    return 2;
  }
  QImage image;
  if (icon) {
    const std::optional<int> iconSide = side(args[2]);
    if (!iconSide) {
      err << "vantrel-emblem: the side is " << kMinSide << ".." << kMaxSide << "\n";
      return 2;
    }
    image = drawVantrelIcon(*iconSide);
  } else {
    QSize size(241, 140);
    if (args.size() == 3) {
      const QStringList sides = args[2].toLower().split(QLatin1Char('x'));
      const std::optional<int> width = side(sides.value(0));
      const std::optional<int> height = side(sides.value(1));
      if (sides.size() != 2 || !width || !height) {
        err << "vantrel-emblem: the size is WIDTHxHEIGHT, each " << kMinSide << ".." << kMaxSide
            << "\n";
        return 2;
      }
      size = QSize(*width, *height);
    }
    image = drawVantrelEmblem(size);
  }
  if (!image.save(args[1], "PNG")) {
    err << "vantrel-emblem: cannot write " << args[1] << "\n";
    return 1;
  }
  return 0;
}
