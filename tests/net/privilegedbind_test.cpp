// The permission helper for ports below 1024: what it refuses, and what an
// ordinary user gets with and without its capability.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "net/privilegedbind.h"
#include "net/socketfd.h"

namespace {

constexpr int kInvalidArgument = 10022;
constexpr int kCannotAssignAddress = 10049;

QString binDir() { return qEnvironmentVariable("VANTREL_BIN_DIR"); }

Endpoint at(const char* address, int port) {
  Endpoint endpoint;
  sys::parseNumeric(QString::fromLatin1(address), &endpoint);
  endpoint.port = port;
  return endpoint;
}

// A port below 1024 that is free for TCP and UDP on 127.0.0.1 and on ::1 (the
// test runs as root).
int freeLowPort() {
  for (int port = 1023; port > 600; --port) {
    bool free = true;
    for (const char* address : {"127.0.0.1", "::1"}) {
      const Endpoint here = at(address, port);
      int error = 0;
      SocketFd tcp = sys::openSocket(sys::Kind::Stream, &error, here.ipv6);
      SocketFd udp = sys::openSocket(sys::Kind::Datagram, &error, here.ipv6);
      free = free && sys::bindTo(tcp.get(), here) == 0 && sys::bindTo(udp.get(), here) == 0;
    }
    if (free) return port;
  }
  return 0;
}

// Copies a file into a folder that every user can read, keeping it executable.
QString copyForEveryone(const QString& file, const QString& folder) {
  QDir().mkpath(folder);
  ::chmod(QFile::encodeName(folder).constData(), 0755);
  const QString copy = folder + QLatin1Char('/') + QFileInfo(file).fileName();
  if (!QFile::copy(file, copy)) return {};
  ::chmod(QFile::encodeName(copy).constData(), 0755);
  return copy;
}

// Runs the probe as the user "nobody", with no capabilities of its own.
int runProbeAsOrdinaryUser(const QString& probe, const QString& helper, int port,
                           const QString& address = QStringLiteral("127.0.0.1")) {
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  process.start(QStringLiteral("setpriv"),
                {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                 QStringLiteral("--clear-groups"), QStringLiteral("--inh-caps=-all"), probe, helper,
                 QString::number(port), address});
  if (!process.waitForFinished(30000)) return -1;
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

}  // namespace

TEST(PermissionHelper, RefusesOtherPortsAndAddressesThatAreNotLocal) {
  privilegedbind::setHelperPath(binDir() + QStringLiteral("/vantrel-bind"));
  int error = 0;
  EXPECT_FALSE(
      privilegedbind::bindThroughHelper(sys::Kind::Stream, at("127.0.0.1", 1024), &error).valid());
  EXPECT_EQ(error, kInvalidArgument);
  EXPECT_FALSE(
      privilegedbind::bindThroughHelper(sys::Kind::Datagram, at("127.0.0.1", 65000), &error)
          .valid());
  EXPECT_EQ(error, kInvalidArgument);
  // A documentation address no interface here has, and "any address".
  EXPECT_FALSE(
      privilegedbind::bindThroughHelper(sys::Kind::Stream, at("192.0.2.7", 80), &error).valid());
  EXPECT_EQ(error, kCannotAssignAddress);
  EXPECT_FALSE(
      privilegedbind::bindThroughHelper(sys::Kind::Stream, at("0.0.0.0", 80), &error).valid());
  EXPECT_EQ(error, kCannotAssignAddress);
  for (const char* notLocal : {"::", "2001:db8::7", "::ffff:127.0.0.1"}) {
    EXPECT_FALSE(
        privilegedbind::bindThroughHelper(sys::Kind::Datagram, at(notLocal, 80), &error).valid());
    EXPECT_EQ(error, kCannotAssignAddress) << notLocal;
  }

  // Started by hand, without the caller's socket, it does nothing at all.
  QProcess byHand;
  byHand.start(binDir() + QStringLiteral("/vantrel-bind"),
               {QStringLiteral("tcp"), QStringLiteral("127.0.0.1"), QStringLiteral("80")});
  ASSERT_TRUE(byHand.waitForFinished(10000));
  EXPECT_EQ(byHand.exitCode(), 2);

  // A helper that is not there leaves the permission error as it was.
  privilegedbind::setHelperPath(QStringLiteral("/nonexistent/vantrel-bind"));
  EXPECT_FALSE(
      privilegedbind::bindThroughHelper(sys::Kind::Stream, at("127.0.0.1", 80), &error).valid());
  EXPECT_EQ(error, 10013);
  privilegedbind::setHelperPath(QString());
}

TEST(PermissionHelper, OrdinaryUserOpensLowPortsOnlyThroughAHelperWithItsCapability) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root to set a file capability and to become another user";
  if (QStandardPaths::findExecutable(QStringLiteral("setcap"), {"/usr/sbin", "/sbin"}).isEmpty() ||
      QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()) {
    GTEST_SKIP() << "setcap (libcap2-bin) or setpriv (util-linux) missing";
  }
  const int port = freeLowPort();
  ASSERT_NE(port, 0);
  // The build tree may sit where another user cannot reach; the copies can.
  QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/vantrel-bind-XXXXXX"));
  ASSERT_TRUE(folder.isValid());
  ::chmod(QFile::encodeName(folder.path()).constData(), 0755);
  const QString probe = copyForEveryone(binDir() + QStringLiteral("/lowportprobe"), folder.path());
  const QString granted =
      copyForEveryone(binDir() + QStringLiteral("/vantrel-bind"), folder.path() + "/granted");
  const QString plain =
      copyForEveryone(binDir() + QStringLiteral("/vantrel-bind"), folder.path() + "/plain");
  ASSERT_FALSE(probe.isEmpty() || granted.isEmpty() || plain.isEmpty());
  ASSERT_EQ(QProcess::execute(QStringLiteral("setcap"),
                              {QStringLiteral("cap_net_bind_service=+ep"), granted}),
            0);

  EXPECT_EQ(runProbeAsOrdinaryUser(probe, granted, port), 0)
      << "TCP and UDP arrivals through the helper's socket";
  EXPECT_EQ(runProbeAsOrdinaryUser(probe, granted, port, QStringLiteral("::1")), 0)
      << "the same on IPv6";
  EXPECT_EQ(runProbeAsOrdinaryUser(probe, plain, port), 3)
      << "without the capability: permission denied";
  EXPECT_EQ(runProbeAsOrdinaryUser(probe, folder.path() + QStringLiteral("/missing"), port), 3);
}
