#include "checkreport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>

namespace {

QString portName(const PortSpec& spec) { return QString::number(spec.port) + QLatin1Char('/') + protocolName(spec.protocol); }

// One value as JSON text: the writer only takes arrays and objects, so the
// value goes through a one-element array whose brackets are then dropped.
QByteArray jsonValueText(const QJsonValue& value) {
  const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
  return array.sliced(1, array.size() - 2);
}

}  // namespace

QString portLine(const PortTestOutcome& outcome) {
  QString line = portName(outcome.spec) + QLatin1Char(' ') + resultName(outcome.result);
  if (outcome.result == PortResult::Error) line += QStringLiteral(": ") + outcome.detail;
  return line;
}

QString publicAddressLine(const QString& publicAddress) {
  return QStringLiteral("public address seen by the site: ") +
         (publicAddress.isEmpty() ? QStringLiteral("unknown (the site tested no port)") : publicAddress);
}

QByteArray jsonReport(const CheckOptions& options, const QString& publicAddress,
                      const std::vector<PortTestOutcome>& outcomes) {
  QByteArray ports = "[";
  for (const PortTestOutcome& outcome : outcomes) {
    if (ports.size() > 1) ports += ',';
    ports += "{\"port\":" + QByteArray::number(outcome.spec.port) +
             ",\"protocol\":" + jsonValueText(protocolName(outcome.spec.protocol)) +
             ",\"result\":" + jsonValueText(resultName(outcome.result)) +
             ",\"detail\":" + jsonValueText(outcome.detail) + '}';
  }
  ports += ']';
  // Written by hand in the documented order (an object sorts its keys), each
  // value through the JSON writer so that every text is escaped correctly.
  const QJsonValue address = publicAddress.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(publicAddress);
  return "{\"site\":" + jsonValueText(options.site) + ",\"ip\":" + jsonValueText(options.localIp) +
         ",\"public_address\":" + jsonValueText(address) + ",\"ports\":" + ports + "}\n";
}

int exitStatusOf(const std::vector<PortTestOutcome>& outcomes) {
  const bool allOpen = std::all_of(outcomes.begin(), outcomes.end(),
                                   [](const PortTestOutcome& outcome) { return outcome.result == PortResult::Open; });
  return allOpen ? 0 : 1;
}
