// How long one row of a port test run takes on loopback, from the row's start
// (its socket listening) to its result, for TCP and UDP rows, against the real
// vantrel-site and the real browser. The reference, measured in the same run,
// is two bare page loads in the same browser: the floor of a row, which
// loads the test page and then the result page.
//
// Usage: portrun_bench [rows]   (default 20; run under a display, e.g. Xvfb)
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/frmmain.h"
#include "app/outside/browserrendering.h"
#include "platform/doevents.h"

namespace {

int freePort() {
  QTcpServer server;
  server.listen(QHostAddress::LocalHost, 0);
  return server.serverPort();
}

class Site {
 public:
  explicit Site(const QStringList& extra) : m_port(freePort()) {
    QStringList arguments = {"--listen", "127.0.0.1", "--port", QString::number(m_port),
                             "--burst",  "100000"};
    m_process.start(QCoreApplication::applicationDirPath() + "/vantrel-site", arguments + extra);
  }
  ~Site() {
    m_process.terminate();
    m_process.waitForFinished(30000);
  }
  bool waitUntilServing() {
    for (int attempt = 0; attempt < 600 && m_process.state() != QProcess::NotRunning; ++attempt) {
      QTcpSocket probe;
      probe.connectToHost("127.0.0.1", static_cast<quint16>(m_port));
      if (probe.waitForConnected(1000)) return true;
      QThread::msleep(50);
    }
    return false;
  }
  QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

 private:
  int m_port;
  QProcess m_process;
};

void pointAt(const QString& folder, const QString& url) {
  QFile settings(folder + "/settings.ini");
  settings.open(QIODevice::WriteOnly | QIODevice::Truncate);
  // The run alone is measured; the router help stays away from the network's router.
  settings.write(QStringLiteral("[main]\r\nsite=%1\r\nrouter=off\r\n").arg(url).toUtf8());
}

bool waitFor(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitMs) return false;
    QEventLoop round;
    QTimer::singleShot(1, &round, &QEventLoop::quit);
    round.exec();
  }
  return true;
}

struct Figures {
  double meanMs = 0, medianMs = 0, maxMs = 0;
  int successes = 0;
};

Figures summarize(std::vector<double> times, int successes) {
  Figures f;
  if (times.empty()) return f;
  std::sort(times.begin(), times.end());
  for (double t : times) f.meanMs += t;
  f.meanMs /= static_cast<double>(times.size());
  f.medianMs = times[times.size() / 2];
  f.maxMs = times.back();
  f.successes = successes;
  return f;
}

// Runs one Begin over `rows` rows of one protocol and times each row from its
// "Listening..." to its result.
Figures timeRun(FrmMain& window, const QString& protocol, int rows) {
  UniListItems items = window.ListView1.ListItems();
  while (items.Count() > 0) items.Remove(1);
  for (int i = 0; i < rows; ++i) items.Add(QString::number(freePort())).setSubItems(1, protocol);

  QTreeWidget* tree = window.ListView1.treeWidget();
  std::vector<qint64> started(static_cast<size_t>(rows), -1);
  std::vector<double> times;
  int successes = 0;
  QElapsedTimer clock;
  clock.start();
  auto connection =
      QObject::connect(tree, &QTreeWidget::itemChanged, [&](QTreeWidgetItem* item, int column) {
        const int row = tree->indexOfTopLevelItem(item);
        if (row < 0) return;
        const QString text = item->text(column);
        if (column == 2 && text == window.Text11.Text())
          started[static_cast<size_t>(row)] = clock.nsecsElapsed();
        // Only the first verdict ends the row: later changes of the cell (its
        // tool tip) are not a second result.
        if (column == 3 && (text == window.Text15.Text() || text == window.Text16.Text()) &&
            started[static_cast<size_t>(row)] >= 0) {
          times.push_back(
              static_cast<double>(clock.nsecsElapsed() - started[static_cast<size_t>(row)]) / 1e6);
          started[static_cast<size_t>(row)] = -1;
          if (text == window.Text15.Text()) ++successes;
        }
      });
  window.Command3.button()->click();
  QObject::disconnect(connection);
  return summarize(times, successes);
}

// Two page loads of the test page, the floor of one row.
double timeTwoPageLoads(FrmMain& window, int rounds) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    QElapsedTimer clock;
    clock.start();
    for (int load = 0; load < 2; ++load) {
      window.pageLoaded = false;
      window.WebBrowser1.Navigate2(window.tcpTestPageUrl());
      if (!waitFor([&] { return window.pageLoaded; }, 30000)) return -1;
    }
    times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
  }
  return summarize(times, 0).medianMs;
}

void print(const char* label, const Figures& f, int rows, double reference) {
  std::printf(
      "%-34s rows %2d  success %2d  mean %7.1f ms  median %7.1f ms  max %7.1f ms  median/reference "
      "%.2f\n",
      label, rows, f.successes, f.meanMs, f.medianMs, f.maxMs,
      reference > 0 ? f.medianMs / reference : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  allowBrowserEngineAsRoot();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  // The window draws as the program's does.
  chooseBrowserRendering();
  const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

  QTemporaryDir folder;
  Site site({});
  Site quickUdpSite({"--udp-gap-ms", "0"});
  if (!site.waitUntilServing() || !quickUdpSite.waitUntilServing()) {
    std::fprintf(stderr, "vantrel-site did not start\n");
    return 1;
  }
  pointAt(folder.path(), site.url());

  FrmMain window(folder.path());
  window.Form_Load();
  window.show();
  window.Combo1.setText("127.0.0.1");
  if (!waitFor([&] { return window.pageLoaded; }, 60000)) {
    std::fprintf(stderr, "the test page did not load\n");
    return 1;
  }

  const double reference = timeTwoPageLoads(window, rows);
  std::printf("reference: two bare loads of the test page, median %.1f ms over %d rounds\n",
              reference, rows);
  print("TCP rows", timeRun(window, "TCP", rows), rows, reference);
  print("UDP rows (site's 300 ms datagram gap)", timeRun(window, "UDP", rows), rows, reference);
  pointAt(folder.path(), quickUdpSite.url());
  print("UDP rows (no datagram gap)", timeRun(window, "UDP", rows), rows, reference);
  std::printf("goal: at most 400 ms per TCP row\n");
  window.close();
  return 0;
}
