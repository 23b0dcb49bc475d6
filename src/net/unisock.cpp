#include "net/unisock.h"

#include "net/privilegedbind.h"

#include "net/errortexts.h"
#include "net/localhost.h"
#include "net/sockregistry.h"
#include "net/syserror.h"

#include <QHostInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QtDebug>

#include <climits>
#include <limits>

namespace {

// Process-wide because the warning box belongs to the program, not to any one
// socket: the window installs it once for every socket object, which is made
// long before and far away from any window (listeners, probes, lookups).
UniSock::WarningPresenter& warningPresenter() {
  static UniSock::WarningPresenter presenter;
  return presenter;
}

}  // namespace

UniSock::UniSock(QObject* parent)
    : QObject(parent),
      m_identity(sockregistry::enter(this)),
      m_window(new SockWindow(this, QString::number(m_identity))) {
  m_window->setObjectName(
      QStringLiteral("UniSock%1").arg(m_identity, 8, 16, QLatin1Char('0')).toUpper());
}

UniSock::~UniSock() {
  sockregistry::leave(m_identity);
  // Closed without events: the owner is tearing the object down, and its
  // handlers must not see a half-destroyed object.
  if (m_lookupId >= 0) QHostInfo::abortHostLookup(m_lookupId);
  if (m_nameLookupId >= 0) QHostInfo::abortHostLookup(m_nameLookupId);
  m_readNotifier.reset();
  m_writeNotifier.reset();
  m_pendingNotifier.reset();
  m_socket.reset();
  m_pending.reset();
  if (m_window->detach()) delete m_window;
}

void UniSock::setWarningPresenter(WarningPresenter presenter) {
  warningPresenter() = std::move(presenter);
}

// ---- state report and raised errors ------------------------------------------

bool UniSock::report(int state, const QString& origin, int number, const QString& description) {
  QPointer<UniSock> alive(this);
  if (state != sckError) m_state = state;
  emit StatusChange(state);
  if (!alive) return false;
  if (number == 0) return true;
  QString text = description.isEmpty() ? SockErrorText(number) : description;
  const QString source =
      origin.isEmpty() ? QStringLiteral("UniSock") : QStringLiteral("UniSock.") + origin;
  bool cancelDisplay = true;
  emit Error(static_cast<short>(number), text, 0, source, QString(), 0, cancelDisplay);
  if (!cancelDisplay) {
    if (warningPresenter()) {
      warningPresenter()(source, text);
    } else {
      qWarning("%s: %s", qPrintable(source), qPrintable(text));
    }
  }
  return !alive.isNull();
}

void UniSock::raise(int number, const QString& source) const {
  throw UniSockError(number, SockErrorText(number), source);
}

// ---- properties --------------------------------------------------------------

int UniSock::BytesReceived() const {
  if (m_protocol == sckUDPProtocol) {
    if (!m_socket.valid()) return 0;
    const IoResult waiting = sys::waitingBytes(m_socket.get());
    return waiting.ok() ? static_cast<int>(waiting.count) : 0;
  }
  // Bounded by the receive limit, which the owner may set past 2 GiB.
  return static_cast<int>(qMin<qsizetype>(m_receivedCount, std::numeric_limits<int>::max()));
}

void UniSock::setReceiveLimit(qsizetype bytes) {
  if (bytes < 1) raise(sockerr::kBadArgument, QStringLiteral("UniSock.ReceiveLimit"));
  m_receiveLimit = bytes;
}

int UniSock::LineChange() const {
  if (m_lineEnding.size() == 2) return 1;
  if (m_lineEnding == QLatin1String("\n")) return 2;
  if (m_lineEnding == QLatin1String("\r")) return 3;
  return 0;
}

void UniSock::setLineChange(int value) {
  switch (value) {
    case 0:
      m_lineEnding = QString(QChar(u'\0'));
      break;
    case 1:
      m_lineEnding = QStringLiteral("\r\n");
      break;
    case 2:
      m_lineEnding = QStringLiteral("\n");
      break;
    case 3:
      m_lineEnding = QStringLiteral("\r");
      break;
    default:
      raise(sockerr::kBadArgument, QStringLiteral("UniSock.LineChange"));
  }
}

QString UniSock::LocalHostname() {
  QString name;
  int error = 0;
  if (!localhost::hostName(&name, &error)) {
    report(sckError, QStringLiteral("Private_LocalHostName"), error);
    return QString();
  }
  return name;
}

QString UniSock::LocalIP() {
  if (m_state == sckOpen || m_state == sckListening) return m_localAddressText;
  Endpoint address;
  resolveLocal(QString(), &address);
  return sys::addressText(address);
}

