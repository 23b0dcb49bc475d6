#include "sitefixture.h"

#include <QFile>
#include <QTcpSocket>
#include <QThread>

#include "test_support.h"

SiteProcess::SiteProcess(const QStringList& extraArguments, const QString& listenAddress)
    : m_address(listenAddress), m_port(testsupport::freeTcpPort()) {
  QStringList arguments = {
      QStringLiteral("--listen"), m_address, QStringLiteral("--port"), QString::number(m_port),
      // Many probes from one visitor in quick succession are the tests' normal case.
      QStringLiteral("--burst"), QStringLiteral("1000")};
  arguments << extraArguments;
  m_process.setProcessChannelMode(QProcess::SeparateChannels);
  m_process.start(testsupport::binDir() + QStringLiteral("/vantrel-site"), arguments);
}

SiteProcess::~SiteProcess() { stop(); }

QString SiteProcess::url() const {
  const QString host = m_address.contains(QLatin1Char(':'))
                           ? QLatin1Char('[') + m_address + QLatin1Char(']')
                           : m_address;
  return QStringLiteral("http://%1:%2").arg(host).arg(m_port);
}

bool SiteProcess::waitUntilServing() {
  if (!m_process.waitForStarted(30000)) return false;
  for (int attempt = 0; attempt < 600; ++attempt) {
    if (m_process.state() != QProcess::Running) return false;
    QTcpSocket probe;
    probe.connectToHost(m_address, static_cast<quint16>(m_port));
    if (probe.waitForConnected(1000)) return true;
    QThread::msleep(50);
  }
  return false;
}

void SiteProcess::stop() {
  if (m_process.state() == QProcess::NotRunning) return;
  m_process.terminate();
  if (!m_process.waitForFinished(30000)) {
    m_process.kill();
    m_process.waitForFinished(30000);
  }
}

QString SiteProcess::errors() { return QString::fromUtf8(m_process.readAllStandardError()); }

bool pointProgramAtSite(const QString& programFolder, const QString& siteUrl,
                        int pageTimeoutSeconds) {
  QFile settings(programFolder + QStringLiteral("/settings.ini"));
  if (!settings.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  // The router help stays away from the real network's router.
  QString text = QStringLiteral("[main]\r\nsite=%1\r\nrouter=off\r\n").arg(siteUrl);
  if (pageTimeoutSeconds > 0)
    text += QStringLiteral("page_timeout_s=%1\r\n").arg(pageTimeoutSeconds);
  return settings.write(text.toUtf8()) > 0;
}
