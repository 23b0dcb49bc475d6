// The socket object on ::1: an IPv6 text as the local address makes it an
// IPv6 socket, and everything else works as over IPv4.
#include "net/unisock.h"

#include "sockettestkit.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

const QString kLoopback6 = QStringLiteral("::1");

Endpoint loopback6(int port) {
  Endpoint at;
  sys::parseNumeric(kLoopback6, &at);
  at.port = port;
  return at;
}

struct ErrorSeen {
  int number = 0;
  QString source;
};

void recordErrors(UniSock& sock, ErrorSeen& seen) {
  QObject::connect(
      &sock, &UniSock::Error,
      [&seen](short number, QString&, int, const QString& source, const QString&, int, bool&) {
        seen.number = number;
        seen.source = source;
      });
}

}  // namespace

TEST(UniSockIpv6, TcpListenerOnLoopbackSeesTheRequestOfAnIpv6Peer) {
  const int port = testsupport::freeTcpPort();
  UniSock listener;
  ASSERT_TRUE(listener.bind(port, kLoopback6));
  ASSERT_TRUE(listener.listen());
  EXPECT_EQ(listener.State(), UniSock::sckOpen);
  EXPECT_EQ(listener.LocalIP(), kLoopback6);
  EXPECT_EQ(listener.LocalPort(), port);

  QString requestIP;
  int requestPort = 0;
  QObject::connect(&listener, &UniSock::ConnectionRequest, [&](int) {
    requestIP = listener.RequestIP();
    requestPort = listener.RequestPort();
  });
  int error = 0;
  SocketFd peer = sys::openSocket(sys::Kind::Stream, &error, true);
  ASSERT_TRUE(peer.valid());
  sys::startConnect(peer.get(), loopback6(port));
  ASSERT_TRUE(kit::waitFor([&] { return requestPort != 0; }));
  Endpoint peerLocal;
  ASSERT_EQ(sys::localEndpoint(peer.get(), &peerLocal), 0);
  EXPECT_EQ(requestIP, kLoopback6);
  EXPECT_EQ(requestPort, peerLocal.port);
}

TEST(UniSockIpv6, UdpDatagramArrivesAndBindErrorsAreThoseOfIpv4) {
  const int port = testsupport::freeUdpPort();
  UniSock receiver;
  receiver.setProtocol(UniSock::sckUDPProtocol);
  ASSERT_TRUE(receiver.bind(port, kLoopback6));
  QByteArray received;
  QObject::connect(&receiver, &UniSock::DataArrival, [&](int) {
    SockVariant data;
    if (receiver.GetData(data)) received = data.raw();
  });
  // A sender object that is only told where to: connect() makes its socket IPv6.
  UniSock sender;
  sender.setProtocol(UniSock::sckUDPProtocol);
  ASSERT_TRUE(sender.connect(kLoopback6, port));
  ASSERT_TRUE(sender.SendText(QStringLiteral("over six")));
  ASSERT_TRUE(kit::waitFor([&] { return !received.isEmpty(); }));
  EXPECT_EQ(received, "over six\r\n");  // SendText ends the line

  UniSock second;
  second.setProtocol(UniSock::sckUDPProtocol);
  ErrorSeen inUse;
  recordErrors(second, inUse);
  EXPECT_FALSE(second.bind(port, kLoopback6));
  EXPECT_EQ(inUse.number, 10048);
  EXPECT_EQ(inUse.source, QStringLiteral("UniSock.Private_Bind"));

  UniSock elsewhere;
  ErrorSeen notHere;
  recordErrors(elsewhere, notHere);
  EXPECT_FALSE(elsewhere.bind(port, QStringLiteral("2001:db8::1")));
  EXPECT_EQ(notHere.number, 10049);
  EXPECT_EQ(elsewhere.State(), UniSock::sckClosed);
}
