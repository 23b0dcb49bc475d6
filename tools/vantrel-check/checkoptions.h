#pragma once
// The command line of vantrel-check and what it stands for.
#include <QString>
#include <QStringList>
#include <chrono>
#include <vector>

#include "app/engine/testedport.h"

struct CheckOptions {
  QString site;     // no trailing "/"
  QString localIp;  // dotted IPv4
  bool json = false;
  bool router = false;   // --router, and implied by --forward
  bool forward = false;  // --forward
  int leaseSeconds = 0;  // of a --forward rule
  std::chrono::milliseconds timeout{0};  // per port
  std::vector<TestedPort> ports;
};

struct ParsedCheckOptions {
  enum class Action { Run, ShowHelp, Fail };
  Action action = Action::Fail;
  CheckOptions options;
  QString text;  // ShowHelp: the help; Fail: what is wrong, one line
};

// `arguments` includes the program name. Defaults come from the program's
// folder (settings.ini, ports.dat) and this computer's first address.
ParsedCheckOptions parseCheckOptions(const QStringList& arguments, const QString& programFolder);
