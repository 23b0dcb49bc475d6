// One run of a program with an anchored window: shows the window, lets the
// anchor restore the remembered position, prints it, optionally moves the window
// and exits, so the anchor saves the position for the next run.
//
//   anchor_position_probe [<left> <top>]     (pixels)
// prints "restored <left> <top>" with the window's position after DoInit.
#include <QApplication>
#include <QLabel>
#include <QTextStream>
#include <QWidget>
#include <cstdio>

#include "controls/anchor.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = app.arguments();

  QWidget window;
  window.setWindowTitle("Anchor position probe");
  window.resize(320, 200);
  auto* label = new QLabel("anchored", &window);
  label->setProperty("Tag", "TTFF*/");
  auto* anchor = new Anchor(&window);
  anchor->setRegString("VantrelAnchorProbe,Windows,Probe,");
  window.show();
  QApplication::processEvents();

  anchor->DoInit();
  QApplication::processEvents();
  QTextStream out(stdout);
  out << "restored " << window.pos().x() << ' ' << window.pos().y() << Qt::endl;

  if (args.size() >= 3) {
    window.move(args.at(1).toInt(), args.at(2).toInt());
    QApplication::processEvents();
    out << "moved " << window.pos().x() << ' ' << window.pos().y() << Qt::endl;
  }
  return 0;
}