int UniSock::LocalPort() const { return m_boundPort != 0 ? m_boundPort : m_localPort; }

void UniSock::setLocalPort(int port) {
  const QString source = QStringLiteral("UniSock.LocalPort");
  if (m_state != sckClosed) raise(sockerr::kInvalidInState, source);
  if (port < 0 || port > 65535) raise(sockerr::kBadArgument, source);
  m_localPort = port;
}

void UniSock::setProtocol(int protocol) {
  // A socket already made for the other protocol would no longer match.
  if (m_state != sckClosed || m_socket.valid()) {
    raise(sockerr::kInvalidInState, QStringLiteral("UniSock.Protocol"));
  }
  m_protocol = protocol;
}

void UniSock::setRemoteHost(const QString& host) {
  if (m_protocol != sckUDPProtocol && m_state != sckClosed) {
    raise(sockerr::kInvalidInState, QStringLiteral("UniSock.RemoteHost"));
  }
  m_remoteHost = host;
}

QString UniSock::RemoteHostIP() const { return sys::addressText(m_remote); }

void UniSock::setRemotePort(int port) {
  const QString source = QStringLiteral("UniSock.RemotePort");
  if (m_protocol != sckUDPProtocol && m_state != sckClosed) raise(sockerr::kInvalidInState, source);
  if (port < 0 || port > 65535) raise(sockerr::kBadArgument, source);
  m_remotePort = port;
}

QString UniSock::RequestHost() {
  if (!m_hasPendingPeer) return QString();
  QString name;
  int error = 0;
  if (!localhost::reverseName(m_pendingPeer, &name, &error)) {
    report(sckError, QStringLiteral("RequestHost"), error);
    return QString();
  }
  return name;
}

QString UniSock::RequestIP() const {
  return m_hasPendingPeer ? sys::addressText(m_pendingPeer) : QString();
}

int UniSock::RequestPort() const { return m_hasPendingPeer ? m_pendingPeer.port : 0; }

// ---- creating and binding ----------------------------------------------------

void UniSock::takeBlockSizes() {
  if (m_protocol == sckUDPProtocol) {
    m_receiveBlock = m_sendBlock = sys::kMaxDatagram;
    return;
  }
  // A failed read keeps the previous value.
  if (const int size = sys::receiveBufferSize(m_socket.get()); size > 0) m_receiveBlock = size;
  if (const int size = sys::sendBufferSize(m_socket.get()); size > 0) m_sendBlock = size;
}

void UniSock::adoptSocket(SocketFd socket, Phase phase) {
  m_readNotifier.reset();
  m_writeNotifier.reset();
  m_socket = std::move(socket);
  m_socketSerial = sockregistry::nextSerial();
  m_phase = phase;
  m_peerClosed = false;
  watchSocket();
}

bool UniSock::createSocket() {
  if (m_socket.valid()) return true;
  const bool udp = m_protocol == sckUDPProtocol;
  int error = 0;
  SocketFd socket = sys::openSocket(udp ? sys::Kind::Datagram : sys::Kind::Stream, &error);
  if (!socket.valid()) {
    report(sckError, QStringLiteral("Bind"), error);
    return false;
  }
  takeNewSocket(std::move(socket));
  return true;
}

void UniSock::takeNewSocket(SocketFd socket) {
  if (m_protocol == sckUDPProtocol) sys::enableBroadcast(socket.get());
  adoptSocket(std::move(socket), Phase::None);
  takeBlockSizes();
}

bool UniSock::resolveLocal(const QString& localIP, Endpoint* address) {
  *address = Endpoint{};
  if (!localIP.isEmpty() && sys::parseNumeric(localIP, address)) return true;
  int error = 0;
  bool found = false;
  if (localIP.isEmpty()) {
    found = localhost::firstAddress(&address->address, &error);
  } else {
    found = localhost::resolveFirst(localIP, &address->address, &error);
  }
  if (found) return true;
  address->address = 0;
  return report(sckError, QStringLiteral("Private_LocalIP"), error);
}

bool UniSock::ensureFamily(bool ipv6) {
  if (!m_socket.valid() || sys::isIpv6Socket(m_socket.get()) == ipv6) return true;
  if (!m_localAddressText.isEmpty()) {
    report(sckError, QStringLiteral("Private_Bind"), sockerr::kAddressFamilyNotSupported);
    return false;
  }
  int error = 0;
  SocketFd socket = sys::openSocket(
      m_protocol == sckUDPProtocol ? sys::Kind::Datagram : sys::Kind::Stream, &error, ipv6);
  if (!socket.valid()) {
    report(sckError, QStringLiteral("Bind"), error);
    return false;
  }
  takeNewSocket(std::move(socket));
  return true;
}

