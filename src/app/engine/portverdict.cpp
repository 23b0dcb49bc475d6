#include "app/engine/portverdict.h"

QString resultName(PortResult result) {
  switch (result) {
    case PortResult::Open:
      return QStringLiteral("open");
    case PortResult::Closed:
      return QStringLiteral("closed");
    case PortResult::InUse:
      return QStringLiteral("in-use");
    case PortResult::NoPermission:
      return QStringLiteral("no-permission");
    case PortResult::Error:
      break;
  }
  return QStringLiteral("error");
}

PortResult resultOfOpening(const PortOpening& opening) {
  switch (opening.outcome) {
    case PortOpening::Outcome::InUse:
      return PortResult::InUse;
    case PortOpening::Outcome::NoPermission:
      return PortResult::NoPermission;
    case PortOpening::Outcome::Listening:
    case PortOpening::Outcome::Failed:
      break;
  }
  return PortResult::Error;
}
