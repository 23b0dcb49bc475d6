#include "net/unisock.h"

#include "sockettestkit.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

// A TCP listener on 127.0.0.1 at a port of the system's choice.
std::unique_ptr<UniSock> loopbackListener() {
  auto sock = std::make_unique<UniSock>();
  EXPECT_TRUE(sock->bind(0, QStringLiteral("127.0.0.1")));
  EXPECT_TRUE(sock->listen());
  return sock;
}

QByteArray takeAll(UniSock& sock) {
  SockVariant data;
  if (!sock.GetData(data)) return {};
  return data.raw();
}

}  // namespace

TEST(UniSockConnectionRequest, RefusedWhenHandlerDoesNothing) {
  auto listener = loopbackListener();
  QList<int> ids;
  QString requestIP;
  int requestPort = 0;
  QObject::connect(listener.get(), &UniSock::ConnectionRequest, [&](int id) {
    ids << id;
    requestIP = listener->RequestIP();
    requestPort = listener->RequestPort();
  });
  kit::Peer peer = kit::Peer::tcpTo(listener->LocalPort());
  ASSERT_TRUE(peer.valid());
  ASSERT_TRUE(kit::waitFor([&] { return !ids.isEmpty(); }));
  EXPECT_EQ(ids, QList<int>({listener->identity()}));
  EXPECT_EQ(requestIP, "127.0.0.1");
  EXPECT_EQ(requestPort, peer.localPort());
  EXPECT_TRUE(peer.sawClose());
  EXPECT_TRUE(listener->RequestIP().isEmpty());
  EXPECT_EQ(listener->RequestPort(), 0);
}

TEST(UniSockConnectionRequest, AcceptOnFreshObjectTakesConnectionAndEarlyBytes) {
  auto listener = loopbackListener();
  UniSock taker;
  bool connected = false;
  int stateAtConnect = -1;
  QByteArray received;
  QObject::connect(&taker, &UniSock::Connect, [&] {
    connected = true;
    stateAtConnect = taker.State();
  });
  QObject::connect(&taker, &UniSock::DataArrival, [&](int) { received += takeAll(taker); });

  kit::Peer peer = kit::Peer::tcpTo(listener->LocalPort());
  ASSERT_TRUE(peer.valid());
  ASSERT_TRUE(peer.send("sent before the accept"));
  QObject::connect(listener.get(), &UniSock::ConnectionRequest, [&](int id) {
    // Let the bytes reach the pending connection before it is handed over.
    kit::pump(30);
    EXPECT_TRUE(taker.accept(id));
  });

  ASSERT_TRUE(kit::waitFor([&] { return received.size() >= 22; }));
  EXPECT_TRUE(connected);
  EXPECT_EQ(stateAtConnect, 7);
  EXPECT_EQ(taker.State(), 7);
  EXPECT_EQ(received, "sent before the accept");
  EXPECT_EQ(taker.RemoteHostIP(), "127.0.0.1");
  EXPECT_EQ(taker.RemotePort(), peer.localPort());
  EXPECT_EQ(taker.LocalPort(), listener->LocalPort());
  EXPECT_FALSE(taker.RemoteHost().isEmpty());

  ASSERT_TRUE(peer.send("and after"));
  ASSERT_TRUE(kit::waitFor([&] { return received.size() >= 31; }));
  EXPECT_EQ(received, "sent before the acceptand after");

  ASSERT_TRUE(taker.SendData(SockVariant::fromString("reply")));
  EXPECT_EQ(peer.receive(5), "reply");
}

TEST(UniSockConnectionRequest, HandlerMayCloseAndListenAgain) {
  auto listener = loopbackListener();
  const int firstPort = listener->LocalPort();
  int requests = 0;
  QObject::connect(listener.get(), &UniSock::ConnectionRequest, [&](int) {
    ++requests;
    listener->closesocket();
    // The program listens again right away; the new port is the system's choice.
    listener->listen();
  });
  kit::Peer peer = kit::Peer::tcpTo(firstPort);
  ASSERT_TRUE(kit::waitFor([&] { return requests == 1; }));
  EXPECT_TRUE(peer.sawClose());
  EXPECT_NE(listener->SocketHandle(), -1);
  EXPECT_GT(listener->LocalPort(), 0);
}

TEST(UniSockConnectionRequest, HandlerMayReleaseTheListener) {
  auto* listener = loopbackListener().release();
  bool handled = false;
  QObject::connect(listener, &UniSock::ConnectionRequest, [&](int) {
    listener->closesocket();
    delete listener;  // the owner replaces its socket object from inside the event
    listener = nullptr;
    kit::pump(3);
    handled = true;
  });
  kit::Peer peer = kit::Peer::tcpTo(listener->LocalPort());
  ASSERT_TRUE(kit::waitFor([&] { return handled; }));
  EXPECT_TRUE(peer.sawClose());
  kit::pump(5);
}

