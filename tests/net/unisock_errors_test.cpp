#include "net/unisock.h"

#include "sockettestkit.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

struct Raised {
  int number = 0;
  QString description;
  QString source;
};

Raised raisedBy(const std::function<void()>& call) {
  try {
    call();
  } catch (const UniSockError& e) {
    return Raised{e.number(), e.description(), e.source()};
  }
  return Raised{};
}

struct ErrorLog {
  struct Entry {
    short number;
    QString description;
    QString source;
  };
  QList<Entry> entries;
  QList<int> states;

  void attach(UniSock& sock, bool showWarning = false) {
    QObject::connect(&sock, &UniSock::StatusChange, [this](int s) { states << s; });
    QObject::connect(
        &sock, &UniSock::Error,
        [this, showWarning](short n, QString& description, int scode, const QString& source,
                            const QString& helpFile, int helpContext, bool& cancelDisplay) {
          EXPECT_EQ(scode, 0);
          EXPECT_TRUE(helpFile.isEmpty());
          EXPECT_EQ(helpContext, 0);
          EXPECT_TRUE(cancelDisplay);
          if (showWarning) cancelDisplay = false;
          entries << Entry{n, description, source};
        });
  }
};

const char* const kInvalidInState = "Invalid operation at current state.";
const char* const kOutOfRange =
    "The argument passed to a function was not in the correct format or in the specified range.";
const char* const kWrongState =
    "Wrong protocol or connection state for the requested transaction or request.";

}  // namespace

TEST(UniSockRefusals, InvalidInStateIs40020WithItsSource) {
  UniSock sock;
  ASSERT_TRUE(sock.bind(testsupport::freeTcpPort(), QStringLiteral("127.0.0.1")));

  Raised r = raisedBy([&] { sock.setProtocol(1); });
  EXPECT_EQ(r.number, 40020);
  EXPECT_EQ(r.description, kInvalidInState);
  EXPECT_EQ(r.source, "UniSock.Protocol");

  EXPECT_EQ(raisedBy([&] { sock.setLocalPort(5); }).source, "UniSock.LocalPort");
  EXPECT_EQ(raisedBy([&] { sock.setRemoteHost("x"); }).source, "UniSock.RemoteHost");
  EXPECT_EQ(raisedBy([&] { sock.setRemotePort(5); }).source, "UniSock.RemotePort");

  r = raisedBy([&] { sock.accept(12345); });
  EXPECT_EQ(r.number, 40020);
  EXPECT_EQ(r.source, "UniSock.Accept");

  UniSock fresh;
  r = raisedBy([&] { fresh.accept(0); });
  EXPECT_EQ(r.number, 40020);
  EXPECT_EQ(r.source, "UniSock.Accept");
}

TEST(UniSockRefusals, OutOfRangeIs40014WithItsSource) {
  UniSock sock;
  Raised r = raisedBy([&] { sock.setLocalPort(65536); });
  EXPECT_EQ(r.number, 40014);
  EXPECT_EQ(r.description, kOutOfRange);
  EXPECT_EQ(r.source, "UniSock.LocalPort");
  EXPECT_EQ(raisedBy([&] { sock.setRemotePort(-1); }).source, "UniSock.RemotePort");
  EXPECT_EQ(raisedBy([&] { sock.setLineChange(4); }).source, "UniSock.LineChange");
  EXPECT_EQ(sock.LocalPort(), 0);
}

TEST(UniSockRefusals, AcceptWithUnknownRequestIs40014) {
  int gone = 0;
  {
    UniSock listener;
    gone = listener.identity();
  }
  UniSock sock;
  const Raised r = raisedBy([&] { sock.accept(gone); });
  EXPECT_EQ(r.number, 40014);
  EXPECT_EQ(r.source, "UniSock.Accept");
}

