#include "net/unisock.h"

#include "sockettestkit.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <memory>
#include <thread>

namespace {

// A connected pair: a UniSock that accepted the connection of a plain peer.
class ConnectedPair : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(listener.bind(0, QStringLiteral("127.0.0.1")));
    ASSERT_TRUE(listener.listen());
    QObject::connect(&listener, &UniSock::ConnectionRequest, [this](int id) { sock.accept(id); });
    peer = std::make_unique<kit::Peer>(kit::Peer::tcpTo(listener.LocalPort()));
    ASSERT_TRUE(kit::waitFor([this] { return sock.State() == 7; }));
  }

  void receiveWithoutTaking(const QByteArray& bytes) {
    const int target = sock.BytesReceived() + static_cast<int>(bytes.size());
    ASSERT_TRUE(peer->send(bytes));
    ASSERT_TRUE(kit::waitFor([&] { return sock.BytesReceived() == target; }));
  }

  QByteArray sentBytes(const SockVariant& value, int expectedSize) {
    EXPECT_TRUE(sock.SendData(value));
    return peer->receive(expectedSize);
  }

  UniSock listener;
  UniSock sock;
  std::unique_ptr<kit::Peer> peer;
};

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

}  // namespace

TEST_F(ConnectedPair, GetDataWithoutLimitTakesEverything) {
  receiveWithoutTaking("0123456789");
  SockVariant data;
  ASSERT_TRUE(sock.GetData(data, SockVariant::Byte | SockVariant::Array, 0));
  EXPECT_EQ(data.raw(), "0123456789");
  EXPECT_EQ(sock.BytesReceived(), 0);
  SockVariant again;
  EXPECT_FALSE(sock.GetData(again));
  EXPECT_TRUE(again.isEmpty());
}

TEST_F(ConnectedPair, GetDataWithLimitLeavesTheRest) {
  receiveWithoutTaking("0123456789");
  SockVariant data;
  ASSERT_TRUE(sock.GetData(data, SockVariant::Byte | SockVariant::Array, 4));
  EXPECT_EQ(data.raw(), "0123");
  EXPECT_EQ(sock.BytesReceived(), 6);
  SockVariant rest;
  ASSERT_TRUE(sock.GetData(rest));
  EXPECT_EQ(rest.raw(), "456789");
}

TEST_F(ConnectedPair, PeekDataLeavesTheBufferAsItWas) {
  receiveWithoutTaking("0123456789");
  SockVariant peeked;
  ASSERT_TRUE(sock.PeekData(peeked, SockVariant::String, 0));
  EXPECT_EQ(peeked.toString(), "0123456789");
  EXPECT_EQ(sock.BytesReceived(), 10);
  SockVariant taken;
  ASSERT_TRUE(sock.GetData(taken, SockVariant::String));
  EXPECT_EQ(taken.toString(), peeked.toString());
}

TEST_F(ConnectedPair, ScalarTakesOnlyItsWidth) {
  receiveWithoutTaking(hex("0102"));
  SockVariant value;
  ASSERT_TRUE(sock.GetData(value, SockVariant::Long));
  EXPECT_EQ(value.toLong(), 0x0201);
  EXPECT_EQ(sock.BytesReceived(), 0);

  receiveWithoutTaking(hex("3412aabb"));
  SockVariant small;
  ASSERT_TRUE(sock.GetData(small, SockVariant::Integer));
  EXPECT_EQ(small.toInteger(), 0x1234);
  EXPECT_EQ(sock.BytesReceived(), 2);
}

TEST_F(ConnectedPair, DataThatHoldsAValueDecidesTheType) {
  receiveWithoutTaking(hex("ffff"));
  SockVariant value = SockVariant::fromBoolean(false);
  ASSERT_TRUE(sock.GetData(value, SockVariant::String));
  EXPECT_EQ(value.type(), SockVariant::Boolean);
  EXPECT_TRUE(value.toBoolean());
}

TEST_F(ConnectedPair, StringArraySplitsAtLineEndings) {
  receiveWithoutTaking("one\r\ntwo\r\nthree");
  SockVariant lines;
  ASSERT_TRUE(sock.GetData(lines, SockVariant::String | SockVariant::Array));
  EXPECT_EQ(lines.toStrings(), QStringList({"one", "two", "three"}));
}

