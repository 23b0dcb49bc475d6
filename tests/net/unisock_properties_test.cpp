#include "net/localhost.h"
#include "net/unisock.h"

#include "sockettestkit.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

// Whether a fresh socket can take the port on 127.0.0.1 (it cannot while bound).
bool portIsFree(int port) {
  SocketFd probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  return sys::bindTo(probe.get(), Endpoint{htonl(INADDR_LOOPBACK), port}) == 0;
}

}  // namespace

TEST(UniSockDefaults, NewObjectIsClosedWithDocumentedValues) {
  UniSock sock;
  EXPECT_EQ(sock.State(), 0);
  EXPECT_EQ(sock.SocketHandle(), -1);
  EXPECT_EQ(sock.RemotePort(), 80);
  EXPECT_EQ(sock.LineChange(), 1);
  EXPECT_EQ(sock.LocalPort(), 0);
  EXPECT_EQ(sock.protocol(), 0);
  EXPECT_EQ(sock.Mode(), 0);
  EXPECT_EQ(sock.BytesReceived(), 0);
  EXPECT_EQ(sock.RemoteHostIP(), "0.0.0.0");
  EXPECT_TRUE(sock.RequestIP().isEmpty());
  EXPECT_EQ(sock.RequestPort(), 0);
  std::uint32_t first = 0;
  int error = 0;
  ASSERT_TRUE(localhost::firstAddress(&first, &error));
  EXPECT_EQ(sock.LocalIP(), sys::dotted(first));
  EXPECT_FALSE(sock.LocalHostname().isEmpty());
}

TEST(UniSockDefaults, IdentitiesAreDistinctAndNeverZero) {
  UniSock a;
  UniSock b;
  EXPECT_NE(a.identity(), 0);
  EXPECT_NE(a.identity(), b.identity());
}

TEST(UniSockBind, PortZeroPicksSystemPortAndStaysClosed) {
  UniSock sock;
  ASSERT_TRUE(sock.bind(0, QStringLiteral("127.0.0.1")));
  EXPECT_EQ(sock.State(), 0);
  EXPECT_GT(sock.LocalPort(), 0);
  EXPECT_FALSE(portIsFree(sock.LocalPort()));
  EXPECT_TRUE(sock.closesocket());
  EXPECT_EQ(sock.SocketHandle(), -1);
}

TEST(UniSockBind, NamedPortOpensAndRebindIsANoOp) {
  UniSock sock;
  QList<int> states;
  QObject::connect(&sock, &UniSock::StatusChange, [&](int s) { states << s; });
  const int port = testsupport::freeTcpPort();
  ASSERT_TRUE(sock.bind(port, QStringLiteral("127.0.0.1")));
  EXPECT_EQ(sock.State(), 1);
  EXPECT_EQ(sock.LocalPort(), port);
  EXPECT_EQ(sock.LocalIP(), "127.0.0.1");
  const int handle = sock.SocketHandle();
  EXPECT_TRUE(sock.bind(port + 1, QStringLiteral("127.0.0.1")));
  EXPECT_EQ(sock.LocalPort(), port);
  EXPECT_EQ(sock.SocketHandle(), handle);
  EXPECT_EQ(states, QList<int>({1}));
}

TEST(UniSockBind, LocalPortPropertyIsUsedWhenNoPortGiven) {
  UniSock sock;
  const int port = testsupport::freeTcpPort();
  sock.setLocalPort(port);
  ASSERT_TRUE(sock.bind(0, QStringLiteral("127.0.0.1")));
  EXPECT_EQ(sock.State(), 1);
  EXPECT_EQ(sock.LocalPort(), port);
}

TEST(UniSockBind, PortInUseIsReportedNotRaised) {
  UniSock first;
  ASSERT_TRUE(first.bind(0, QStringLiteral("127.0.0.1")));
  ASSERT_TRUE(first.listen());
  UniSock second;
  QStringList sources;
  short number = 0;
  QObject::connect(&second, &UniSock::Error,
                   [&](short n, QString&, int, const QString& source, const QString&, int, bool&) {
                     number = n;
                     sources << source;
                   });
  EXPECT_FALSE(second.bind(first.LocalPort(), QStringLiteral("127.0.0.1")));
  EXPECT_EQ(number, 10048);
  EXPECT_EQ(sources, QStringList({"UniSock.Private_Bind"}));
  EXPECT_EQ(second.State(), 0);
}

TEST(UniSockListen, PicksSystemPortAfterClosesocket) {
  UniSock sock;
  ASSERT_TRUE(sock.bind(testsupport::freeTcpPort(), QStringLiteral("127.0.0.1")));
  ASSERT_TRUE(sock.listen());
  EXPECT_EQ(sock.State(), 1);  // listening does not change the state
  ASSERT_TRUE(sock.closesocket());
  EXPECT_EQ(sock.LocalPort(), 0);
  EXPECT_EQ(sock.State(), 0);
  ASSERT_TRUE(sock.listen());
  EXPECT_GT(sock.LocalPort(), 0);
  EXPECT_NE(sock.SocketHandle(), -1);
}

TEST(UniSockListen, BoundToSystemPortThenListenKeepsThatPort) {
  UniSock sock;
  ASSERT_TRUE(sock.bind(0, QStringLiteral("127.0.0.1")));
  const int port = sock.LocalPort();
  ASSERT_TRUE(sock.listen());
  EXPECT_EQ(sock.LocalPort(), port);
  kit::Peer peer = kit::Peer::tcpTo(port);
  EXPECT_TRUE(peer.valid());
}

TEST(UniSockClose, ClosedObjectReturnsFalseWithoutEvents) {
  UniSock sock;
  int events = 0;
  QObject::connect(&sock, &UniSock::StatusChange, [&](int) { ++events; });
  EXPECT_FALSE(sock.closesocket());
  EXPECT_EQ(events, 0);
}

TEST(UniSockClose, ReportsClosingThenClosedAndKeepsSettings) {
  UniSock sock;
  sock.setMode(1);
  sock.setLineChange(2);
  sock.setRemoteHost(QStringLiteral("127.0.0.1"));
  sock.setRemotePort(4321);
  ASSERT_TRUE(sock.bind(testsupport::freeTcpPort(), QStringLiteral("127.0.0.1")));
  QList<int> states;
  QObject::connect(&sock, &UniSock::StatusChange, [&](int s) { states << s; });
  EXPECT_TRUE(sock.closesocket());
  EXPECT_EQ(states, QList<int>({8, 0}));
  EXPECT_EQ(sock.Mode(), 1);
  EXPECT_EQ(sock.LineChange(), 2);
  EXPECT_EQ(sock.RemoteHost(), "127.0.0.1");
  EXPECT_EQ(sock.RemotePort(), 4321);
  EXPECT_EQ(sock.LocalPort(), 0);
}

TEST(UniSockProperties, LineChangeRoundTrips) {
  UniSock sock;
  for (int value : {0, 1, 2, 3}) {
    sock.setLineChange(value);
    EXPECT_EQ(sock.LineChange(), value);
  }
}

TEST(UniSockProperties, UdpMayChangeRemoteWhileOpen) {
  UniSock sock;
  sock.setProtocol(1);
  ASSERT_TRUE(sock.bind(testsupport::freeUdpPort(), QStringLiteral("127.0.0.1")));
  EXPECT_NO_THROW(sock.setRemoteHost(QStringLiteral("127.0.0.2")));
  EXPECT_NO_THROW(sock.setRemotePort(9));
  EXPECT_EQ(sock.RemotePort(), 9);
}