TEST(UniSockRefusals, DataOnUnconnectedTcpIs40006) {
  UniSock sock;
  SockVariant data;
  Raised r = raisedBy([&] { sock.GetData(data); });
  EXPECT_EQ(r.number, 40006);
  EXPECT_EQ(r.description, kWrongState);
  EXPECT_EQ(r.source, "UniSock.GetData");
  r = raisedBy([&] { sock.SendData(SockVariant::fromString("x")); });
  EXPECT_EQ(r.number, 40006);
  EXPECT_EQ(r.source, "UniSock.SendData");
}

TEST(UniSockRefusals, ListenWhileResolvingIs40020) {
  UniSock sock;
  ASSERT_TRUE(sock.connect(QStringLiteral("localhost"), testsupport::freeTcpPort()));
  EXPECT_EQ(sock.State(), 4);
  EXPECT_EQ(raisedBy([&] { sock.listen(); }).source, "UniSock.Listen");
}

TEST(UniSockReportedErrors, RefusedConnectionIsAReadinessErrorAndStateStays) {
  UniSock sock;
  ErrorLog log;
  log.attach(sock);
  const int closedPort = testsupport::freeTcpPort();
  ASSERT_TRUE(sock.connect(QStringLiteral("127.0.0.1"), closedPort));
  ASSERT_TRUE(kit::waitFor([&] { return !log.entries.isEmpty(); }));
  EXPECT_EQ(log.entries[0].number, 10061);
  EXPECT_EQ(log.entries[0].description, "Connection refused.");
  EXPECT_EQ(log.entries[0].source, "UniSock.WndProc");
  EXPECT_EQ(log.states, QList<int>({6, 9}));
  EXPECT_EQ(sock.State(), 6);
  kit::pump(20);
  EXPECT_EQ(log.entries.size(), 1);  // reported once, not for every poll of a dead socket
}

TEST(UniSockReportedErrors, FailedNameLookupIsReportedFromConnect) {
  UniSock sock;
  ErrorLog log;
  log.attach(sock);
  // A label longer than 63 characters is not a valid host name, so the
  // look-up fails on this machine without asking any name server.
  const QString invalidName = QString(70, QChar(u'x')) + QStringLiteral(".test");
  ASSERT_TRUE(sock.connect(invalidName, 80));
  EXPECT_EQ(sock.State(), 4);
  ASSERT_TRUE(kit::waitFor([&] { return !log.entries.isEmpty(); }));
  EXPECT_EQ(log.entries[0].number, 11001);
  EXPECT_EQ(log.entries[0].description, "Host not found.");
  EXPECT_EQ(log.entries[0].source, "UniSock.Connect");
  EXPECT_EQ(sock.State(), 4);
}

TEST(UniSockReportedErrors, EmptyRemoteHostReportsWithoutErrorEvent) {
  UniSock sock;
  ErrorLog log;
  log.attach(sock);
  EXPECT_FALSE(sock.connect());
  EXPECT_EQ(log.states, QList<int>({9}));
  EXPECT_TRUE(log.entries.isEmpty());
}

TEST(UniSockReportedErrors, WarningShownOnlyWhenHandlerClearsCancelDisplay) {
  QStringList shown;
  UniSock::setWarningPresenter(
      [&](const QString& title, const QString& text) { shown << title + "|" + text; });
  {
    UniSock quiet;
    ErrorLog log;
    log.attach(quiet);
    quiet.connect(QStringLiteral("127.0.0.1"), testsupport::freeTcpPort());
    ASSERT_TRUE(kit::waitFor([&] { return !log.entries.isEmpty(); }));
    EXPECT_TRUE(shown.isEmpty());

    UniSock loud;
    ErrorLog loudLog;
    loudLog.attach(loud, true);
    loud.connect(QStringLiteral("127.0.0.1"), testsupport::freeTcpPort());
    ASSERT_TRUE(kit::waitFor([&] { return !loudLog.entries.isEmpty(); }));
  }
  UniSock::setWarningPresenter(nullptr);
  EXPECT_EQ(shown, QStringList({"UniSock.WndProc|Connection refused."}));
}

