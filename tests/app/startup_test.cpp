// The real program started from an empty folder of its own: start-up
// completes, and a termination request closes the window so that the program
// ends with status 0 and the leak checker finds nothing.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#include "test_support.h"

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

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void startsOnEmptyFolderAndExitsCleanlyOnTerminate() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString program = folder.filePath(QStringLiteral("vantrel"));
    QVERIFY(QFile::copy(testsupport::binDir() + QStringLiteral("/vantrel"), program));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, {});
    QVERIFY(process.waitForStarted(30000));
    QTRY_VERIFY_WITH_TIMEOUT(catchesTerminate(process.processId()) || process.state() == QProcess::NotRunning,
                             120000);
    QCOMPARE(process.state(), QProcess::Running);

    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(120000));
    const QByteArray errors = process.readAllStandardError();
    QVERIFY2(!errors.contains("LeakSanitizer"), errors.constData());
    QVERIFY2(!errors.contains("AddressSanitizer"), errors.constData());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    // The program writes nothing into its folder at start-up or shutdown.
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"vantrel"});
  }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "startup_test.moc"
