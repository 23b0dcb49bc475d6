// Throughput of the socket object against a plain blocking receive loop, and
// connection requests handled per second, both measured in the same run on
// loopback. Prints figures; asserts nothing.
//
//   unisock_bench [MiB to stream, default 256] [connection requests, default 5000]

#include "net/unisock.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

sockaddr_in loopback(int port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<std::uint16_t>(port));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return sa;
}

SocketFd connectTo(int port) {
  SocketFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in sa = loopback(port);
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) fd.reset();
  return fd;
}

// Sends `total` bytes to the port from another thread, in 1 MiB writes.
std::thread streamTo(int port, long long total) {
  return std::thread([port, total] {
    SocketFd fd = connectTo(port);
    std::vector<char> chunk(1 << 20, 'v');
    long long left = total;
    while (left > 0 && fd.valid()) {
      const ssize_t sent =
          ::send(fd.get(), chunk.data(),
                 static_cast<size_t>(std::min<long long>(left, chunk.size())), MSG_NOSIGNAL);
      if (sent <= 0) break;
      left -= sent;
    }
  });
}

struct PlainListener {
  SocketFd fd;
  int port = 0;
  PlainListener() {
    fd = SocketFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in sa = loopback(0);
    ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    ::listen(fd.get(), 5);
    Endpoint local;
    sys::localEndpoint(fd.get(), &local);
    port = local.port;
  }
};

double plainReceiveSeconds(long long total, std::size_t bufferSize) {
  PlainListener listener;
  QElapsedTimer clock;
  clock.start();
  std::thread sender = streamTo(listener.port, total);
  SocketFd conn(::accept(listener.fd.get(), nullptr, nullptr));
  std::vector<char> buffer(bufferSize);
  long long got = 0;
  while (got < total) {
    const ssize_t n = ::recv(conn.get(), buffer.data(), buffer.size(), 0);
    if (n <= 0) break;
    got += n;
  }
  const double seconds = clock.nsecsElapsed() / 1e9;
  sender.join();
  if (got != total) std::fprintf(stderr, "plain loop received %lld of %lld bytes\n", got, total);
  return seconds;
}

double uniSockReceiveSeconds(long long total) {
  UniSock listener;
  listener.bind(0, QStringLiteral("127.0.0.1"));
  listener.listen();
  UniSock receiver;
  long long got = 0;
  QObject::connect(&listener, &UniSock::ConnectionRequest, [&](int id) { receiver.accept(id); });
  QObject::connect(&receiver, &UniSock::DataArrival, [&](int) {
    SockVariant data;
    if (receiver.GetData(data, SockVariant::Byte | SockVariant::Array)) got += data.raw().size();
    if (got >= total) QCoreApplication::exit(0);
  });
  QObject::connect(&receiver, &UniSock::Closing, [] { QCoreApplication::exit(1); });
  QElapsedTimer clock;
  clock.start();
  std::thread sender = streamTo(listener.LocalPort(), total);
  QCoreApplication::exec();
  const double seconds = clock.nsecsElapsed() / 1e9;
  sender.join();
  if (got != total) std::fprintf(stderr, "UniSock received %lld of %lld bytes\n", got, total);
  return seconds;
}

// Connects and closes `count` times, never more than a few requests ahead of
// the listener so that its backlog of 5 is never overrun.
std::thread requestConnections(int port, int count, const std::atomic<int>& handled) {
  return std::thread([port, count, &handled] {
    for (int i = 0; i < count; ++i) {
      while (i - handled.load() >= 4) std::this_thread::yield();
      SocketFd fd = connectTo(port);
    }
  });
}

double plainRequestsPerSecond(int count) {
  PlainListener listener;
  std::atomic<int> handled{0};
  QElapsedTimer clock;
  clock.start();
  std::thread client = requestConnections(listener.port, count, handled);
  for (int i = 0; i < count; ++i) {
    SocketFd conn(::accept(listener.fd.get(), nullptr, nullptr));
    handled.store(i + 1);
  }
  const double seconds = clock.nsecsElapsed() / 1e9;
  client.join();
  return count / seconds;
}

double uniSockRequestsPerSecond(int count) {
  UniSock listener;
  listener.bind(0, QStringLiteral("127.0.0.1"));
  listener.listen();
  std::atomic<int> handled{0};
  QObject::connect(&listener, &UniSock::ConnectionRequest, [&](int) {
    // Refused: the handler does not accept, so the object closes the request.
    if (handled.fetch_add(1) + 1 >= count) QCoreApplication::exit(0);
  });
  QElapsedTimer clock;
  clock.start();
  std::thread client = requestConnections(listener.LocalPort(), count, handled);
  QCoreApplication::exec();
  const double seconds = clock.nsecsElapsed() / 1e9;
  client.join();
  return count / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const long long mebibytes = argc > 1 ? std::atoll(argv[1]) : 256;
  const int requests = argc > 2 ? std::atoi(argv[2]) : 5000;
  const long long total = mebibytes << 20;

  // Each side twice, alternating, so that neither profits from a warmer machine.
  // The second plain loop reads in blocks of the size UniSock uses (the
  // socket's receive buffer size), which shows how much of any gap is the
  // block size rather than the event pump.
  UniSock probe;
  probe.bind(0, QStringLiteral("127.0.0.1"));
  const auto sameBlock = static_cast<std::size_t>(sys::receiveBufferSize(probe.SocketHandle()));
  probe.closesocket();
  double plain = 0;
  double plainSameBlock = 0;
  double uni = 0;
  for (int round = 0; round < 2; ++round) {
    plain += plainReceiveSeconds(total, 256 * 1024);
    uni += uniSockReceiveSeconds(total);
    plainSameBlock += plainReceiveSeconds(total, sameBlock);
  }
  const double plainRate = 2.0 * mebibytes / plain;
  const double plainSameRate = 2.0 * mebibytes / plainSameBlock;
  const double uniRate = 2.0 * mebibytes / uni;
  std::printf("stream %lld MiB over loopback\n", mebibytes);
  std::printf("  plain blocking recv loop, 256 KiB reads : %8.1f MiB/s\n", plainRate);
  std::printf("  plain blocking recv loop, %3zu KiB reads : %8.1f MiB/s\n", sameBlock / 1024,
              plainSameRate);
  std::printf("  UniSock data mode, GetData byte array   : %8.1f MiB/s\n", uniRate);
  std::printf("  ratio UniSock / plain (256 KiB)         : %8.2f (goal >= 0.80)\n",
              uniRate / plainRate);
  std::printf("  ratio UniSock / plain (same block)      : %8.2f\n", uniRate / plainSameRate);

  const double plainRequests = plainRequestsPerSecond(requests);
  const double uniRequests = uniSockRequestsPerSecond(requests);
  std::printf("connection requests (%d, refused by the handler)\n", requests);
  std::printf("  plain accept loop        : %8.0f /s\n", plainRequests);
  std::printf("  UniSock ConnectionRequest: %8.0f /s\n", uniRequests);
  std::printf("  ratio UniSock / plain    : %8.2f\n", uniRequests / plainRequests);
  return 0;
}
