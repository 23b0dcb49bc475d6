// Arrival detection. Whatever reaches the socket under test proves that the
// router forwards the port: a connection request for TCP, a datagram for UDP.
// Either is remembered, logged, and the socket made ready for the next probe.
// The connection is never accepted and the datagram never read.
#include <QDate>
#include <QLocale>
#include <QTime>

#include "app/frmmain.h"
#include "net/unisock.h"
#include "platform/doevents.h"

namespace {

// The system's time format without the time zone, which a log line of local
// times does not need.
QString localTimeText(const QTime& time) {
  const QLocale locale = QLocale::system();
  QString format = locale.timeFormat(QLocale::LongFormat);
  format.remove(QLatin1Char('t'));
  return locale.toString(time, format.trimmed());
}

QString logLine(const UniSock& socket) {
  const QLocale locale = QLocale::system();
  return QStringLiteral("Attempted connection from ") + socket.RemoteHostIP() + QStringLiteral(" on port ") +
         QString::number(socket.LocalPort()) + QLatin1Char(' ') + QString::number(socket.protocol()) +
         QStringLiteral(" at ") + locale.toString(QDate::currentDate(), QLocale::ShortFormat) + QLatin1Char(' ') +
         localTimeText(QTime::currentTime()) + QStringLiteral("\r\n");
}

}  // namespace

void FrmMain::Winsock_ConnectionRequest(int) { recordArrival(); }

void FrmMain::Winsock_DataArrival(int) { recordArrival(); }

void FrmMain::recordArrival() {
  // The row's result depends on this flag alone, so it is set before anything
  // that could fail or let other events run.
  arrivalSeen = true;
  DoEvents();
  // Held here so that a shutdown during the events above cannot destroy the
  // socket while its own event is being handled.
  const std::shared_ptr<UniSock> socket = Winsock;
  if (!socket) return;
  Text21.setText(Text21.Text() + logLine(*socket));
  Text21.setSelStart(static_cast<int>(Text21.Text().size()));
  try {
    socket->closesocket();
  } catch (const UniSockError&) {
  }
  // A TCP socket listens again, on a port of the system's choice now that
  // closing has cleared its port; later probes find nothing on the tested port.
  if (socket->protocol() == UniSock::sckTCPProtocol) {
    try {
      socket->listen();
    } catch (const UniSockError&) {
    }
  }
}
