#include "app/engine/portlistener.h"

#include <QPointer>

#include "app/engine/probepayload.h"
#include "net/sockvariant.h"
#include "net/unisock.h"
#include "posix/pollwait.h"

namespace {

// Socket error numbers that name an opening failure of their own.
constexpr int kAddressInUse = 10048;
constexpr int kPermissionDenied = 10013;

// Tokens kept from probe datagrams; a flood of forged ones cannot grow the
// set without bound (the site sends one token per test).
constexpr qsizetype kMaxTokensKept = 64;
// Datagrams read in one look at the socket; more are left to its events.
constexpr int kMaxDatagramsTaken = 64;

// Whether the descriptor has something to read right now (never waits).
bool readableNow(int fd) {
  if (fd < 0) return false;
  pollfd entry{fd, POLLIN, 0};
  return pollUntil({&entry, 1}, PollClock::now()) == 1 && (entry.revents & POLLIN) != 0;
}

PortOpening::Outcome outcomeOf(int errorNumber) {
  switch (errorNumber) {
    case kAddressInUse:
      return PortOpening::Outcome::InUse;
    case kPermissionDenied:
      return PortOpening::Outcome::NoPermission;
    default:
      return PortOpening::Outcome::Failed;
  }
}

}  // namespace

PortListener::PortListener(PortProtocol protocol, QObject* parent)
    : QObject(parent), m_protocol(protocol), m_socket(std::make_unique<UniSock>()) {
  connect(m_socket.get(), &UniSock::ConnectionRequest, this, &PortListener::onConnectionRequest,
          Qt::DirectConnection);
  connect(m_socket.get(), &UniSock::DataArrival, this, &PortListener::onDataArrival,
          Qt::DirectConnection);
  connect(m_socket.get(), &UniSock::Error, this, &PortListener::onError, Qt::DirectConnection);
}

PortListener::~PortListener() { close(); }

PortOpening PortListener::open(int port, const QString& localIp) {
  PortOpening opening;
  if (port < 1 || port > 65535) {
    opening.errorText = QStringLiteral("port %1 is not from 1 to 65535").arg(port);
    return opening;
  }
  m_opening = true;
  m_openError = 0;
  m_openErrorText.clear();
  bool ok = false;
  try {
    m_socket->setProtocol(m_protocol == PortProtocol::Tcp ? UniSock::sckTCPProtocol
                                                          : UniSock::sckUDPProtocol);
    ok = m_socket->bind(port, localIp);
    // A failed bind must not go on to listen: listen() would bind a port of
    // the system's choice and the test would run on the wrong port.
    if (ok && m_openError == 0 && m_protocol == PortProtocol::Tcp) ok = m_socket->listen();
  } catch (const UniSockError& error) {
    if (m_openError == 0) {
      m_openError = error.number();
      m_openErrorText = error.description();
    }
    ok = false;
  }
  m_opening = false;

  const int state = m_socket->State();
  if (ok && m_openError == 0 && (state == UniSock::sckOpen || state == UniSock::sckListening)) {
    opening.outcome = PortOpening::Outcome::Listening;
    return opening;
  }
  opening.outcome = outcomeOf(m_openError);
  opening.errorNumber = m_openError;
  opening.errorText =
      m_openErrorText.isEmpty() ? QStringLiteral("the port could not be opened") : m_openErrorText;
  close();
  return opening;
}

bool PortListener::arrivalSeenFor(const QString& token) const {
  if (m_requireToken && m_protocol == PortProtocol::Udp) return m_tokens.contains(token);
  return m_arrivalSeen;
}

void PortListener::takeWaitingArrivals() {
  if (m_protocol == PortProtocol::Udp && m_requireToken) {
    for (int taken = 0; taken < kMaxDatagramsTaken && readableNow(m_socket->SocketHandle());
         ++taken) {
      if (takeProbeDatagram()) m_arrivalSeen = true;
    }
    return;
  }
  // A waiting connection request, or a waiting datagram, is an arrival.
  if (readableNow(m_socket->SocketHandle())) m_arrivalSeen = true;
}

void PortListener::clearArrivals() {
  m_arrivalSeen = false;
  m_tokens.clear();
}

void PortListener::closeAfterArrival() {
  try {
    m_socket->closesocket();
    if (m_protocol == PortProtocol::Tcp) m_socket->listen();
  } catch (const UniSockError&) {
    // A socket that cannot listen again simply stays closed.
  }
}

void PortListener::close() {
  try {
    m_socket->closesocket();
  } catch (const UniSockError&) {
  }
}

void PortListener::onConnectionRequest(int) { recordArrival(); }

void PortListener::onDataArrival(int) {
  if (m_requireToken && !takeProbeDatagram()) return;
  recordArrival();
}

bool PortListener::takeProbeDatagram() {
  SockVariant datagram;
  try {
    if (!m_socket->GetData(datagram, SockVariant::Byte | SockVariant::Array)) return false;
  } catch (const UniSockError&) {
    return false;
  }
  const std::optional<QString> token = probeTokenOf(datagram.raw());
  if (!token) return false;
  if (m_tokens.size() < kMaxTokensKept) m_tokens.insert(*token);
  return true;
}

void PortListener::recordArrival() {
  // The verdict depends on this flag alone, so it is set before anything that
  // could let other events run.
  m_arrivalSeen = true;
  QPointer<PortListener> alive(this);
  emit arrived();
  if (!alive) return;
  // A datagram socket waiting for the site's token stays open: a stray
  // datagram may come before the site's own.
  if (m_closeOnArrival && !(m_requireToken && m_protocol == PortProtocol::Udp)) closeAfterArrival();
}

void PortListener::onError(short number, QString& description, int, const QString&, const QString&,
                           int, bool&) {
  if (!m_opening || m_openError != 0) return;
  m_openError = number;
  m_openErrorText = description;
}
