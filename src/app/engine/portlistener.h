#pragma once
// One port under test: a socket listening (TCP) or bound (UDP) on the chosen
// local address and port, and the arrivals seen on it. An arrival is what
// proves that the router forwards the port: a connection request for TCP, a
// datagram for UDP. The connection is never accepted.
//
// The run decides with arrivalSeen() at the moment the site's answer arrives
// (see portverdict.h): open exactly when an arrival came first.
//
// How the window adopts it (one listener per row, made before the page loads):
//   PortListener listener(tcp ? PortProtocol::Tcp : PortProtocol::Udp);
//   listener.setCloseOnArrival(false);            // the window closes itself,
//   connect(&listener, &PortListener::arrived,    // after logging the peer
//           this, &FrmMain::recordArrival, Qt::DirectConnection);
//   const PortOpening opening = listener.open(port, Combo1.Text());
//   ... in recordArrival: DoEvents(); log listener.socket()->RemoteHostIP();
//       listener.closeAfterArrival();
//   ... when the result page has loaded: verdictFor(listener.arrivalSeen())
// With closeOnArrival left on, the listener does the closing itself right after
// arrived() has returned: the socket is closed and a TCP socket listens again,
// on a port of the system's choice now that closing cleared the tested one,
// so later probes find nothing on the tested port.
//
// For UDP the listener can ask for the site's token (requireProbeToken):
// datagrams are then read, any well-formed probe payload's token is kept, and
// only a datagram carrying the token of the site's answer counts
// (arrivalSeenFor). A stray datagram on a forwarded port is not proof that the
// test's own datagram got through. In that mode the socket stays open until
// the test ends, since a stray datagram may come before the site's.
#include <QObject>
#include <QSet>
#include <QString>
#include <memory>

#include "app/engine/portprotocol.h"

class UniSock;

// How opening the port went.
struct PortOpening {
  enum class Outcome {
    Listening,     // ready for the site's probe
    InUse,         // another program holds the port
    NoPermission,  // a port below 1024, and the permission helper could not bind it either
    Failed,        // anything else: errorText says what
  };
  Outcome outcome = Outcome::Failed;
  int errorNumber = 0;  // the socket's error number, 0 when none was reported
  QString errorText;

  bool listening() const { return outcome == Outcome::Listening; }
};

class PortListener : public QObject {
  Q_OBJECT

 public:
  explicit PortListener(PortProtocol protocol, QObject* parent = nullptr);
  ~PortListener() override;
  PortListener(const PortListener&) = delete;
  PortListener& operator=(const PortListener&) = delete;

  PortProtocol protocol() const { return m_protocol; }

  // Listens (TCP) or binds (UDP) on exactly (localIp, port), 1..65535; an
  // empty localIp means this computer's first address. Call once.
  PortOpening open(int port, const QString& localIp);

  // Closes the socket after each arrival (default on). Off: the owner calls
  // closeAfterArrival() when it has finished with the peer's details.
  void setCloseOnArrival(bool on) { m_closeOnArrival = on; }
  // UDP only: count a datagram only when it carries a probe token (off by default).
  void requireProbeToken(bool on) { m_requireToken = on; }

  // Whether anything arrived (with requireProbeToken: any probe datagram).
  bool arrivalSeen() const { return m_arrivalSeen; }
  // The arrival that decides a test whose answer named `token`: with
  // requireProbeToken on a UDP port, a datagram carrying exactly that token;
  // otherwise any arrival.
  bool arrivalSeenFor(const QString& token) const;
  // Records the arrivals that have reached the system but whose socket events
  // have not run yet. The site's probe always comes before its answer, yet the
  // answer's event may run first; the run calls this when the answer comes in,
  // before taking the verdict. A connection request found this way raises no
  // arrived() (its peer is read by the socket's own event, which still follows).
  void takeWaitingArrivals();
  // Forgets the arrivals seen so far (a socket reused for the next probe).
  void clearArrivals();

  // The socket closes; a TCP socket listens again on a port of the system's
  // choice, exactly as after an arrival in the window.
  void closeAfterArrival();
  // Closes the socket for good; arrivals stay as they were.
  void close();

  // The socket itself, for what an owner reads about the peer and the port.
  UniSock* socket() const { return m_socket.get(); }

 signals:
  // An arrival was recorded. A direct-connected handler may run other events,
  // and may destroy the listener (prefer deleteLater()).
  void arrived();

 private:
  void onConnectionRequest(int requestId);
  void onDataArrival(int bytesTotal);
  void onError(short number, QString& description, int scode, const QString& source,
               const QString& helpFile, int helpContext, bool& cancelDisplay);
  bool takeProbeDatagram();
  void recordArrival();

  PortProtocol m_protocol;
  std::unique_ptr<UniSock> m_socket;
  bool m_closeOnArrival = true;
  bool m_requireToken = false;
  bool m_arrivalSeen = false;
  QSet<QString> m_tokens;
  // The first error the socket reported while opening, which names the failure.
  bool m_opening = false;
  int m_openError = 0;
  QString m_openErrorText;
};
