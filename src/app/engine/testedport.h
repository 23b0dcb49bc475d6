#pragma once
// Which ports a run tests: "8080/tcp", "27015/udp" on the command line, or the
// rows of the window's port list file.
#include <QString>
#include <QStringView>
#include <optional>
#include <variant>
#include <vector>

#include "app/engine/portprotocol.h"

struct TestedPort {
  int port = 0;  // 1..65535
  PortProtocol protocol = PortProtocol::Tcp;

  friend bool operator==(const TestedPort&, const TestedPort&) = default;
};

// The port a text names: a whole number from 1 to 65535 in ASCII digits
// (leading zeros allowed); nothing for any other text, blanks included. The
// one rule for the window's rows and the command line.
std::optional<int> portNumberOf(QStringView text);

// "8080/tcp" and "27015/UDP" (protocol in any letter case); a bare number is
// TCP. Either the port or a message saying what is wrong with `text`.
std::variant<TestedPort, QString> parseTestedPort(QStringView text);

// A port list row: the port text as typed and "TCP" or "UDP" in any case.
std::variant<TestedPort, QString> testedPortOfRow(QStringView portText, QStringView protocolText);

// Every row of the port list file at `path`, in order; a missing file gives
// none. Either the ports or a message naming the first row that is wrong.
std::variant<std::vector<TestedPort>, QString> testedPortsFromFile(const QString& path);
