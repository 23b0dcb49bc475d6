#pragma once
// Helpers for the socket object's tests: bounded waits that keep the event
// loop running, a plain blocking peer on 127.0.0.1, and the descriptor count.

#include "net/socketfd.h"

#include <QByteArray>

#include <functional>

namespace kit {

// Runs the event loop until done() holds; false if it still does not after
// the safety limit (a broken object must fail the test, never hang it).
bool waitFor(const std::function<bool()>& done);

// Lets the event loop run a fixed number of rounds.
void pump(int rounds);

// A blocking TCP or UDP peer on the loopback address.
class Peer {
 public:
  static Peer tcpTo(int port);
  static Peer udp();

  bool valid() const { return m_fd.valid(); }
  int fd() const { return m_fd.get(); }
  int localPort() const;
  bool send(const QByteArray& bytes);
  bool sendDatagram(const QByteArray& bytes, int port);
  // Reads exactly n bytes, or fewer when the peer closes or the limit passes.
  QByteArray receive(int n);
  // True once the other side has closed or refused the connection.
  bool sawClose();
  // Closes with a reset instead of an orderly close.
  void reset();
  void close() { m_fd.reset(); }

 private:
  explicit Peer(SocketFd fd) : m_fd(std::move(fd)) {}
  SocketFd m_fd;
};

// Open descriptors of this process.
int openDescriptors();

}  // namespace kit
