#pragma once
// src/net: the program's own asynchronous socket object and everything it
// needs: the hidden receiver that turns socket readiness into events, the
// receive and send buffers, the typed data values and the error texts.
//
// One UniSock owns at most one TCP or UDP socket, IPv4 as a rule: an IPv6
// text given as the local address to bind (or as RemoteHost) makes it an
// IPv6 socket, with addresses in their usual text form ("2001:db8::1").
// Names are always looked up as IPv4, and the local host's first address is
// an IPv4 one. It never blocks on data and reports everything through its
// signals, which are raised from the Qt event
// loop of the thread that created it. Owners connect with direct connections:
// Error and TextArrival pass arguments by reference for the handler to change.
//
// Two error channels are kept apart:
//  - a call that is not valid now throws UniSockError (number, text, source);
//  - a failure during asynchronous work is reported as StatusChange(9) and,
//    with a number, the Error signal; nothing is thrown from event handling.
// A peer's orderly close raises Closing; a reset raises Error 10054 instead,
// and the object then closes itself.
//
// A handler may call back into the object, accept on another object, and even
// destroy the object whose signal it is handling (prefer deleteLater()).

#include "net/sockerror.h"
#include "net/socketfd.h"
#include "net/sockvariant.h"
#include "net/sockwindow.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QSocketNotifier;

class UniSock : public QObject, private SockMessageHandler {
  Q_OBJECT

 public:
  enum StateValue {
    sckClosed = 0,
    sckOpen = 1,
    sckListening = 2,
    sckConnectionPending = 3,
    sckResolvingHost = 4,
    sckHostResolved = 5,
    sckConnecting = 6,
    sckConnected = 7,
    sckClosing = 8,
    sckError = 9
  };
  enum ProtocolValue { sckTCPProtocol = 0, sckUDPProtocol = 1 };

  explicit UniSock(QObject* parent = nullptr);
  ~UniSock() override;
  UniSock(const UniSock&) = delete;
  UniSock& operator=(const UniSock&) = delete;

  // Properties.
  int BytesReceived() const;
  int LineChange() const;
  void setLineChange(int value);
  QString LocalHostname();
  QString LocalIP();
  int LocalPort() const;
  void setLocalPort(int port);
  int Mode() const { return m_mode; }
  void setMode(int mode) { m_mode = mode; }
  int protocol() const { return m_protocol; }
  void setProtocol(int protocol);
  QString RemoteHost() const { return m_remoteHost; }
  void setRemoteHost(const QString& host);
  // After accept() RemoteHost is the peer's address text at once and becomes
  // its name when the asynchronous reverse look-up finds one (a connection is
  // never held up by a slow resolver).
  QString RemoteHostIP() const;
  // The IPv4 remote address in network byte order; 0 for an IPv6 peer.
  std::int32_t RemoteIP() const {
    return static_cast<std::int32_t>(m_remote.ipv6 ? 0 : m_remote.address);
  }
  int RemotePort() const { return m_remotePort; }
  void setRemotePort(int port);
  QString RequestHost();
  QString RequestIP() const;
  int RequestPort() const;
  int SocketHandle() const { return m_socket.get(); }
  int State() const { return m_state; }
  // This object's identity: the requestID its ConnectionRequest passes, and the
  // decimal title of its hidden receiver. Never 0, unique among live objects.
  int identity() const { return m_identity; }
  // The most received bytes held for the owner (data not yet taken, or a
  // text line without its end). A peer that sends more ends the connection
  // with Error 10055 rather than growing memory without bound; the Error
  // handler may still take what is held before the object closes.
  static constexpr qsizetype kDefaultReceiveLimit = qsizetype{64} * 1024 * 1024;
  qsizetype receiveLimit() const { return m_receiveLimit; }
  void setReceiveLimit(qsizetype bytes);

  // Methods.
  bool bind(int localPort = 0, const QString& localIP = QString());
  bool listen();
  bool connect(const QString& remoteHost = QString(), int remotePort = 0);
  bool accept(int requestID);
  bool closesocket();
  // data gets the value; a data that already holds a value decides the type.
  bool GetData(SockVariant& data, int type = SockVariant::Byte | SockVariant::Array,
               int maxLen = 0);
  bool PeekData(SockVariant& data, int type = SockVariant::Byte | SockVariant::Array,
                int maxLen = 0);
  // Nothing is queued for later: without a socket (UDP) or a connection (TCP)
  // the send reports Error 10038 or 10057 and returns false. Each UDP send is
  // one datagram of its own.
  bool SendData(const SockVariant& data);
  bool SendText(const QString& text, int encoding = 0);

  // Shows the warning an Error handler asks for by clearing cancelDisplay.
  // The library has no user interface of its own; the program installs a
  // message box here, once for all socket objects of the process. Without
  // one the warning goes to the Qt log.
  using WarningPresenter = std::function<void(const QString& title, const QString& text)>;
  static void setWarningPresenter(WarningPresenter presenter);

