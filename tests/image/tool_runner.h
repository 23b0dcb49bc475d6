#pragma once
// Runs the built vantrel-image tool the way a user would, bounded in time.
#include "test_support.h"

#include <QProcess>
#include <QString>
#include <QStringList>

struct ToolRun {
  int exitCode = -1;  // -1 when the tool crashed or did not finish
  QString output;
  QString errors;  // standard error
};

inline ToolRun runTool(const QStringList& args) {
  QProcess process;
  process.start(testsupport::binDir() + "/vantrel-image", args);
  ToolRun run;
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished(5000);
    return run;
  }
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.output = QString::fromUtf8(process.readAllStandardOutput());
  run.errors = QString::fromUtf8(process.readAllStandardError());
  return run;
}

inline QString suite(const char* name) { return testsupport::dataDir() + "/pngsuite/" + name; }
