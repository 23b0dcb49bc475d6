// Name look-ups never hold the event loop up: this computer's first address
// is looked up once for the run, and accept() gives a peer's address at once
// and its name when the resolver answers.
//
// The resolver is one of the test's own: the test program runs again in
// namespaces of its own (network, mount, host name) where /etc/resolv.conf
// names a DNS server on 127.0.0.1 that this test plays, so no query leaves
// the namespace's loopback and the server answers exactly when told to.
#include "net/unisock.h"

#include "sockettestkit.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

const char kLabVariable[] = "VANTREL_RESOLVER_LAB";
const char kLabHostName[] = "vantrel-lab.test";
const char kLabAddress[] =
    "192.0.2.10";  // on the lab's loopback, and what the host name resolves to
const char kPeerName[] = "peer.vantrel.test";

bool insideLab() { return qEnvironmentVariableIsSet(kLabVariable); }

// A DNS server on 127.0.0.1:53 that answers A queries with kLabAddress at once
// and PTR queries with kPeerName once released (holding them until then).
class FakeResolver {
 public:
  FakeResolver() : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(53);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!m_fd.valid() || ::bind(m_fd.get(), reinterpret_cast<sockaddr*>(&at), sizeof at) != 0)
      return;
    m_thread = std::thread([this] { serve(); });
  }
  ~FakeResolver() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
  }
  bool listening() const { return m_thread.joinable(); }
  void releaseNames() { m_released = true; }
  int addressQueries() const { return m_addressQueries; }

 private:
  struct Query {
    QByteArray bytes;
    sockaddr_in from{};
  };

  void serve() {
    std::vector<Query> held;
    while (!m_stop) {
      pollfd ready{m_fd.get(), POLLIN, 0};
      if (::poll(&ready, 1, 20) == 1) {
        Query query;
        query.bytes.resize(512);
        socklen_t length = sizeof query.from;
        const ssize_t got = ::recvfrom(m_fd.get(), query.bytes.data(), 512, 0,
                                       reinterpret_cast<sockaddr*>(&query.from), &length);
        if (got > 0) {
          query.bytes.truncate(got);
          held.push_back(query);
        }
      }
      for (auto it = held.begin(); it != held.end();) {
        it = answer(*it) ? held.erase(it) : it + 1;
      }
    }
  }

  // Answers the query unless it is a PTR query still held; true when done with it.
  bool answer(const Query& query) {
    const QByteArray& q = query.bytes;
    qsizetype end = 12;
    while (end < q.size() && q[end] != 0) end += 1 + static_cast<unsigned char>(q[end]);
    if (end + 5 > q.size()) return true;  // not a question: dropped
    const int type =
        (static_cast<unsigned char>(q[end + 1]) << 8) | static_cast<unsigned char>(q[end + 2]);
    if (type == 12 && !m_released) return false;
    if (type == 1) ++m_addressQueries;

    QByteArray data;
    if (type == 1) {
      in_addr address{};
      ::inet_pton(AF_INET, kLabAddress, &address);
      data = QByteArray(reinterpret_cast<const char*>(&address), 4);
    } else if (type == 12) {
      for (const QByteArray& label : QByteArray(kPeerName).split('.'))
        data += char(label.size()) + label;
      data += '\0';
    }
    QByteArray reply = q.left(end + 5);
    reply[2] = char(0x81);  // an answer to a recursive query
    reply[3] = char(0x80);
    reply[7] = char(data.isEmpty() ? 0 : 1);  // answer count
    reply[9] = reply[11] = 0;
    if (!data.isEmpty()) {
      reply +=
          QByteArray::fromHex("c00c") + q.mid(end + 1, 2) + QByteArray::fromHex("00010000003c");
      reply += char(data.size() >> 8);
      reply += char(data.size() & 0xFF);
      reply += data;
    }
    ::sendto(m_fd.get(), reply.constData(), static_cast<size_t>(reply.size()), 0,
             reinterpret_cast<const sockaddr*>(&query.from), sizeof query.from);
    return true;
  }

  SocketFd m_fd;
  std::thread m_thread;
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_released{false};
  std::atomic<int> m_addressQueries{0};
};

// A TCP connection to (address, port) from `from`, made without waiting.
SocketFd connectFrom(const QString& from, const QString& address, int port) {
  Endpoint local;
  Endpoint to;
  sys::parseNumeric(from, &local);
  sys::parseNumeric(address, &to);
  to.port = port;
  int error = 0;
  SocketFd peer = sys::openSocket(sys::Kind::Stream, &error, to.ipv6);
  if (!peer.valid() || sys::bindTo(peer.get(), local) != 0) return SocketFd();
  sys::startConnect(peer.get(), to);
  return peer;
}

