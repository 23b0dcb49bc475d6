// Run as an ordinary user by the permission helper's tests: listens on a TCP
// port and binds the same UDP port below 1024 on ADDRESS (127.0.0.1 when not
// given) through the socket object, then knocks on both from plain sockets.
//   lowportprobe HELPER PORT [ADDRESS]
// Exit status: 0 both arrivals seen; 3 a bind was refused for want of
// permission; 4 any other failure.
#include <QCoreApplication>
#include <cstdio>

#include "net/privilegedbind.h"
#include "net/socketfd.h"
#include "net/unisock.h"
#include "sockettestkit.h"

namespace {

constexpr int kPermissionDenied = 10013;

// Opens the socket; 0 when it is ready for a knock, else the exit status.
int open(UniSock& socket, int protocol, const QString& address, int port, int* error) {
  QObject::connect(&socket, &UniSock::Error,
                   [error](short number, QString&, int, const QString&, const QString&, int,
                           bool&) { *error = number; });
  socket.setProtocol(protocol);
  socket.bind(port, address);
  if (protocol == UniSock::sckTCPProtocol && socket.State() == UniSock::sckOpen) socket.listen();
  if (socket.State() != UniSock::sckClosed) return 0;
  std::fprintf(stderr, "lowportprobe: %s bind on %d failed with %d\n",
               protocol == UniSock::sckTCPProtocol ? "TCP" : "UDP", port, *error);
  return *error == kPermissionDenied ? 3 : 4;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3 && argc != 4) return 4;
  privilegedbind::setHelperPath(QString::fromLocal8Bit(argv[1]));
  const int port = QByteArray(argv[2]).toInt();
  const QString address = argc == 4 ? QString::fromLatin1(argv[3]) : QStringLiteral("127.0.0.1");
  Endpoint target;
  if (!sys::parseNumeric(address, &target)) return 4;
  target.port = port;

  int tcpError = 0;
  int udpError = 0;
  UniSock tcp;
  UniSock udp;
  if (const int status = open(tcp, UniSock::sckTCPProtocol, address, port, &tcpError); status != 0)
    return status;
  if (const int status = open(udp, UniSock::sckUDPProtocol, address, port, &udpError); status != 0)
    return status;

  bool connectionRequest = false;
  bool datagram = false;
  QObject::connect(&tcp, &UniSock::ConnectionRequest, [&](int) { connectionRequest = true; });
  QObject::connect(&udp, &UniSock::DataArrival, [&](int) { datagram = true; });
  int error = 0;
  const SocketFd knocker = sys::openSocket(sys::Kind::Stream, &error, target.ipv6);
  const SocketFd sender = sys::openSocket(sys::Kind::Datagram, &error, target.ipv6);
  sys::startConnect(knocker.get(), target);
  sys::sendTo(sender.get(), "knock", 5, &target);
  if (!kit::waitFor([&] { return connectionRequest && datagram; })) {
    std::fprintf(stderr, "lowportprobe: arrivals tcp=%d udp=%d\n", connectionRequest, datagram);
    return 4;
  }
  return 0;
}
