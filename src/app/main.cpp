// Vantrel: checks, port by port, whether the home router forwards a TCP or UDP
// port to this computer.
#include <QApplication>
#include <QCoreApplication>

#include "app/closeonsignal.h"
#include "app/frmmain.h"
#include "app/outside/browserrendering.h"

int main(int argc, char** argv) {
  allowBrowserEngineAsRoot();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vantrel"));
  chooseBrowserRendering();

  FrmMain window(QCoreApplication::applicationDirPath());
  window.Form_Load();
  window.show();
  CloseOnSignal closeOnSignal(&window);
  return QApplication::exec();
}
