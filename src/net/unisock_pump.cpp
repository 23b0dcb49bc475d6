// The event pump of the socket object: readiness of its socket (and of a
// connection waiting to be accepted) becomes posted messages, and each message
// becomes state changes and events for the owner.
//
// Notifiers are level-triggered while the messages they stand for are one-shot:
// a notifier that fires posts one message and posts no other until that one
// has been handled; then armNotifiers() decides afresh what is worth watching.

#include "net/unisock.h"

#include "net/sockregistry.h"
#include "net/syserror.h"

#include <QHostInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QtDebug>

#include <exception>

void UniSock::watchSocket() {
  m_readPosted = m_writePosted = false;
  if (!m_socket.valid()) return;
  m_readNotifier = std::make_unique<QSocketNotifier>(m_socket.get(), QSocketNotifier::Read);
  m_writeNotifier = std::make_unique<QSocketNotifier>(m_socket.get(), QSocketNotifier::Write);
  m_readNotifier->setEnabled(false);
  m_writeNotifier->setEnabled(false);
  QObject::connect(m_readNotifier.get(), &QSocketNotifier::activated, m_window,
                   [this] { onReadReady(); });
  QObject::connect(m_writeNotifier.get(), &QSocketNotifier::activated, m_window,
                   [this] { onWriteReady(); });
}

void UniSock::watchPending() {
  m_pendingSerial = sockregistry::nextSerial();
  m_pendingPosted = false;
  m_pendingNotifier = std::make_unique<QSocketNotifier>(m_pending.get(), QSocketNotifier::Read);
  QObject::connect(m_pendingNotifier.get(), &QSocketNotifier::activated, m_window,
                   [this] { onPendingReady(); });
}

void UniSock::armNotifiers() {
  bool wantRead = false;
  bool wantWrite = false;
  switch (m_phase) {
    case Phase::Datagram:
      wantRead = true;
      break;
    case Phase::Listening:
      wantRead = !m_acceptPaused;
      break;
    case Phase::Connecting:
      wantWrite = true;
      break;
    case Phase::Connected:
      wantRead = !m_peerClosed;
      wantWrite = m_sendLength > 0;
      break;
    case Phase::None:
    case Phase::Bound:
      break;
  }
  if (m_readNotifier) m_readNotifier->setEnabled(wantRead && !m_readPosted);
  if (m_writeNotifier) m_writeNotifier->setEnabled(wantWrite && !m_writePosted);
  if (m_pendingNotifier) m_pendingNotifier->setEnabled(!m_pendingPosted);
}

void UniSock::postReadiness(std::int64_t p1, int event, int error, std::uint64_t serial) {
  m_window->post(SockMessage{sockmsg::kReadiness, p1, sockmsg::pack(event, error), serial, {}, {}});
}

void UniSock::onReadReady() {
  // While a message is on its way the socket stays readable; a second wake-up
  // means a handler is running a nested event loop, so the notifier rests
  // until the message has been handled.
  if (m_readPosted) {
    m_readNotifier->setEnabled(false);
    return;
  }
  int event = 0;
  switch (m_phase) {
    case Phase::Listening:
      event = sockmsg::kAccept;
      break;
    case Phase::Datagram:
    case Phase::Connected:
      // A peer's close shows up as a read that yields nothing (read step).
      event = sockmsg::kRead;
      break;
    default:
      m_readNotifier->setEnabled(false);
      return;
  }
  m_readPosted = true;
  postReadiness(m_socket.get(), event, 0, m_socketSerial);
}

void UniSock::onWriteReady() {
  // Writability lasts; one message per readiness is enough.
  m_writeNotifier->setEnabled(false);
  int event = 0;
  int error = 0;
  if (m_phase == Phase::Connecting) {
    event = sockmsg::kConnect;
    error = sys::pendingError(m_socket.get());
  } else if (m_phase == Phase::Connected) {
    event = sockmsg::kWrite;
  } else {
    return;
  }
  m_writePosted = true;
  postReadiness(m_socket.get(), event, error, m_socketSerial);
}

void UniSock::onPendingReady() {
  m_pendingNotifier->setEnabled(false);
  m_pendingPosted = true;
  postReadiness(m_pending.get(), sockmsg::kRead, 0, m_pendingSerial);
}

void UniSock::handleMessage(const SockMessage& message) {
  QPointer<UniSock> alive(this);
  const int event = sockmsg::eventOf(message.p2);
  const int error = sockmsg::errorOf(message.p2);
  const bool readiness = message.message == sockmsg::kReadiness;
  const bool ownSocket = readiness && m_socket.valid() && message.p1 == m_socket.get() &&
                         message.serial == m_socketSerial;
  const bool pendingSocket = readiness && m_pending.valid() && message.p1 == m_pending.get() &&
                             message.serial == m_pendingSerial;
  const bool writeSide = event == sockmsg::kWrite || event == sockmsg::kConnect;

  // An owner's handler that throws must not leave the object deaf: the
  // exception is logged here and the object carries on as after any event.
  try {
    if (message.message == sockmsg::kLookupDone) {
      if (m_lookupId >= 0 && message.p1 == m_lookupId) handleLookup(message);
      if (m_nameLookupId >= 0 && message.p1 == m_nameLookupId) takePeerName(message);
    } else if (ownSocket) {
      if (error != 0) {
        // A connection attempt that failed leaves nothing to watch.
        if (event == sockmsg::kConnect) m_phase = Phase::Bound;
        report(sckError, QStringLiteral("WndProc"), error);
      } else {
        // The message stays in flight while its events run, so that a handler
        // processing events does not get the same readiness a second time.
        dispatchReadiness(event);
      }
    } else if (pendingSocket) {
      m_pendingPosted = false;
      if (error != 0) {
        report(sckError, QStringLiteral("WndProc"), error);
      } else if (event == sockmsg::kRead) {
        readPending();
      }
    }
    // Anything else is for a socket this object no longer has: ignored.
  } catch (const std::exception& e) {
    qWarning("UniSock: an event handler let an exception escape: %s", e.what());
  } catch (...) {
    qWarning("UniSock: an event handler let an unknown exception escape");
  }
  if (!alive) return;
  if (ownSocket && m_socketSerial == message.serial)
    (writeSide ? m_writePosted : m_readPosted) = false;
  armNotifiers();
}

