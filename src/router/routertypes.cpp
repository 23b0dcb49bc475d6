#include "router/routertypes.h"

namespace router {

QString transportName(Transport transport) {
  return transport == Transport::Tcp ? QStringLiteral("tcp") : QStringLiteral("udp");
}

QString methodName(Method method) {
  switch (method) {
    case Method::UpnpIgd:
      return QStringLiteral("upnp-igd");
    case Method::NatPmp:
      return QStringLiteral("nat-pmp");
    case Method::None:
      break;
  }
  return {};
}

QString describe(const Outcome& outcome) {
  QString text;
  switch (outcome.failure) {
    case Failure::None:
      return QStringLiteral("done");
    case Failure::NoRouter:
      return QStringLiteral("no router answered (UPnP IGD or NAT-PMP)");
    case Failure::NoAnswer:
      text = QStringLiteral("the router did not answer in time");
      break;
    case Failure::BadAnswer:
      text = QStringLiteral("the router's answer could not be read");
      break;
    case Failure::Conflict:
      text = QStringLiteral("the port is already forwarded elsewhere");
      break;
    case Failure::NotAuthorised:
      text = QStringLiteral("the router does not allow this");
      break;
    case Failure::Refused:
      text = QStringLiteral("the router refused");
      break;
    case Failure::NotSupported:
      return QStringLiteral("the router cannot tell (NAT-PMP lists no rules)");
    case Failure::WrongLocalAddress:
      return QStringLiteral("the router is not reached from the chosen local address");
    case Failure::BadArgument:
      return QStringLiteral("port or lease out of range");
    case Failure::NotOurs:
      return QStringLiteral("this program did not add that rule");
  }
  if (outcome.code != 0) text += QStringLiteral(" (error %1)").arg(outcome.code);
  return text;
}

}  // namespace router
