// How long vantrel-check takes per port on loopback, against the real
// vantrel-site: one run over N TCP ports and one over N UDP ports, each
// against a run over a single port (the program's start and the site's first
// connection), so that the difference is the cost of one more port.
//
// The site sends its UDP datagrams without a pause here (--udp-gap-ms 0): by
// default it spends 600 ms between its first and last datagram, which would
// hide the program's own cost.
//
// Usage: check_bench [ports]   (default 100)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUdpSocket>
#include <cstdio>

namespace {

QString binDir() { return QCoreApplication::applicationDirPath(); }

// Distinct ports below the system's range for outgoing connections that were
// free for both protocols a moment ago. A port from that range may be the
// source port of one of the site's own probes a moment later, still in
// TIME_WAIT, and read as in use.
QStringList freePorts(int count, const char* protocol, int& next) {
  QStringList ports;
  for (; ports.size() < count && next < 32768; ++next) {
    QTcpServer tcp;
    QUdpSocket udp;
    if (!tcp.listen(QHostAddress::LocalHost, static_cast<quint16>(next)) ||
        !udp.bind(QHostAddress::LocalHost, static_cast<quint16>(next))) {
      continue;
    }
    ports << QStringLiteral("%1/%2").arg(next).arg(QLatin1String(protocol));
  }
  return ports;
}

struct Run {
  double ms = 0;
  int open = 0;
  int exitCode = -1;
  QString firstNotOpen;  // "port result: detail" of the first port not open
};

Run runCheck(const QString& site, const QStringList& ports) {
  QProcess process;
  QElapsedTimer clock;
  clock.start();
  process.start(
      binDir() + "/vantrel-check",
      QStringList{"--json", "--site", site, "--ip", "127.0.0.1", "--timeout", "20"} + ports);
  process.waitForFinished(600000);
  Run run;
  run.ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  run.exitCode = process.exitCode();
  const QJsonArray results =
      QJsonDocument::fromJson(process.readAllStandardOutput()).object()["ports"].toArray();
  for (const QJsonValue& value : results) {
    const QJsonObject result = value.toObject();
    if (result["result"].toString() == "open") {
      ++run.open;
    } else if (run.firstNotOpen.isEmpty()) {
      run.firstNotOpen = QStringLiteral("%1 %2: %3")
                             .arg(result["port"].toInt())
                             .arg(result["result"].toString(), result["detail"].toString());
    }
  }
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int count = argc > 1 ? std::max(2, atoi(argv[1])) : 100;

  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  const int sitePort = probe.serverPort();
  probe.close();
  QProcess site;
  site.start(binDir() + "/vantrel-site",
             {"--listen", "127.0.0.1", "--port", QString::number(sitePort), "--burst", "100000",
              "--udp-gap-ms", "0"});
  bool serving = false;
  for (int attempt = 0; attempt < 600 && !serving && site.state() != QProcess::NotRunning;
       ++attempt) {
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", static_cast<quint16>(sitePort));
    serving = socket.waitForConnected(1000);
    if (!serving) QThread::msleep(50);
  }
  if (!serving) {
    std::fprintf(stderr, "vantrel-site did not start\n");
    return 1;
  }
  const QString url = QStringLiteral("http://127.0.0.1:%1").arg(sitePort);

  std::printf("vantrel-check on loopback, %d ports a run (ms per port)\n", count);
  std::printf("%-5s %12s %12s %14s %10s\n", "proto", "run ms", "one port ms", "per port ms",
              "open");
  int nextPort = 21000;
  for (const char* protocol : {"tcp", "udp"}) {
    const QStringList ports = freePorts(count, protocol, nextPort);
    const Run single = runCheck(url, ports.mid(0, 1));
    const Run all = runCheck(url, ports);
    const double perPort = (all.ms - single.ms) / (count - 1);
    std::printf("%-5s %12.1f %12.1f %14.2f %6d/%d\n", protocol, all.ms, single.ms, perPort,
                all.open, count);
    std::printf("      whole run / ports: %.2f ms\n", all.ms / count);
    if (!all.firstNotOpen.isEmpty())
      std::printf("      not open: %s\n", qPrintable(all.firstNotOpen));
  }
  site.terminate();
  site.waitForFinished(30000);
  return 0;
}
