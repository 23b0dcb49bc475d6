// The real program started from an empty folder of its own: start-up
// completes, and a termination request closes the window so that the program
// ends with status 0 and the leak checker finds nothing. The window's position,
// kept in the user's settings, carries over from one run to the next.
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#include "test_support.h"
#include "xwindows.h"

namespace {

// Whether the process has a handler for SIGTERM, which the program installs
// once its window is loaded.
bool catchesTerminate(qint64 pid) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (!line.startsWith("SigCgt:")) continue;
    bool ok = false;
    const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
    return ok && (mask & (1ULL << (SIGTERM - 1))) != 0;
  }
  return false;
}

// The program copied into a folder of its own, run with its own settings location.
class ProgramRun {
 public:
  ProgramRun(const QString& program, const QString& configHome) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(program, {});
  }
  ~ProgramRun() {
    if (m_process.state() != QProcess::NotRunning) {
      m_process.kill();
      m_process.waitForFinished(30000);
    }
  }

  QProcess& process() { return m_process; }
  qint64 pid() const { return m_process.processId(); }

 private:
  QProcess m_process;
};

QString copyProgramInto(const QString& folder) {
  const QString program = folder + QStringLiteral("/vantrel");
  QFile::copy(testsupport::binDir() + QStringLiteral("/vantrel"), program);
  QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return program;
}

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void startsOnEmptyFolderAndExitsCleanlyOnTerminate() {
    QTemporaryDir folder;
    QTemporaryDir configHome;
    QVERIFY(folder.isValid() && configHome.isValid());
    const QString program = copyProgramInto(folder.path());
    QVERIFY(QFile::exists(program));

    ProgramRun run(program, configHome.path());
    QProcess& process = run.process();
    QVERIFY(process.waitForStarted(30000));
    QTRY_VERIFY_WITH_TIMEOUT(
        catchesTerminate(process.processId()) || process.state() == QProcess::NotRunning, 120000);
    QCOMPARE(process.state(), QProcess::Running);

    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(120000));
    const QByteArray errors = process.readAllStandardError();
    QVERIFY2(!errors.contains("LeakSanitizer"), errors.constData());
    QVERIFY2(!errors.contains("AddressSanitizer"), errors.constData());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    // The program writes nothing into its folder at start-up or shutdown.
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"vantrel"});
  }

  void theNextRunOpensWhereThePreviousOneWasClosed() {
    QTemporaryDir folder;
    QTemporaryDir configHome;
    QVERIFY(folder.isValid() && configHome.isValid());
    const QString program = copyProgramInto(folder.path());
    const QPoint moved(173, 91);
    {
      ProgramRun first(program, configHome.path());
      QVERIFY(waitUntilLoaded(first));
      QTRY_VERIFY_WITH_TIMEOUT(xwindows::windowPosition(first.pid()).has_value(), 30000);
      QVERIFY(*xwindows::windowPosition(first.pid()) != moved);
      // The user drags the window elsewhere, then the program is ended. While
      // the window is still settling after being shown, the program may place
      // it once more itself; then it is dragged again.
      const bool stayed = QTest::qWaitFor(
          [&] {
            if (xwindows::windowPosition(first.pid()) == moved) return true;
            xwindows::moveWindow(first.pid(), moved);
            return false;
          },
          30000);
      QVERIFY(stayed);
      QVERIFY(endNormally(first));
    }
    // Kept in twips, under the application, section and key the window names.
    const QSettings stored(configHome.filePath(QStringLiteral("Vantrel.conf")),
                           QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("FrmMain/FrmMainPos")).toString(),
             QStringLiteral("%1|%2").arg(moved.x() * 15).arg(moved.y() * 15));
    {
      ProgramRun second(program, configHome.path());
      QVERIFY(waitUntilLoaded(second));
      QTRY_VERIFY_WITH_TIMEOUT(xwindows::windowPosition(second.pid()).has_value(), 30000);
      QCOMPARE(xwindows::windowPosition(second.pid()).value_or(QPoint(-1, -1)), moved);
      QVERIFY(endNormally(second));
    }
  }

 private:
  static bool waitUntilLoaded(ProgramRun& run) {
    if (!run.process().waitForStarted(30000)) return false;
    const QDeadlineTimer deadline(120000);
    while (!catchesTerminate(run.pid()) && run.process().state() == QProcess::Running &&
           !deadline.hasExpired()) {
      QTest::qWait(50);
    }
    return run.process().state() == QProcess::Running && catchesTerminate(run.pid());
  }

  static bool endNormally(ProgramRun& run) {
    ::kill(static_cast<pid_t>(run.pid()), SIGTERM);
    if (!run.process().waitForFinished(120000)) return false;
    const QByteArray errors = run.process().readAllStandardError();
    if (errors.contains("Sanitizer")) qWarning("%s", errors.constData());
    return run.process().exitStatus() == QProcess::NormalExit && run.process().exitCode() == 0 &&
           !errors.contains("Sanitizer");
  }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "startup_test.moc"