TEST(UniSockReportedErrors, SuccessfulLookupConnects) {
  UniSock listener;
  ASSERT_TRUE(listener.bind(0, QStringLiteral("127.0.0.1")));
  ASSERT_TRUE(listener.listen());
  UniSock client;
  QList<int> states;
  QList<int> statesAtConnect;
  QObject::connect(&client, &UniSock::StatusChange, [&](int s) { states << s; });
  QObject::connect(&client, &UniSock::Connect, [&] { statesAtConnect = states; });
  ASSERT_TRUE(client.connect(QStringLiteral("localhost"), listener.LocalPort()));
  ASSERT_TRUE(kit::waitFor([&] { return !statesAtConnect.isEmpty(); }));
  EXPECT_EQ(statesAtConnect, QList<int>({4, 5, 6, 7}));
  EXPECT_EQ(client.RemoteHostIP(), "127.0.0.1");
  EXPECT_EQ(client.RemotePort(), listener.LocalPort());
}

TEST(UniSockReportedErrors, SendThatCannotHappenFailsVisiblyAndDatagramsStayApart) {
  UniSock tcp;
  ErrorLog tcpLog;
  tcpLog.attach(tcp);
  EXPECT_FALSE(tcp.SendText(QStringLiteral("early")));
  ASSERT_EQ(tcpLog.entries.size(), 1);
  EXPECT_EQ(tcpLog.entries[0].number, 10057);
  EXPECT_EQ(tcpLog.entries[0].source, "UniSock.Private_Message");

  kit::Peer peer = kit::Peer::udp();
  UniSock udp;
  udp.setProtocol(1);
  udp.setRemoteHost(QStringLiteral("127.0.0.1"));
  udp.setRemotePort(peer.localPort());
  ErrorLog udpLog;
  udpLog.attach(udp);
  EXPECT_FALSE(udp.SendText(QStringLiteral("a")));
  ASSERT_EQ(udpLog.entries.size(), 1);
  EXPECT_EQ(udpLog.entries[0].number, 10038);
  ASSERT_TRUE(udp.bind(0, QStringLiteral("127.0.0.1")));
  ASSERT_TRUE(udp.SendText(QStringLiteral("b")));
  EXPECT_EQ(peer.receive(3), "b\r\n");  // one datagram: the refused "a" is not glued to it
}

TEST(UniSockReportedErrors, OutOfDescriptorsIsReportedOnceAndAcceptingResumes) {
  UniSock listener;
  ASSERT_TRUE(listener.bind(0, QStringLiteral("127.0.0.1")));
  ASSERT_TRUE(listener.listen());
  ErrorLog log;
  log.attach(listener);
  int requests = 0;
  QObject::connect(&listener, &UniSock::ConnectionRequest, [&](int) { ++requests; });
  // A first connection walks the same code while descriptors are plenty: the
  // sanitizers' own checks need a free descriptor the first time they run.
  kit::Peer first = kit::Peer::tcpTo(listener.LocalPort());
  ASSERT_TRUE(kit::waitFor([&] { return requests == 1; }));
  kit::Peer peer = kit::Peer::tcpTo(listener.LocalPort());
  ASSERT_TRUE(peer.valid());

  // No descriptor number is free below the lowered limit, so accept fails.
  const int lowestFree = ::fcntl(0, F_DUPFD_CLOEXEC, 0);
  ASSERT_GE(lowestFree, 0);
  ::close(lowestFree);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit lowered = saved;
  lowered.rlim_cur = static_cast<rlim_t>(lowestFree);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
  const bool reported = kit::waitFor([&] { return !log.entries.isEmpty(); });
  kit::pump(200);
  ::setrlimit(RLIMIT_NOFILE, &saved);

  ASSERT_TRUE(reported);
  ASSERT_EQ(log.entries.size(), 1);
  EXPECT_EQ(log.entries[0].number, 10024);
  EXPECT_EQ(log.entries[0].source, "UniSock.Private_Message");
  EXPECT_EQ(requests, 1);
  EXPECT_TRUE(kit::waitFor([&] { return requests == 2; }));
  EXPECT_EQ(log.entries.size(), 1);
}
