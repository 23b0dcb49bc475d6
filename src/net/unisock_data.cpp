// Receiving and sending: the read step on read readiness, text mode, typed
// access through GetData/PeekData/SendData/SendText, the send buffer and the
// write step. Both buffers grow geometrically and are reused, so a long stream
// is not copied on every receive or send.

#include "net/unisock.h"

#include "net/localhost.h"
#include "net/syserror.h"
#include "net/textlines.h"
#include "net/wireformat.h"

#include <QPointer>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace {

// The events carry 32-bit counts; a longer queue reports the largest one.
int clampToInt(qsizetype count) {
  return static_cast<int>(qMin<qsizetype>(count, std::numeric_limits<int>::max()));
}

}  // namespace

// ---- receiving ---------------------------------------------------------------

void UniSock::readStep() {
  if (m_protocol == sckUDPProtocol) {
    readDatagram();
    return;
  }
  if (receiveLimitReached()) return;
  if (m_received.size() - m_receivedCount < m_receiveBlock) {
    try {
      m_received.resize(m_received.size() + 2 * static_cast<qsizetype>(m_receiveBlock));
    } catch (const std::bad_alloc&) {
      report(sckError, QStringLiteral("Private_Message"), 0);
      return;
    }
  }
  // Never more than the limit leaves room for, so the count stays within it.
  const qsizetype room = qMin<qsizetype>(m_receiveBlock, m_receiveLimit - m_receivedCount);
  const IoResult got = sys::receive(m_socket.get(), m_received.data() + m_receivedCount,
                                    static_cast<std::size_t>(room), false);
  if (got.ok() && got.count == 0) {
    dispatchReadiness(sockmsg::kClose);  // the peer closed in order
    return;
  }
  if (!got.ok()) {
    if (got.error == sockerr::kWouldBlock) return;
    // A reset ends the connection as surely as an orderly close, but it is
    // reported as the error it is, so an owner can tell the two apart.
    QPointer<UniSock> alive(this);
    const bool reset = got.error == sockerr::kConnectionReset;
    if (report(sckError, QStringLiteral("Private_Message"), got.error) && alive && reset)
      closesocket();
    return;
  }
  m_receivedCount += static_cast<qsizetype>(got.count);
  if (m_mode == 0) {
    emit DataArrival(static_cast<int>(got.count));
  } else {
    raiseTextLines();
  }
}

// Called when the socket is readable again: with the buffer full the peer has
// sent more than the owner takes, and the connection ends with an error, not
// with bytes dropped unseen or memory growing without end. What is held stays
// with the owner until the object closes.
bool UniSock::receiveLimitReached() {
  if (m_receivedCount < m_receiveLimit) return false;
  QPointer<UniSock> alive(this);
  if (report(sckError, QStringLiteral("Private_Message"), sockerr::kNoBufferSpace) && alive)
    closesocket();
  return true;
}

void UniSock::readDatagram() {
  const IoResult size = sys::nextDatagramSize(m_socket.get());
  if (!size.ok()) {
    report(sckError, QStringLiteral("Private_Message"), size.error);
    return;
  }
  if (size.count < 0) return;  // nothing is waiting after all
  // A datagram the handler left unread is dropped, so that it is not reported
  // again, also when the handler ends with an exception. One the handler took
  // is gone already; receiving again here would swallow the next datagram in
  // the queue unseen.
  struct DiscardUnread {
    QPointer<UniSock> sock;
    std::uint64_t serial;
    std::uint64_t takenBefore;
    ~DiscardUnread() {
      if (!sock || sock->m_socketSerial != serial || sock->m_datagramsTaken != takenBefore) return;
      char discard = 0;
      sys::receive(sock->m_socket.get(), &discard, 1, false);
    }
  } discard{this, m_socketSerial, m_datagramsTaken};
  if (size.count > 0) emit DataArrival(static_cast<int>(size.count));
}

