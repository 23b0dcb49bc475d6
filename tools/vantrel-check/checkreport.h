#pragma once
// What vantrel-check prints: a line a port, the last line with the public
// address, or the one JSON object; and the exit status the results give.
#include <QByteArray>
#include <QString>
#include <vector>

#include "checkoptions.h"
#include "porttest.h"

// "8080/tcp open", "27015/udp error: TEXT".
QString portLine(const PortTestOutcome& outcome);
// The last line of the human output; an empty address when the site answered no test.
QString publicAddressLine(const QString& publicAddress);
// The whole --json output, one object and a line end.
QByteArray jsonReport(const CheckOptions& options, const QString& publicAddress,
                      const std::vector<PortTestOutcome>& outcomes);

// 0 when every port is open, 1 otherwise.
int exitStatusOf(const std::vector<PortTestOutcome>& outcomes);
