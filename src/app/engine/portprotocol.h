#pragma once
// The two kinds of port a test can be about.
#include <QString>

enum class PortProtocol { Tcp, Udp };

// "tcp" or "udp": the spelling of the site's JSON test and of the command line.
inline QString protocolName(PortProtocol protocol) {
  return protocol == PortProtocol::Tcp ? QStringLiteral("tcp") : QStringLiteral("udp");
}
