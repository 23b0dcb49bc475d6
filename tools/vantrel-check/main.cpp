// vantrel-check: the port test from a terminal. See --help.
#include <QCoreApplication>
#include <cstdio>

#include "checkoptions.h"
#include "checkrun.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("vantrel-check"));

  const ParsedCheckOptions parsed =
      parseCheckOptions(app.arguments(), QCoreApplication::applicationDirPath());
  switch (parsed.action) {
    case ParsedCheckOptions::Action::ShowHelp:
      std::fputs(parsed.text.toLocal8Bit().constData(), stdout);
      return 0;
    case ParsedCheckOptions::Action::Fail:
      std::fprintf(stderr, "vantrel-check: %s\nTry 'vantrel-check --help'.\n",
                   parsed.text.toLocal8Bit().constData());
      return kExitNoTest;
    case ParsedCheckOptions::Action::Run:
      break;
  }

  CheckRun run(parsed.options);
  QObject::connect(
      &run, &CheckRun::done, &app, [](int status) { QCoreApplication::exit(status); },
      Qt::QueuedConnection);
  run.start();
  return app.exec();
}
