// vantrel-emblem: writes Vantrel's emblem as a PNG with per-pixel alpha.
//   vantrel-emblem OUT.png [WIDTHxHEIGHT]     (default 241x140)
#include <QGuiApplication>
#include <QTextStream>

#include "emblem.h"

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  QTextStream err(stderr);
  const QStringList args = app.arguments();
  if (args.size() < 2 || args.size() > 3) {
    err << "usage: vantrel-emblem OUT.png [WIDTHxHEIGHT]\n";
    return 2;
  }
  QSize size(241, 140);
  if (args.size() == 3) {
    const QStringList sides = args[2].toLower().split(QLatin1Char('x'));
    const int width = sides.value(0).toInt();
    const int height = sides.value(1).toInt();
    if (sides.size() != 2 || width < 16 || height < 16 || width > 4096 || height > 4096) {
      err << "vantrel-emblem: the size is WIDTHxHEIGHT, each 16..4096\n";
      return 2;
    }
    size = QSize(width, height);
  }
  if (!drawVantrelEmblem(size).save(args[1], "PNG")) {
    err << "vantrel-emblem: cannot write " << args[1] << "\n";
    return 1;
  }
  return 0;
}
