#pragma once
// The command line of vantrel-check and what it stands for.
#include <QString>
#include <QStringList>
#include <chrono>
#include <vector>

#include "app/engine/siteroute.h"
#include "app/engine/testedport.h"

struct CheckOptions {
  QString site;       // no trailing "/"
  QString localIp;    // dotted IPv4, or an IPv6 address
  bool ipv6 = false;  // the family of localIp, and the one the site is reached over
  SiteRoute route;    // where the requests go
  bool json = false;
  bool router = false;                   // --router, and implied by --forward
  bool forward = false;                  // --forward
  int leaseSeconds = 0;                  // of a --forward rule
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
// folder (settings.ini, ports.dat) and this computer's first address (with
// -6: the IPv6 address it reaches the site from). Looks up the site's name
// for -6 (a bounded wait).
ParsedCheckOptions parseCheckOptions(const QStringList& arguments, const QString& programFolder);
