#include "app/engine/portspec.h"

#include "persist/modlist.h"

namespace {

constexpr int kMaxDigits = 5;  // 65535

std::variant<int, QString> parsePort(QStringView text) {
  bool digitsOnly = !text.isEmpty() && text.size() <= kMaxDigits;
  for (QChar c : text) digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
  const int port = digitsOnly ? text.toInt() : 0;
  if (port < 1 || port > 65535) {
    return QStringLiteral("\"%1\" is not a port number from 1 to 65535").arg(text);
  }
  return port;
}

std::variant<PortSpec, QString> specOf(QStringView portText, QStringView protocolText) {
  PortSpec spec;
  if (protocolText.compare(QLatin1String("tcp"), Qt::CaseInsensitive) == 0) {
    spec.protocol = PortProtocol::Tcp;
  } else if (protocolText.compare(QLatin1String("udp"), Qt::CaseInsensitive) == 0) {
    spec.protocol = PortProtocol::Udp;
  } else {
    return QStringLiteral("\"%1\" is not a protocol (tcp or udp)").arg(protocolText);
  }
  std::variant<int, QString> port = parsePort(portText);
  if (auto* message = std::get_if<QString>(&port)) return *message;
  spec.port = std::get<int>(port);
  return spec;
}

}  // namespace

std::variant<PortSpec, QString> parsePortSpec(QStringView text) {
  const qsizetype slash = text.indexOf(QLatin1Char('/'));
  const QStringView portText = slash < 0 ? text : text.first(slash);
  const QStringView protocolText = slash < 0 ? QStringView(u"tcp") : text.sliced(slash + 1);
  std::variant<PortSpec, QString> spec = specOf(portText, protocolText);
  if (auto* message = std::get_if<QString>(&spec)) return QStringLiteral("%1: %2").arg(text, *message);
  return spec;
}

std::variant<PortSpec, QString> portSpecOfRow(QStringView portText, QStringView protocolText) {
  // The window tolerates spaces around a typed port; so does the file.
  return specOf(portText.trimmed(), protocolText.trimmed());
}

std::variant<std::vector<PortSpec>, QString> portSpecsFromFile(const QString& path) {
  PortRows rows;
  LoadPortList(rows, path);
  std::vector<PortSpec> specs;
  for (int i = 0; i < rows.portRowCount(); ++i) {
    const PortRow row = rows.portRow(i);
    std::variant<PortSpec, QString> spec = portSpecOfRow(row.port, row.protocol);
    if (auto* message = std::get_if<QString>(&spec)) {
      return QStringLiteral("%1, row %2: %3").arg(path).arg(i + 1).arg(*message);
    }
    specs.push_back(std::get<PortSpec>(spec));
  }
  return specs;
}
