#include "checkrun.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "net/privilegedbind.h"

CheckRun::CheckRun(CheckOptions options, QObject* parent)
    : QObject(parent),
      m_options(std::move(options)),
      m_progressOnTerminal(isatty(STDERR_FILENO) == 1) {}

CheckRun::~CheckRun() = default;

void CheckRun::start() {
  if (m_options.router) {
    m_router = std::make_unique<CheckRouter>(m_options);
    if (m_progressOnTerminal) {
      std::fputs(m_options.forward ? "asking the router to forward the ports ..."
                                   : "searching for the router ...",
                 stderr);
      std::fflush(stderr);
      m_progressShown = true;
    }
    m_router->prepare();
    clearProgress();
    if (!m_options.json) printLine(routerLine(m_router->gateway()));
  }
  startNext();
}

void CheckRun::startNext() {
  if (m_ports.size() == m_options.ports.size()) return finishRun();
  const TestedPort& tested = m_options.ports[m_ports.size()];
  showProgress(tested);
  m_current = std::make_unique<PortTest>(m_network, m_options.site, m_options.route,
                                         m_options.localIp, tested, m_options.timeout);
  connect(m_current.get(), &PortTest::finished, this, &CheckRun::onPortFinished,
          Qt::QueuedConnection);
  m_current->start();
}

void CheckRun::onPortFinished(const PortTestOutcome& outcome) {
  m_current.reset();
  clearProgress();
  if (outcome.siteFailed && !m_siteAnswered) {
    // The site never took part: nothing anyone could act on was tested.
    std::fprintf(stderr, "vantrel-check: the test site %s cannot be used: %s\n",
                 qPrintable(m_options.site), qPrintable(outcome.detail));
    emit done(kExitNoTest);
    return;
  }
  if (!outcome.publicAddress.isEmpty()) {
    m_siteAnswered = true;
    m_publicAddress = outcome.publicAddress;
  }
  ReportedPort port{outcome, std::nullopt};
  if (m_router) port.router = m_router->noteFor(outcome);
  m_ports.push_back(port);
  if (!m_options.json) printLine(portLine(port));
  startNext();
}

void CheckRun::finishRun() {
  if (m_options.json) {
    const router::GatewayInfo* gateway = m_router ? &m_router->gateway() : nullptr;
    const QByteArray report = jsonReport(m_options, m_publicAddress, gateway, m_ports);
    std::fwrite(report.constData(), 1, static_cast<size_t>(report.size()), stdout);
    std::fflush(stdout);
  } else {
    printLine(publicAddressLine(m_publicAddress));
  }
  hintAtMissingPermission();
  emit done(exitStatusOf(m_ports));
}

// Said once, on stderr so that it never mixes with the results: without it a
// user sees "no-permission" and nothing about how to give it.
void CheckRun::hintAtMissingPermission() const {
  const bool missing = std::any_of(m_ports.begin(), m_ports.end(), [](const ReportedPort& port) {
    return port.test.result == PortResult::NoPermission;
  });
  if (!missing) return;
  std::fprintf(stderr,
               "vantrel-check: ports below 1024 need the port helper's permission, given once "
               "with:\n    sudo setcap cap_net_bind_service=+ep %s\n",
               qPrintable(privilegedbind::helperPath()));
}

void CheckRun::showProgress(const TestedPort& tested) {
  if (!m_progressOnTerminal) return;
  std::fprintf(stderr, "\rtesting %d/%s ...", tested.port,
               qPrintable(protocolName(tested.protocol)));
  std::fflush(stderr);
  m_progressShown = true;
}

void CheckRun::clearProgress() {
  if (!m_progressShown) return;
  // Back to the line's start and erase it, so the result takes its place.
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  m_progressShown = false;
}

void CheckRun::printLine(const QString& line) {
  std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
  std::fflush(stdout);
}
