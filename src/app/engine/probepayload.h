#pragma once
// Reading the test site's UDP probe datagram: "vantrel-probe <token> <n>\n"
// (see sitecontract/sitecontract.h). Anything else, however close, is a stray
// datagram and has no token.
#include <QByteArrayView>
#include <QString>
#include <optional>

// The token a probe datagram carries, or nothing when `datagram` is not one.
std::optional<QString> probeTokenOf(QByteArrayView datagram);