bool UniSock::bind(int localPort, const QString& localIP) {
  QPointer<UniSock> alive(this);
  if (!createSocket()) return false;
  // A socket bound earlier (to a port of the system's choice, which leaves the
  // state at closed) keeps that binding: binding it twice can only fail.
  if (m_state == sckOpen || !m_localAddressText.isEmpty()) return true;

  const int port = (localPort >= 1 && localPort <= 65535) ? localPort : m_localPort;
  Endpoint address;
  if (!resolveLocal(localIP, &address) || !m_socket.valid()) return false;
  if (!ensureFamily(address.ipv6) || !m_socket.valid()) return false;
  address.port = port;

  if (const int error = sys::bindTo(m_socket.get(), address); error != 0) {
    // The helper takes an address as plain text, which has no room for the
    // zone a link-local IPv6 address needs.
    if (address.scopeId != 0 || !privilegedbind::wanted(port, error)) {
      report(sckError, QStringLiteral("Private_Bind"), error);
      return false;
    }
    if (!bindThroughHelper(address)) return false;
  }
  m_localAddressText = sys::addressText(address);
  m_phase = m_protocol == sckUDPProtocol ? Phase::Datagram : Phase::Bound;
  armNotifiers();
  if (port != 0) {
    m_localPort = port;
    report(sckOpen);
  } else {
    Endpoint local;
    if (const int error = sys::localEndpoint(m_socket.get(), &local); error != 0) {
      report(sckError, QStringLiteral("Private_Bind"), error);
    } else {
      m_boundPort = local.port;
    }
  }
  return !alive.isNull();
}

bool UniSock::bindThroughHelper(const Endpoint& at) {
  int error = 0;
  const bool udp = m_protocol == sckUDPProtocol;
  SocketFd socket =
      privilegedbind::bindThroughHelper(udp ? sys::Kind::Datagram : sys::Kind::Stream, at, &error);
  if (!socket.valid()) {
    report(sckError, QStringLiteral("Private_Bind"), error);
    return false;
  }
  // From here on the helper's socket is this object's own, as if it had bound it.
  takeNewSocket(std::move(socket));
  return true;
}

bool UniSock::listen() {
  if (m_state != sckClosed && m_state != sckOpen) {
    raise(sockerr::kInvalidInState, QStringLiteral("UniSock.Listen"));
  }
  QPointer<UniSock> alive(this);
  if (!bind(0, QString()) || !alive || !m_socket.valid()) return false;
  if (const int error = sys::listenOn(m_socket.get(), 5); error != 0) {
    raise(error, QStringLiteral("UniSock.Listen"));
  }
  m_phase = Phase::Listening;
  armNotifiers();
  return true;
}

// ---- connecting --------------------------------------------------------------

bool UniSock::connect(const QString& remoteHost, int remotePort) {
  const QString origin = QStringLiteral("Connect");
  if (!remoteHost.isEmpty()) m_remoteHost = remoteHost;
  if (remotePort >= 1 && remotePort <= 65535) m_remotePort = remotePort;
  if (m_remoteHost.isEmpty()) {
    report(sckError, origin);
    return false;
  }
  if (!createSocket()) return false;
  if (m_protocol == sckUDPProtocol) {
    // Datagrams to an IPv6 address go out from an IPv6 socket, bound to any
    // of this computer's IPv6 addresses as the first address is for IPv4.
    Endpoint remote;
    const bool toIpv6 = sys::parseNumeric(m_remoteHost, &remote) && remote.ipv6;
    return bind(0, toIpv6 ? QStringLiteral("::") : QString());
  }

  Endpoint address;
  if (sys::parseNumeric(m_remoteHost, &address))
    return ensureFamily(address.ipv6) && connectToAddress(address);

  if (m_lookupId >= 0) QHostInfo::abortHostLookup(m_lookupId);
  m_lookupId = m_window->lookUp(m_remoteHost);
  report(sckResolvingHost);
  return true;
}

bool UniSock::connectToAddress(const Endpoint& address) {
  const QString origin = QStringLiteral("ConnectIP");
  if (!m_socket.valid() || m_remotePort < 1 || m_remotePort > 65535) {
    report(sckError, origin);
    return false;
  }
  m_remote = address;
  m_remote.port = 0;
  if (!report(sckConnecting) || !m_socket.valid()) return false;
  Endpoint to = m_remote;
  to.port = m_remotePort;
  const int error = sys::startConnect(m_socket.get(), to);
  if (error == 0 || error == sockerr::kWouldBlock) {
    m_phase = Phase::Connecting;
    armNotifiers();
    return true;
  }
  if (error == sockerr::kCannotAssignAddress) raise(error, QStringLiteral("UniSock.ConnectIP"));
  report(sckError, origin, error);
  return false;
}

