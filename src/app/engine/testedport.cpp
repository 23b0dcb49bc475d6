#include "app/engine/testedport.h"

#include "persist/modlist.h"

namespace {

std::variant<int, QString> parsePort(QStringView text) {
  if (const std::optional<int> port = portNumberOf(text)) return *port;
  return QStringLiteral("\"%1\" is not a port number from 1 to 65535").arg(text);
}

std::variant<TestedPort, QString> testedPortOf(QStringView portText, QStringView protocolText) {
  TestedPort tested;
  if (protocolText.compare(QLatin1String("tcp"), Qt::CaseInsensitive) == 0) {
    tested.protocol = PortProtocol::Tcp;
  } else if (protocolText.compare(QLatin1String("udp"), Qt::CaseInsensitive) == 0) {
    tested.protocol = PortProtocol::Udp;
  } else {
    return QStringLiteral("\"%1\" is not a protocol (tcp or udp)").arg(protocolText);
  }
  std::variant<int, QString> port = parsePort(portText);
  if (auto* message = std::get_if<QString>(&port)) return *message;
  tested.port = std::get<int>(port);
  return tested;
}

}  // namespace

std::optional<int> portNumberOf(QStringView digits) {
  // Runs of leading zeros still name one small number; anything longer
  // cannot be in range.
  if (digits.isEmpty() || digits.size() > 16) return std::nullopt;
  long long value = 0;
  for (QChar c : digits) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    value = value * 10 + (c.unicode() - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return static_cast<int>(value);
}

std::variant<TestedPort, QString> parseTestedPort(QStringView text) {
  const qsizetype slash = text.indexOf(QLatin1Char('/'));
  const QStringView portText = slash < 0 ? text : text.first(slash);
  const QStringView protocolText = slash < 0 ? QStringView(u"tcp") : text.sliced(slash + 1);
  std::variant<TestedPort, QString> tested = testedPortOf(portText, protocolText);
  if (auto* message = std::get_if<QString>(&tested))
    return QStringLiteral("%1: %2").arg(text, *message);
  return tested;
}

std::variant<TestedPort, QString> testedPortOfRow(QStringView portText, QStringView protocolText) {
  // The window tolerates spaces around a typed port; so does the file.
  return testedPortOf(portText.trimmed(), protocolText.trimmed());
}

std::variant<std::vector<TestedPort>, QString> testedPortsFromFile(const QString& path) {
  PortRows rows;
  LoadPortList(rows, path);
  std::vector<TestedPort> testedPorts;
  for (int i = 0; i < rows.portRowCount(); ++i) {
    const PortRow row = rows.portRow(i);
    std::variant<TestedPort, QString> tested = testedPortOfRow(row.port, row.protocol);
    if (auto* message = std::get_if<QString>(&tested)) {
      return QStringLiteral("%1, row %2: %3").arg(path).arg(i + 1).arg(*message);
    }
    testedPorts.push_back(std::get<TestedPort>(tested));
  }
  return testedPorts;
}