TEST_F(ConnectedPair, UnsupportedTypeIsRefusedAndNothingIsTaken) {
  receiveWithoutTaking("abc");
  SockVariant value;
  try {
    sock.GetData(value, SockVariant::Object);
    FAIL() << "no error raised";
  } catch (const UniSockError& e) {
    EXPECT_EQ(e.number(), 40018);
    EXPECT_EQ(e.description(), "Unsupported variant types.");
  }
  EXPECT_EQ(sock.BytesReceived(), 3);
}

TEST_F(ConnectedPair, SendDataPutsEveryTypeOnTheWireAsDocumented) {
  EXPECT_EQ(sentBytes(SockVariant::fromInteger(0x1234), 2), hex("3412"));
  EXPECT_EQ(sentBytes(SockVariant::fromLong(-2), 4), hex("feffffff"));
  EXPECT_EQ(sentBytes(SockVariant::fromSingle(1.0f), 4), hex("0000803f"));
  EXPECT_EQ(sentBytes(SockVariant::fromDouble(1.0), 8), hex("000000000000f03f"));
  EXPECT_EQ(sentBytes(SockVariant::fromCurrency(12345), 8), hex("3930000000000000"));
  EXPECT_EQ(sentBytes(SockVariant::fromDate(2.5), 8), hex("0000000000000440"));
  EXPECT_EQ(sentBytes(SockVariant::fromBoolean(true), 2), hex("ffff"));
  EXPECT_EQ(sentBytes(SockVariant::fromBoolean(false), 2), hex("0000"));
  EXPECT_EQ(sentBytes(SockVariant::fromByte(0xAB), 1), hex("ab"));
  EXPECT_EQ(sentBytes(SockVariant::fromString(QString::fromUtf8("hé")), 3), hex("68c3a9"));
  EXPECT_EQ(sentBytes(SockVariant::fromBytes(hex("000102")), 3), hex("000102"));
  EXPECT_EQ(
      sentBytes(SockVariant::fromRaw(SockVariant::Integer | SockVariant::Array, hex("01000200")),
                4),
      hex("01000200"));
  EXPECT_EQ(sentBytes(SockVariant::fromStrings({"a", "b"}), 4), "a\r\nb");
  sock.setLineChange(2);
  EXPECT_EQ(sentBytes(SockVariant::fromStrings({"a", "b"}), 3), "a\nb");
}

TEST_F(ConnectedPair, SendDataRefusesObjectsAndSendsNothingForEmptyValues) {
  try {
    sock.SendData(SockVariant::fromRaw(SockVariant::Object, {}));
    FAIL() << "no error raised";
  } catch (const UniSockError& e) {
    EXPECT_EQ(e.number(), 40018);
    EXPECT_EQ(e.source(), "SendData");
  }
  EXPECT_FALSE(sock.SendData(SockVariant::fromString(QString())));
}

TEST_F(ConnectedPair, SendTextEncodings) {
  ASSERT_TRUE(sock.SendText(QString::fromUtf8("ü"), 0));
  EXPECT_EQ(peer->receive(4), hex("c3bc0d0a"));
  ASSERT_TRUE(sock.SendText(QStringLiteral("A"), 1));
  EXPECT_EQ(peer->receive(4), hex("41000d0a"));
  ASSERT_TRUE(sock.SendText(QStringLiteral("A"), 2));
  EXPECT_EQ(peer->receive(6), hex("41000d000a00"));
}

TEST_F(ConnectedPair, DataArrivalCountsBytesOfOneReceive) {
  QList<int> counts;
  QObject::connect(&sock, &UniSock::DataArrival, [&](int n) { counts << n; });
  ASSERT_TRUE(peer->send("12345"));
  ASSERT_TRUE(kit::waitFor([&] { return !counts.isEmpty(); }));
  EXPECT_EQ(counts.first(), 5);
  ASSERT_TRUE(peer->send("678"));
  ASSERT_TRUE(kit::waitFor([&] { return counts.size() == 2; }));
  EXPECT_EQ(counts[1], 3);
  EXPECT_EQ(sock.BytesReceived(), 8);  // nothing taken, all still buffered
}