 signals:
  void Closing();
  void Connect();
  void ConnectionRequest(int requestID);
  void DataArrival(int bytesTotal);
  void Error(short number, QString& description, int scode, const QString& source,
             const QString& helpFile, int helpContext, bool& cancelDisplay);
  void SendComplete();
  void SendProgress(int bytesSent, int bytesRemaining);
  void StatusChange(int state);
  void TextArrival(QString& text, int lineEnding, bool rawBytes);

 private:
  // What the socket is doing, which decides the readiness worth watching.
  enum class Phase { None, Bound, Listening, Connecting, Connected, Datagram };

  // Lifecycle and state (unisock.cpp).
  bool createSocket();
  void adoptSocket(SocketFd socket, Phase phase);
  // A socket just made (or handed over bound) becomes this object's own.
  void takeNewSocket(SocketFd socket);
  bool bindInternal(int localPort, const QString& localIP, bool* sawSystemError);
  // A port below 1024 that this process may not bind: the permission helper
  // binds it and this object adopts the socket. Reports the error on failure.
  bool bindThroughHelper(const Endpoint& at);
  bool resolveLocal(const QString& localIP, Endpoint* address);
  // A socket not yet bound is replaced by one of the wanted family; false
  // (with Error 10047 reported) when the socket is bound to the other family.
  bool ensureFamily(bool ipv6);
  bool connectToAddress(const Endpoint& address);
  void lookUpPeerName();
  void takeBlockSizes();
  void closePending();
  // The state report; false when the object was destroyed by a handler.
  bool report(int state, const QString& origin = QString(), int number = 0,
              const QString& description = QString());
  [[noreturn]] void raise(int number, const QString& source) const;

  // Event pump (unisock_pump.cpp).
  void handleMessage(const SockMessage& message) override;
  void handleLookup(const SockMessage& message);
  void takePeerName(const SockMessage& message);
  void dispatchReadiness(int event);
  void acceptIncoming();
  void pauseAccepting();
  void readPending();
  void armNotifiers();
  void watchSocket();
  void watchPending();
  void onReadReady();
  void onWriteReady();
  void onPendingReady();
  void postReadiness(std::int64_t p1, int event, int error, std::uint64_t serial);

  // Buffers and data (unisock_data.cpp).
  void readStep();
  void readDatagram();
  void raiseTextLines();
  void writeStep();
  // 0 when bytes can go out now, else the error number that says why not.
  int sendRefusal() const;
  bool send(const QByteArray& bytes);
  bool sendDatagram(const QByteArray& bytes);
  void appendToSend(const QByteArray& bytes);
  void dropReceived(qsizetype count);
  bool receiveLimitReached();
  bool getData(SockVariant& data, int type, int maxLen);

  const int m_identity;
  SockWindow* m_window;

  QByteArray m_received;  // capacity = size(); the first m_receivedCount bytes are valid
  qsizetype m_receivedCount = 0;
  qsizetype m_receiveLimit = kDefaultReceiveLimit;
  // Text mode: the leading received bytes already known to hold no CR or LF,
  // so that a long unfinished line is scanned once, not on every receive.
  qsizetype m_textScanned = 0;
  QString m_lineEnding = QStringLiteral("\r\n");
  QString m_localAddressText;
  int m_localPort = 0;
  int m_boundPort = 0;
  int m_mode = 0;
  bool m_peek = false;
  int m_protocol = sckTCPProtocol;
  int m_receiveBlock = 8192;
  QString m_remoteHost;
  Endpoint m_remote;  // the address only; the port is m_remotePort
  int m_remotePort = 80;

  QByteArray m_pendingData;
  SocketFd m_pending;
  Endpoint m_pendingPeer;
  bool m_hasPendingPeer = false;
  std::uint64_t m_pendingSerial = 0;

  QByteArray m_sendBuffer;  // capacity = size(); the first m_sendLength bytes are valid
  qsizetype m_sendLength = 0;
  int m_sendBlock = 8192;

  SocketFd m_socket;
  std::uint64_t m_socketSerial = 0;
  Phase m_phase = Phase::None;
  int m_state = sckClosed;

  int m_lookupId = -1;
  int m_nameLookupId = -1;  // the reverse look-up of an accepted peer

  std::unique_ptr<QSocketNotifier> m_readNotifier;
  std::unique_ptr<QSocketNotifier> m_writeNotifier;
  std::unique_ptr<QSocketNotifier> m_pendingNotifier;
  bool m_readPosted = false;
  bool m_writePosted = false;
  bool m_pendingPosted = false;
  bool m_peerClosed = false;
  // Accepting rests for a moment after the process ran out of descriptors.
  static constexpr int kAcceptBackOffMs = 100;
  bool m_acceptPaused = false;
  bool m_acceptStallReported = false;
  // Datagrams the owner has taken; tells whether a DataArrival handler read its datagram.
  std::uint64_t m_datagramsTaken = 0;
};