// ---- accepting ---------------------------------------------------------------

bool UniSock::accept(int requestID) {
  const QString source = QStringLiteral("UniSock.Accept");
  if (m_state != sckClosed || requestID == 0) raise(sockerr::kInvalidInState, source);
  UniSock* listener = sockregistry::find(requestID);
  if (listener == nullptr) raise(sockerr::kBadArgument, source);

  QPointer<UniSock> alive(this);
  closesocket();
  if (!alive) return false;
  if (!listener->m_pending.valid()) {
    report(sckError, QStringLiteral("Accept"), 10038);
    return false;
  }

  SocketFd taken = std::move(listener->m_pending);
  const Endpoint peer = listener->m_pendingPeer;
  QByteArray early = std::move(listener->m_pendingData);
  listener->m_pendingNotifier.reset();
  listener->m_pendingSerial = 0;
  listener->m_pendingData.clear();
  listener->m_hasPendingPeer = false;

  m_protocol = sckTCPProtocol;
  adoptSocket(std::move(taken), Phase::Connected);
  takeBlockSizes();
  m_received = early;
  m_receivedCount = early.size();
  m_textScanned = 0;

  Endpoint local;
  if (const int error = sys::localEndpoint(m_socket.get(), &local); error != 0) {
    if (!report(sckError, QStringLiteral("Accept"), error)) return true;
  } else {
    m_localAddressText = sys::addressText(local);
    m_boundPort = local.port;
  }
  m_remote = peer;
  m_remote.port = 0;
  m_remotePort = peer.port;
  // The address now, the name when the resolver has one: a reverse look-up
  // can take seconds, and the owner's event loop must not wait for it.
  m_remoteHost = sys::addressText(peer);
  lookUpPeerName();

  armNotifiers();
  const std::uint64_t serial = m_socketSerial;
  if (!report(sckConnected)) return true;
  emit Connect();
  if (!alive || m_socketSerial != serial) return true;
  // Bytes the peer sent while the request was pending are delivered now, not
  // left waiting for more data that may never come.
  if (m_receivedCount > 0) {
    if (m_mode == 0) {
      emit DataArrival(
          static_cast<int>(qMin<qsizetype>(m_receivedCount, std::numeric_limits<int>::max())));
    } else {
      raiseTextLines();
    }
  }
  return true;
}

// ---- closing -----------------------------------------------------------------

void UniSock::closePending() {
  m_pendingNotifier.reset();
  m_pendingSerial = 0;
  m_pendingPosted = false;
  if (const int error = m_pending.reset(); error != 0) {
    report(sckError, QStringLiteral("Private_Message"), error);
  }
}

bool UniSock::closesocket() {
  // Nothing open: nothing to do. A socket bound to a port of the system's
  // choice leaves the state at closed but is still closed here, so that it
  // never outlives the owner's request to close it.
  if (m_state == sckClosed && !m_socket.valid() && !m_pending.valid() && m_lookupId < 0)
    return false;
  if (!report(sckClosing)) return false;

  if (m_lookupId >= 0) QHostInfo::abortHostLookup(m_lookupId);
  m_lookupId = -1;
  if (m_nameLookupId >= 0) QHostInfo::abortHostLookup(m_nameLookupId);
  m_nameLookupId = -1;

  m_readNotifier.reset();
  m_writeNotifier.reset();
  const int error = m_socket.reset();
  m_socketSerial = 0;
  m_phase = Phase::None;
  m_readPosted = m_writePosted = false;
  m_peerClosed = false;
  m_acceptPaused = false;
  m_acceptStallReported = false;

  m_received.clear();
  m_receivedCount = 0;
  m_textScanned = 0;
  m_localAddressText.clear();
  m_localPort = 0;
  m_boundPort = 0;
  m_pendingData.clear();
  m_hasPendingPeer = false;
  m_pendingPeer = Endpoint{};
  // A connection still pending here was never handed over; closing it refuses it.
  m_pendingNotifier.reset();
  m_pendingSerial = 0;
  m_pendingPosted = false;
  m_pending.reset();
  m_sendBuffer.clear();
  m_sendLength = 0;

  if (error != 0 && !report(sckError, QStringLiteral("CloseSocket"), error)) return false;
  report(sckClosed);
  return error == 0;
}