void UniSock::raiseTextLines() {
  // Every line ending, read as bytes or as 16-bit characters, holds a CR or an
  // LF byte; without one in the new bytes there is nothing to cut yet.
  const qsizetype from = qMin(m_textScanned, m_receivedCount);
  const bool hasBreak = std::find_if(m_received.constData() + from,
                                     m_received.constData() + m_receivedCount, [](char c) {
                                       return c == '\r' || c == '\n';
                                     }) != m_received.constData() + m_receivedCount;
  if (!hasBreak) {
    m_textScanned = m_receivedCount;
    return;
  }
  m_textScanned = 0;
  QByteArray bytes(m_received.constData(), m_receivedCount);
  std::vector<TextLine> lines = takeTextLines(&bytes);
  if (lines.empty()) return;
  std::memcpy(m_received.data(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
  m_receivedCount = bytes.size();

  QPointer<UniSock> alive(this);
  const std::uint64_t serial = m_socketSerial;
  for (TextLine& line : lines) {
    emit TextArrival(line.text, line.lineEnding, line.rawBytes);
    if (!alive || m_socketSerial != serial) return;
  }
}

void UniSock::dropReceived(qsizetype count) {
  m_textScanned = 0;
  const qsizetype rest = m_receivedCount - count;
  if (rest > 0)
    std::memmove(m_received.data(), m_received.constData() + count, static_cast<std::size_t>(rest));
  m_receivedCount = rest;
}

bool UniSock::GetData(SockVariant& data, int type, int maxLen) {
  return getData(data, type, maxLen);
}

bool UniSock::PeekData(SockVariant& data, int type, int maxLen) {
  m_peek = true;
  // Cleared however getData ends, unless a handler it ran destroyed the object.
  struct PeekReset {
    QPointer<UniSock> sock;
    ~PeekReset() {
      if (sock) sock->m_peek = false;
    }
  } reset{this};
  return getData(data, type, maxLen);
}

bool UniSock::getData(SockVariant& data, int type, int maxLen) {
  if (!data.isEmpty()) type = data.type();
  const auto limit = [maxLen](qsizetype available) {
    return maxLen >= 1 ? qMin<qsizetype>(maxLen, available) : available;
  };

  if (m_protocol == sckTCPProtocol && m_state == sckConnected && m_mode == 0) {
    const qsizetype n = limit(m_receivedCount);
    if (n == 0) return false;
    if (!SockVariant::isSupported(type))
      raise(sockerr::kUnsupportedType, QStringLiteral("UniSock.GetData"));
    if (!m_peek && n == m_receivedCount && type == (SockVariant::Byte | SockVariant::Array)) {
      // Everything as bytes: the buffer itself changes hands instead of being
      // copied, and the next receive takes a fresh one.
      QByteArray all = std::exchange(m_received, QByteArray());
      all.truncate(n);
      m_receivedCount = 0;
      m_textScanned = 0;
      data = SockVariant::fromBytes(all);
      return true;
    }
    qsizetype used = 0;
    data = variantFromBytes(type, QByteArrayView(m_received.constData(), n), &used);
    if (!m_peek) dropReceived(used);
    return true;
  }

  if (m_protocol == sckUDPProtocol && m_state == sckOpen) {
    const IoResult waiting = sys::nextDatagramSize(m_socket.get());
    const qsizetype n = limit(waiting.ok() ? qMax<qsizetype>(waiting.count, 0) : 0);
    if (n == 0) return false;
    if (!SockVariant::isSupported(type))
      raise(sockerr::kUnsupportedType, QStringLiteral("UniSock.GetData"));
    QByteArray bytes(n, Qt::Uninitialized);
    const IoResult got =
        sys::receive(m_socket.get(), bytes.data(), static_cast<std::size_t>(n), m_peek);
    if (!got.ok()) {
      report(sckError, QStringLiteral("GetData"), got.error);
      return false;
    }
    if (!m_peek) ++m_datagramsTaken;
    bytes.truncate(static_cast<qsizetype>(got.count));
    qsizetype used = 0;
    data = variantFromBytes(type, bytes, &used);
    return true;
  }

  raise(sockerr::kWrongProtocolOrState, QStringLiteral("UniSock.GetData"));
}

// ---- sending -----------------------------------------------------------------

bool UniSock::SendData(const SockVariant& data) {
  if (m_protocol == sckUDPProtocol) {
    if (m_state != sckOpen && !connect(QString(), 0)) return false;
  } else if (m_state != sckConnected) {
    raise(sockerr::kWrongProtocolOrState, QStringLiteral("UniSock.SendData"));
  }
  QByteArray bytes;
  if (!bytesFromVariant(data, m_lineEnding, &bytes))
    raise(sockerr::kUnsupportedType, QStringLiteral("SendData"));
  if (bytes.isEmpty()) return false;
  return send(bytes);
}

bool UniSock::SendText(const QString& text, int encoding) {
  QByteArray bytes;
  if (encoding == 0) {
    bytes = (text + m_lineEnding).toUtf8();
  } else if (encoding == 1) {
    bytes = utf16Bytes(text) + m_lineEnding.toLocal8Bit();
  } else {
    bytes = utf16Bytes(text + m_lineEnding);
  }
  if (bytes.isEmpty()) return false;
  return send(bytes);
}

int UniSock::sendRefusal() const {
  if (m_protocol == sckUDPProtocol) return m_socket.valid() ? 0 : sockerr::kNotSocket;
  return m_socket.valid() && m_phase == Phase::Connected ? 0 : sockerr::kNotConnected;
}

bool UniSock::send(const QByteArray& bytes) {
  // Bytes with nowhere to go are refused now: queued, they would go out later
  // to whoever connects, or glued to the next datagram.
  if (const int refusal = sendRefusal(); refusal != 0) {
    report(sckError, QStringLiteral("Private_Message"), refusal);
    return false;
  }
  if (m_protocol == sckUDPProtocol) return sendDatagram(bytes);
  appendToSend(bytes);
  writeStep();
  return true;
}

void UniSock::appendToSend(const QByteArray& bytes) {
  if (m_sendLength < 1) {
    m_sendBuffer = bytes;
    m_sendLength = bytes.size();
    return;
  }
  if (m_sendBuffer.size() - m_sendLength < bytes.size()) {
    m_sendBuffer.resize((m_sendBuffer.size() + bytes.size()) * 2);
  }
  std::memcpy(m_sendBuffer.data() + m_sendLength, bytes.constData(),
              static_cast<std::size_t>(bytes.size()));
  m_sendLength += bytes.size();
}

void UniSock::writeStep() {
  // Datagrams are never queued: each send call is one datagram, sent at once.
  if (m_protocol == sckUDPProtocol) return;
  if (m_sendLength < 1 || !m_socket.valid() || m_phase != Phase::Connected) return;

  QPointer<UniSock> alive(this);
  qsizetype pos = 0;
  while (pos < m_sendLength) {
    const qsizetype chunk = qMin<qsizetype>(m_sendBlock, m_sendLength - pos);
    const IoResult sent = sys::sendTo(m_socket.get(), m_sendBuffer.constData() + pos,
                                      static_cast<std::size_t>(chunk), nullptr);
    if (sent.ok()) {
      // The system may take fewer bytes than offered; only those are gone.
      pos += static_cast<qsizetype>(sent.count);
      continue;
    }
    if (sent.error == sockerr::kWouldBlock) {
      const qsizetype rest = m_sendLength - pos;
      std::memmove(m_sendBuffer.data(), m_sendBuffer.constData() + pos,
                   static_cast<std::size_t>(rest));
      m_sendLength = rest;
      armNotifiers();  // the rest goes at the next write readiness
      emit SendProgress(clampToInt(pos), clampToInt(rest));
      return;
    }
    // The connection is broken; retrying the same bytes would only repeat the error.
    m_sendBuffer.clear();
    m_sendLength = 0;
    report(sckError, QStringLiteral("Private_Message"), sent.error);
    return;
  }
  const qsizetype total = m_sendLength;
  m_sendBuffer.clear();
  m_sendLength = 0;
  emit SendProgress(clampToInt(total), 0);
  if (alive) emit SendComplete();
}

bool UniSock::sendDatagram(const QByteArray& bytes) {
  Endpoint to;
  int error = 0;
  if (!sys::parseNumeric(m_remoteHost, &to) &&
      !localhost::resolveFirst(m_remoteHost, &to.address, &error)) {
    report(sckError, QStringLiteral("Private_Message"), error);
    return false;
  }
  to.port = m_remotePort;
  const IoResult sent =
      sys::sendTo(m_socket.get(), bytes.constData(), static_cast<std::size_t>(bytes.size()), &to);
  if (sent.ok()) return true;
  report(sckError, QStringLiteral("Private_Message"), sent.error);
  return false;
}
