#pragma once
// A vantrel-site of the test's own on 127.0.0.1 (or another loopback address
// such as ::1), started as the real program and stopped when the object goes.
#include <QProcess>
#include <QString>
#include <QStringList>

class SiteProcess {
 public:
  // Extra arguments go after the address and port (for example
  // "--probe-address", "127.0.0.2").
  explicit SiteProcess(const QStringList& extraArguments = {},
                       const QString& listenAddress = QStringLiteral("127.0.0.1"));
  ~SiteProcess();
  SiteProcess(const SiteProcess&) = delete;
  SiteProcess& operator=(const SiteProcess&) = delete;

  // Whether the site answers connections; waits a bounded time for it.
  bool waitUntilServing();
  void stop();
  QString url() const;
  int port() const { return m_port; }
  QString errors();

 private:
  QString m_address;
  int m_port;
  QProcess m_process;
};

// Writes the program folder's settings.ini so that the window uses this site,
// and waits at most pageTimeoutSeconds for a page when that is given.
bool pointProgramAtSite(const QString& programFolder, const QString& siteUrl,
                        int pageTimeoutSeconds = 0);