TEST_F(ConnectedPair, TextModeRaisesLinesAndKeepsTheRest) {
  sock.setMode(1);
  struct Line {
    QString text;
    int ending;
    bool raw;
  };
  QList<Line> lines;
  int dataEvents = 0;
  QObject::connect(&sock, &UniSock::TextArrival, [&](QString& text, int ending, bool raw) {
    lines << Line{text, ending, raw};
  });
  QObject::connect(&sock, &UniSock::DataArrival, [&](int) { ++dataEvents; });

  ASSERT_TRUE(peer->send("ab\r\ncd"));
  ASSERT_TRUE(kit::waitFor([&] { return lines.size() == 1; }));
  EXPECT_EQ(lines[0].text, "ab");
  EXPECT_EQ(lines[0].ending, 1);
  EXPECT_FALSE(lines[0].raw);
  ASSERT_TRUE(kit::waitFor([&] { return sock.BytesReceived() == 2; }));

  ASSERT_TRUE(peer->send("\r\n\xC3\xA9t\xC3\xA9\r\n\xFF\xFE\r\n"));
  ASSERT_TRUE(kit::waitFor([&] { return lines.size() == 4; }));
  EXPECT_EQ(lines[1].text, "cd");
  EXPECT_EQ(lines[2].text, QString::fromUtf8("été"));
  EXPECT_FALSE(lines[2].raw);
  EXPECT_TRUE(lines[3].raw);
  EXPECT_EQ(lines[3].text.toLatin1(), QByteArray("\xFF\xFE"));
  EXPECT_EQ(sock.BytesReceived(), 0);
  EXPECT_EQ(dataEvents, 0);

  SockVariant value;
  try {
    sock.GetData(value);
    FAIL() << "GetData worked in text mode";
  } catch (const UniSockError& e) {
    EXPECT_EQ(e.number(), 40006);
  }
}

TEST_F(ConnectedPair, TextModeTakesALongLineInManyReceivesWhole) {
  // Thousands of receives of one unfinished line: scanning the whole buffer
  // again on each would not finish within the wait.
  sock.setMode(1);
  QList<qsizetype> lengths;
  QObject::connect(&sock, &UniSock::TextArrival,
                   [&](QString& text, int, bool) { lengths << text.size(); });
  const QByteArray line(qsizetype{32} * 1024 * 1024, 'a');
  std::thread sender([&] { peer->send(line + "\nb"); });
  const bool arrived = kit::waitFor([&] { return !lengths.isEmpty(); });
  if (!arrived) ::shutdown(peer->fd(), SHUT_RDWR);  // frees a sender stuck on a full window
  sender.join();
  ASSERT_TRUE(arrived);
  EXPECT_EQ(lengths, QList<qsizetype>{line.size()});
  ASSERT_TRUE(kit::waitFor([&] { return sock.BytesReceived() == 1; }));
}

TEST_F(ConnectedPair, HandlerMayCloseInsideTextArrival) {
  sock.setMode(1);
  int lines = 0;
  QObject::connect(&sock, &UniSock::TextArrival, [&](QString&, int, bool) {
    ++lines;
    sock.closesocket();
  });
  ASSERT_TRUE(peer->send("one\ntwo\nthree\n"));
  ASSERT_TRUE(kit::waitFor([&] { return lines > 0; }));
  kit::pump(5);
  EXPECT_EQ(lines, 1);
  EXPECT_EQ(sock.State(), 0);
}

TEST_F(ConnectedPair, PeerSendingPastTheReceiveLimitGetsAnErrorAndTheClose) {
  sock.setReceiveLimit(16);
  QList<short> errors;
  QByteArray heldAtError;
  QObject::connect(
      &sock, &UniSock::Error,
      [&](short n, QString& text, int, const QString& source, const QString&, int, bool&) {
        errors << n;
        EXPECT_EQ(text, "No buffer space available.");
        EXPECT_EQ(source, "UniSock.Private_Message");
        // What is held is still there for the owner to take.
        SockVariant data;
        if (sock.GetData(data)) heldAtError = data.raw();
      });
  ASSERT_TRUE(peer->send(QByteArray(40, 'x')));
  ASSERT_TRUE(kit::waitFor([&] { return sock.State() == 0; }));
  EXPECT_EQ(errors, QList<short>{10055});
  EXPECT_EQ(heldAtError, QByteArray(16, 'x'));
  EXPECT_TRUE(peer->sawClose());
}
