#include "app/engine/portspec.h"

#include "persist/modlist.h"

namespace {

std::variant<int, QString> parsePort(QStringView text) {
  if (const std::optional<int> port = portNumberOf(text)) return *port;
  return QStringLiteral("\"%1\" is not a port number from 1 to 65535").arg(text);
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
