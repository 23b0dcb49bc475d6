#pragma once
// What a port test ends as, and the one rule that turns a run into it.
#include <QString>

#include "app/engine/portlistener.h"

enum class PortResult {
  Open,          // an arrival came before the site's answer
  Closed,        // the site answered and nothing had arrived
  InUse,         // another program holds the port; nothing was tested
  NoPermission,  // a port below 1024 without the permission helper's help
  Error,         // the port could not be opened, or the site refused the test
};

// "open", "closed", "in-use", "no-permission", "error".
QString resultName(PortResult result);

// The verdict once the site's answer has arrived: open exactly when the
// listener saw an arrival before it. Taken at the moment the answer comes in,
// before any later event can add an arrival.
inline PortResult verdictFor(bool arrivalBeforeAnswer) {
  return arrivalBeforeAnswer ? PortResult::Open : PortResult::Closed;
}

// The result of a port that could not be opened (never Open or Closed).
PortResult resultOfOpening(const PortOpening& opening);
