#include "checkreport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>

namespace {

QString portName(const TestedPort& tested) {
  return QString::number(tested.port) + QLatin1Char('/') + protocolName(tested.protocol);
}

// One value as JSON text: the writer only takes arrays and objects, so the
// value goes through a one-element array whose brackets are then dropped.
QByteArray jsonValueText(const QJsonValue& value) {
  const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
  return array.sliced(1, array.size() - 2);
}

QByteArray routerJson(const router::GatewayInfo& gateway) {
  const QJsonValue null(QJsonValue::Null);
  const QJsonValue protocol =
      gateway.found() ? QJsonValue(router::methodName(gateway.method)) : null;
  const QJsonValue external =
      gateway.externalAddress ? QJsonValue(gateway.externalAddress->text()) : null;
  return ",\"router\":{\"found\":" + jsonValueText(gateway.found()) +
         ",\"protocol\":" + jsonValueText(protocol) +
         ",\"external_address\":" + jsonValueText(external) + '}';
}

}  // namespace

QString portLine(const ReportedPort& port) {
  const PortTestOutcome& outcome = port.test;
  QString line = portName(outcome.tested) + QLatin1Char(' ') + resultName(outcome.result);
  if (outcome.result == PortResult::Error) line += QStringLiteral(": ") + outcome.detail;
  if (port.router && !port.router->reason.isEmpty()) {
    line += QStringLiteral(" (") + port.router->reason + QLatin1Char(')');
  }
  return line;
}

QString publicAddressLine(const QString& publicAddress) {
  return QStringLiteral("public address seen by the site: ") +
         (publicAddress.isEmpty() ? QStringLiteral("unknown (the site tested no port)")
                                  : publicAddress);
}

QByteArray jsonReport(const CheckOptions& options, const QString& publicAddress,
                      const router::GatewayInfo* gateway,
                      const std::vector<ReportedPort>& reported) {
  QByteArray ports = "[";
  for (const ReportedPort& port : reported) {
    const PortTestOutcome& outcome = port.test;
    if (ports.size() > 1) ports += ',';
    ports += "{\"port\":" + QByteArray::number(outcome.tested.port) +
             ",\"protocol\":" + jsonValueText(protocolName(outcome.tested.protocol)) +
             ",\"family\":" +
             jsonValueText(options.ipv6 ? QStringLiteral("ipv6") : QStringLiteral("ipv4")) +
             ",\"result\":" + jsonValueText(resultName(outcome.result)) +
             ",\"detail\":" + jsonValueText(outcome.detail);
    if (port.router) {
      ports += ",\"diagnosis\":" + jsonValueText(router::diagnosisName(port.router->diagnosis));
      if (port.router->forwarded)
        ports += ",\"forwarded\":" + jsonValueText(*port.router->forwarded);
    }
    ports += '}';
  }
  ports += ']';
  // Written by hand in the documented order (an object sorts its keys), each
  // value through the JSON writer so that every text is escaped correctly.
  const QJsonValue address =
      publicAddress.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(publicAddress);
  return "{\"site\":" + jsonValueText(options.site) + ",\"ip\":" + jsonValueText(options.localIp) +
         ",\"public_address\":" + jsonValueText(address) +
         (gateway ? routerJson(*gateway) : QByteArray()) + ",\"ports\":" + ports + "}\n";
}

int exitStatusOf(const std::vector<ReportedPort>& ports) {
  const bool allOpen = std::all_of(ports.begin(), ports.end(), [](const ReportedPort& port) {
    return port.test.result == PortResult::Open;
  });
  return allOpen ? 0 : 1;
}
