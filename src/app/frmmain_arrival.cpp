// Arrival detection. Whatever reaches the socket under test proves that the
// router forwards the port: a connection request for TCP, a datagram for UDP
// (the listener tells the window of either). Either is remembered, logged,
// and the socket made ready for the next probe. The connection is never
// accepted and the datagram never read.
#include <QDate>
#include <QLocale>
#include <QTime>

#include "app/engine/portlistener.h"
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
  return QStringLiteral("Attempted connection from ") + socket.RemoteHostIP() +
         QStringLiteral(" on port ") + QString::number(socket.LocalPort()) + QLatin1Char(' ') +
         QString::number(socket.protocol()) + QStringLiteral(" at ") +
         locale.toString(QDate::currentDate(), QLocale::ShortFormat) + QLatin1Char(' ') +
         localTimeText(QTime::currentTime()) + QStringLiteral("\r\n");
}

}  // namespace

void FrmMain::recordArrival() {
  // The row's result depends on this flag alone, so it is set before anything
  // that could fail or let other events run.
  arrivalSeen = true;
  DoEvents();
  // Held here so that a shutdown during the events above cannot destroy the
  // listener while its own event is being handled.
  const std::shared_ptr<PortListener> listener = Winsock;
  if (!listener) return;
  Text21.setText(Text21.Text() + logLine(*listener->socket()));
  Text21.setSelStart(static_cast<int>(Text21.Text().size()));
  // The socket closes; a TCP socket listens again, on a port of the system's
  // choice now that closing has cleared its port, so later probes find
  // nothing on the tested port.
  listener->closeAfterArrival();
}