TEST(UniSockConnectionRequest, ReleasedWithDeleteLaterInsideNestedEvents) {
  auto* listener = loopbackListener().release();
  bool handled = false;
  QObject::connect(listener, &UniSock::ConnectionRequest, [&](int) {
    listener->deleteLater();
    kit::pump(3);  // nested event processing runs the deferred delete
    handled = true;
  });
  kit::Peer peer = kit::Peer::tcpTo(listener->LocalPort());
  ASSERT_TRUE(kit::waitFor([&] { return handled; }));
  EXPECT_TRUE(peer.sawClose());
}

TEST(UniSockConnectionRequest, MainWindowPathWithNamedPort) {
  UniSock sock;
  const int port = testsupport::freeTcpPort();
  sock.setProtocol(0);
  ASSERT_TRUE(sock.bind(port, QStringLiteral("127.0.0.1")));
  ASSERT_TRUE(sock.listen());
  EXPECT_EQ(sock.State(), 1);
  EXPECT_EQ(sock.LocalIP(), "127.0.0.1");
  QString seenFrom;
  QObject::connect(&sock, &UniSock::ConnectionRequest, [&](int) { seenFrom = sock.RequestIP(); });
  kit::Peer peer = kit::Peer::tcpTo(port);
  ASSERT_TRUE(kit::waitFor([&] { return !seenFrom.isEmpty(); }));
  EXPECT_EQ(seenFrom, "127.0.0.1");
}

TEST(UniSockConnection, ClientAndServerObjectsExchangeData) {
  auto listener = loopbackListener();
  UniSock server;
  QObject::connect(listener.get(), &UniSock::ConnectionRequest, [&](int id) { server.accept(id); });
  UniSock client;
  bool clientConnected = false;
  QObject::connect(&client, &UniSock::Connect, [&] { clientConnected = true; });
  ASSERT_TRUE(client.connect(QStringLiteral("127.0.0.1"), listener->LocalPort()));
  ASSERT_TRUE(kit::waitFor([&] { return clientConnected && server.State() == 7; }));

  QByteArray atServer;
  QObject::connect(&server, &UniSock::DataArrival, [&](int) { atServer += takeAll(server); });
  int completions = 0;
  QObject::connect(&client, &UniSock::SendComplete, [&] { ++completions; });
  ASSERT_TRUE(client.SendData(SockVariant::fromString("ping")));
  EXPECT_EQ(completions, 1);
  ASSERT_TRUE(kit::waitFor([&] { return atServer == "ping"; }));
}