void UniSock::handleLookup(const SockMessage& message) {
  m_lookupId = -1;
  const int error = sockmsg::errorOf(message.p2);
  if (error != 0 || message.addresses.isEmpty()) {
    report(sckError, QStringLiteral("Connect"), error != 0 ? error : sockerr::kNoData);
    return;
  }
  if (!report(sckHostResolved)) return;
  try {
    connectToAddress(Endpoint{message.addresses.first(), 0});
  } catch (const UniSockError& e) {
    // Raised to a caller of connect; here there is none, so it is reported.
    report(sckError, QStringLiteral("ConnectIP"), e.number());
  }
}

void UniSock::lookUpPeerName() {
  if (m_nameLookupId >= 0) QHostInfo::abortHostLookup(m_nameLookupId);
  m_nameLookupId = m_window->lookUp(m_remoteHost);
}

void UniSock::takePeerName(const SockMessage& message) {
  m_nameLookupId = -1;
  // Without a name the address stays, as a reverse look-up gives it then.
  if (!message.hostName.isEmpty()) m_remoteHost = message.hostName;
}

void UniSock::dispatchReadiness(int event) {
  QPointer<UniSock> alive(this);
  switch (event) {
    case sockmsg::kAccept:
      acceptIncoming();
      break;
    case sockmsg::kConnect: {
      Endpoint peer;
      if (const int error = sys::peerEndpoint(m_socket.get(), &peer); error != 0) {
        m_phase = Phase::Bound;
        report(sckError, QStringLiteral("Private_Message"), error);
        break;
      }
      m_remotePort = peer.port;
      m_remote = peer;
      m_remote.port = 0;
      m_phase = Phase::Connected;
      if (report(sckConnected)) emit Connect();
      break;
    }
    case sockmsg::kClose:
      m_peerClosed = true;
      emit Closing();
      if (alive) closesocket();
      break;
    case sockmsg::kRead:
      readStep();
      break;
    case sockmsg::kWrite:
      writeStep();
      break;
    default:
      break;
  }
}

void UniSock::acceptIncoming() {
  QPointer<UniSock> alive(this);
  // A connection the owner did not accept during the event is refused, also
  // when the handler ends with an exception.
  struct RefuseLeftover {
    UniSock* sock;
    QPointer<UniSock>& alive;
    ~RefuseLeftover() {
      if (!alive) return;
      sock->m_pendingPeer = Endpoint{};
      sock->m_hasPendingPeer = false;
      sock->m_pendingData.clear();
      if (std::uncaught_exceptions() > 0) {
        // No events while unwinding: a second exception would end the program.
        sock->m_pendingNotifier.reset();
        sock->m_pending.reset();
      } else {
        sock->closePending();
      }
    }
  } refuse{this, alive};

  Endpoint peer;
  int error = 0;
  SocketFd taken = sys::acceptFrom(m_socket.get(), &peer, &error);
  if (!taken.valid()) {
    if (error == sockerr::kTooManyFiles) {
      pauseAccepting();
      return;
    }
    // The peer may have given up before we got to it; nothing to report then.
    if (error != sockerr::kWouldBlock) report(sckError, QStringLiteral("Private_Message"), error);
    return;
  }
  m_acceptStallReported = false;
  closePending();
  m_pending = std::move(taken);
  m_pendingPeer = peer;
  m_hasPendingPeer = true;
  m_pendingData.clear();
  watchPending();
  emit ConnectionRequest(m_identity);
}

void UniSock::pauseAccepting() {
  // Out of descriptors, the waiting connection stays queued and the listener
  // stays readable: retrying at once would spin and report on every round.
  // One report for the whole stall, and a short rest before each retry.
  m_acceptPaused = true;
  QTimer::singleShot(kAcceptBackOffMs, this, [this] {
    m_acceptPaused = false;
    armNotifiers();
  });
  if (!m_acceptStallReported) {
    m_acceptStallReported = true;
    report(sckError, QStringLiteral("Private_Message"), sockerr::kTooManyFiles);
  }
}

void UniSock::readPending() {
  if (m_pendingData.size() >= m_receiveLimit) {
    // Held back: the system keeps the rest until the connection is accepted.
    m_pendingNotifier.reset();
    return;
  }
  QByteArray chunk(m_receiveBlock, Qt::Uninitialized);
  const IoResult got =
      sys::receive(m_pending.get(), chunk.data(), static_cast<std::size_t>(chunk.size()), false);
  if (!got.ok()) {
    if (got.error == sockerr::kWouldBlock) return;
    m_pendingNotifier.reset();
    report(sckError, QStringLiteral("WndProc"), got.error);
    return;
  }
  if (got.count == 0) {
    // The peer has sent all it will; whoever accepts sees the close.
    m_pendingNotifier.reset();
    return;
  }
  m_pendingData.append(chunk.constData(), static_cast<qsizetype>(got.count));
}
