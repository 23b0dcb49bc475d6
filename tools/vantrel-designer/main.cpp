// vantrel-designer: edits the image controls of a window's stored form data,
// in its window or, with --save, from the command line.
#include <QApplication>
#include <QTextStream>

#include <cstdio>

#include "designerbatch.h"
#include "designeroptions.h"
#include "designerwindow.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QTextStream err(stderr);
  QString error;
  const std::optional<DesignerOptions> options = parseDesignerOptions(app.arguments(), &error);
  if (!options) {
    err << "vantrel-designer: " << error << "\n" << designerUsage();
    return 2;
  }
  if (options->save) {
    if (!runDesignerBatch(*options, &error)) {
      err << "vantrel-designer: " << error << "\n";
      return 1;
    }
    return 0;
  }
  DesignerWindow window(options->controlSize);
  if (!options->formPath.isEmpty() && !window.openForm(options->formPath, &error)) {
    err << "vantrel-designer: " << error << "\n";
    return 1;
  }
  if (!options->formPath.isEmpty()) window.selectControl(options->controlName);
  window.show();
  return app.exec();
}
