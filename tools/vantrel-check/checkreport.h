#pragma once
// What vantrel-check prints: a line a port, the last line with the public
// address, or the one JSON object; and the exit status the results give.
#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "checkoptions.h"
#include "checkrouter.h"
#include "porttest.h"

struct ReportedPort {
  PortTestOutcome test;
  std::optional<PortRouterNote> router;  // with --router
};

// "8080/tcp open", "27015/udp error: TEXT", with --router "443/tcp closed (REASON)".
QString portLine(const ReportedPort& port);
// The last line of the human output; an empty address when the site answered no test.
QString publicAddressLine(const QString& publicAddress);
// The whole --json output, one object and a line end; `gateway` with --router.
QByteArray jsonReport(const CheckOptions& options, const QString& publicAddress,
                      const router::GatewayInfo* gateway, const std::vector<ReportedPort>& ports);

// 0 when every port is open, 1 otherwise.
int exitStatusOf(const std::vector<ReportedPort>& ports);