// Accepts one connection from `peerAddress` to a listener on `listenAddress`;
// RemoteHost is read the moment accept() returns, before the resolver answers.
void expectAddressAtOnceAndNameLater(const QString& listenAddress, const QString& peerAddress) {
  FakeResolver dns;
  ASSERT_TRUE(dns.listening());
  const int port = testsupport::freeTcpPort();
  UniSock listener;
  ASSERT_TRUE(listener.bind(port, listenAddress));
  ASSERT_TRUE(listener.listen());
  UniSock taker;
  QString hostAtAccept;
  QObject::connect(&listener, &UniSock::ConnectionRequest, [&](int id) {
    EXPECT_TRUE(taker.accept(id));
    hostAtAccept = taker.RemoteHost();
    dns.releaseNames();
  });
  const SocketFd peer = connectFrom(peerAddress, listenAddress, port);
  ASSERT_TRUE(peer.valid());
  ASSERT_TRUE(kit::waitFor([&] { return !hostAtAccept.isEmpty(); }));
  EXPECT_EQ(hostAtAccept, peerAddress);
  EXPECT_EQ(taker.RemoteHostIP(), peerAddress);
  EXPECT_TRUE(kit::waitFor([&] { return taker.RemoteHost() == QLatin1String(kPeerName); }))
      << taker.RemoteHost().toStdString();
}

}  // namespace

TEST(UniSockNameLookups, RunInALabWithAResolverOfTheirOwn) {
  if (insideLab()) GTEST_SKIP() << "the lab's own run";
  if (::geteuid() != 0) GTEST_SKIP() << "namespaces for the lab need root";
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString resolvConf = folder.filePath(QStringLiteral("resolv.conf"));
  QFile conf(resolvConf);
  ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
  conf.write("nameserver 127.0.0.1\noptions timeout:1 attempts:1\n");
  conf.close();

  const QString script = QStringLiteral(
                             "export PATH=$PATH:/usr/sbin:/sbin\n"
                             "ip link set lo up && ip addr add %1/32 dev lo && mount --bind "
                             "\"$%2\" /etc/resolv.conf && "
                             "hostname %3 || exit 77\n"
                             "exec \"$0\" --gtest_filter='UniSockNameLookupsLab.*'\n")
                             .arg(QLatin1String(kLabAddress), QLatin1String(kLabVariable),
                                  QLatin1String(kLabHostName));
  QProcess lab;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QLatin1String(kLabVariable), resolvConf);
  lab.setProcessEnvironment(environment);
  lab.setProcessChannelMode(QProcess::MergedChannels);
  lab.start(QStringLiteral("unshare"),
            {QStringLiteral("--mount"), QStringLiteral("--uts"), QStringLiteral("--net"),
             QStringLiteral("sh"), QStringLiteral("-c"), script,
             QCoreApplication::applicationFilePath()});
  if (!lab.waitForStarted(30000)) GTEST_SKIP() << "unshare is not available";
  ASSERT_TRUE(lab.waitForFinished(120000)) << "the lab's run did not end";
  const QString output = QString::fromLocal8Bit(lab.readAll());
  if (lab.exitCode() == 77 ||
      (lab.exitCode() == 1 && output.contains(QLatin1String("unshare failed")))) {
    GTEST_SKIP() << "namespaces cannot be made here: " << output.toStdString();
  }
  EXPECT_EQ(lab.exitCode(), 0) << output.toStdString();
}

TEST(UniSockNameLookupsLab, FirstAddressIsLookedUpOnceForTheRun) {
  if (!insideLab()) GTEST_SKIP() << "runs inside the lab only";
  FakeResolver dns;
  ASSERT_TRUE(dns.listening());
  EXPECT_EQ(UniSock().LocalIP(), QLatin1String(kLabAddress));
  // The window's re-listen after each arrival: close, then listen on the first address.
  UniSock relistening;
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(relistening.listen());
    EXPECT_EQ(relistening.LocalIP(), QLatin1String(kLabAddress));
    relistening.closesocket();
  }
  EXPECT_EQ(dns.addressQueries(), 1);
}

TEST(UniSockNameLookupsLab, AcceptGivesTheAddressAtOnceAndTheNameLater) {
  if (!insideLab()) GTEST_SKIP() << "runs inside the lab only";
  expectAddressAtOnceAndNameLater(QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.5"));
}

TEST(UniSockNameLookupsLab, Ipv6PeerIsAcceptedWithItsAddressText) {
  if (!insideLab()) GTEST_SKIP() << "runs inside the lab only";
  expectAddressAtOnceAndNameLater(QStringLiteral("::1"), QStringLiteral("::1"));
}