TEST(UniSockConnection, LargeSendIsDeliveredCompletelyInOrder) {
  auto listener = loopbackListener();
  UniSock server;
  QObject::connect(listener.get(), &UniSock::ConnectionRequest, [&](int id) { server.accept(id); });
  kit::Peer peer = kit::Peer::tcpTo(listener->LocalPort());
  ASSERT_TRUE(kit::waitFor([&] { return server.State() == 7; }));

  QByteArray payload(8 * 1024 * 1024, '\0');
  for (qsizetype i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>((i * 131) >> 7);
  QList<int> progress;
  bool complete = false;
  QObject::connect(&server, &UniSock::SendProgress, [&](int sent, int) { progress << sent; });
  QObject::connect(&server, &UniSock::SendComplete, [&] { complete = true; });
  ASSERT_TRUE(server.SendData(SockVariant::fromBytes(payload)));

  QByteArray got;
  while (got.size() < payload.size()) {
    const QByteArray chunk =
        peer.receive(static_cast<int>(qMin<qsizetype>(1 << 20, payload.size() - got.size())));
    if (chunk.isEmpty()) break;
    got += chunk;
    kit::pump(1);  // the rest goes out on write readiness
  }
  ASSERT_TRUE(kit::waitFor([&] { return complete; }));
  EXPECT_EQ(got.size(), payload.size());
  EXPECT_TRUE(got == payload);
  EXPECT_GE(progress.size(), 2);  // the system could not take it all at once
}

TEST(UniSockConnection, PeerResetMidStreamGivesError10054ThenCloses) {
  auto listener = loopbackListener();
  UniSock server;
  QObject::connect(listener.get(), &UniSock::ConnectionRequest, [&](int id) { server.accept(id); });
  kit::Peer peer = kit::Peer::tcpTo(listener->LocalPort());
  ASSERT_TRUE(kit::waitFor([&] { return server.State() == 7; }));
  int closings = 0;
  QStringList errors;
  QList<int> states;
  QObject::connect(&server, &UniSock::Closing, [&] { ++closings; });
  QObject::connect(&server, &UniSock::StatusChange, [&](int s) { states << s; });
  QObject::connect(&server, &UniSock::Error,
                   [&](short n, QString& text, int, const QString& source, const QString&, int,
                       bool&) { errors << QStringLiteral("%1 %2 %3").arg(n).arg(text, source); });
  QObject::connect(&server, &UniSock::DataArrival, [&](int) { takeAll(server); });
  ASSERT_TRUE(peer.send(QByteArray(1000, 'r')));
  peer.reset();
  ASSERT_TRUE(kit::waitFor([&] { return server.State() == 0; }));
  EXPECT_EQ(errors, QStringList{"10054 Connection reset by peer. UniSock.Private_Message"});
  EXPECT_EQ(states.mid(states.indexOf(9)), QList<int>({9, 8, 0}));  // the error, then the close
  EXPECT_EQ(server.SocketHandle(), -1);
  kit::pump(10);
  EXPECT_EQ(closings, 0);
  EXPECT_EQ(errors.size(), 1);
}

TEST(UniSockConnection, OrderlyCloseDeliversDataThenClosing) {
  auto listener = loopbackListener();
  UniSock server;
  QObject::connect(listener.get(), &UniSock::ConnectionRequest, [&](int id) { server.accept(id); });
  kit::Peer peer = kit::Peer::tcpTo(listener->LocalPort());
  ASSERT_TRUE(kit::waitFor([&] { return server.State() == 7; }));
  QStringList order;
  QByteArray received;
  QObject::connect(&server, &UniSock::DataArrival, [&](int) {
    order << "data";
    received += takeAll(server);
  });
  QObject::connect(&server, &UniSock::Closing, [&] { order << "closing"; });
  ASSERT_TRUE(peer.send("last words"));
  peer.close();
  ASSERT_TRUE(kit::waitFor([&] { return order.contains("closing"); }));
  EXPECT_EQ(received, "last words");
  EXPECT_EQ(order.last(), "closing");
}

TEST(UniSockConnection, WritingToAVanishedPeerNeverEndsTheProgram) {
  auto listener = loopbackListener();
  UniSock server;
  QObject::connect(listener.get(), &UniSock::ConnectionRequest, [&](int id) { server.accept(id); });
  kit::Peer peer = kit::Peer::tcpTo(listener->LocalPort());
  ASSERT_TRUE(kit::waitFor([&] { return server.State() == 7; }));
  peer.reset();
  // Whether the loss is seen as an error while sending or as Closing first,
  // the program goes on (no SIGPIPE).
  for (int i = 0; i < 50 && server.State() == 7; ++i) {
    server.SendData(SockVariant::fromBytes(QByteArray(4096, 'x')));
    kit::pump(1);
  }
  SUCCEED();
}

TEST(UniSockDescriptors, ThousandsOfRefusedRequestsLeakNothing) {
  auto listener = loopbackListener();
  int requests = 0;
  QObject::connect(listener.get(), &UniSock::ConnectionRequest, [&](int) { ++requests; });
  // One round first, so that lazily opened descriptors of the runtime are counted.
  {
    kit::Peer warmup = kit::Peer::tcpTo(listener->LocalPort());
    ASSERT_TRUE(kit::waitFor([&] { return requests == 1; }));
  }
  const int before = kit::openDescriptors();
  constexpr int kRounds = 2000;
  for (int i = 0; i < kRounds; ++i) {
    kit::Peer peer = kit::Peer::tcpTo(listener->LocalPort());
    ASSERT_TRUE(peer.valid());
    ASSERT_TRUE(kit::waitFor([&] { return requests == i + 2; }));
  }
  kit::pump(5);
  EXPECT_EQ(kit::openDescriptors(), before);
}

TEST(UniSockDescriptors, ObjectsLeaveNoDescriptorsBehind) {
  const int before = kit::openDescriptors();
  for (int i = 0; i < 200; ++i) {
    UniSock tcp;
    tcp.bind(0, QStringLiteral("127.0.0.1"));
    tcp.listen();
    UniSock udp;
    udp.setProtocol(1);
    udp.bind(0, QStringLiteral("127.0.0.1"));
  }
  kit::pump(3);
  EXPECT_EQ(kit::openDescriptors(), before);
}

TEST(UniSockHandlers, ExceptionFromAHandlerDoesNotStopTheObject) {
  auto listener = loopbackListener();
  int requests = 0;
  QObject::connect(listener.get(), &UniSock::ConnectionRequest, [&](int) {
    ++requests;
    throw std::runtime_error("owner bug");
  });
  kit::Peer first = kit::Peer::tcpTo(listener->LocalPort());
  ASSERT_TRUE(kit::waitFor([&] { return requests == 1; }));
  kit::Peer second = kit::Peer::tcpTo(listener->LocalPort());
  ASSERT_TRUE(kit::waitFor([&] { return requests == 2; }));
  EXPECT_TRUE(first.sawClose());
}
