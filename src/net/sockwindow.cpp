#include "net/sockwindow.h"

#include "net/syserror.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QtEndian>
#include <QtDebug>

#include <exception>

namespace {

const QEvent::Type kSockMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class SockMessageEvent : public QEvent {
 public:
  explicit SockMessageEvent(SockMessage message)
      : QEvent(kSockMessageEvent), m_message(std::move(message)) {}
  const SockMessage& message() const { return m_message; }

 private:
  SockMessage m_message;
};

}  // namespace

SockWindow::SockWindow(SockMessageHandler* owner, const QString& title)
    : m_owner(owner), m_title(title) {}

void SockWindow::post(SockMessage message) {
  QCoreApplication::postEvent(this, new SockMessageEvent(std::move(message)));
}

int SockWindow::lookUp(const QString& name) {
  return QHostInfo::lookupHost(name, this, SLOT(lookupFinished(QHostInfo)));
}

void SockWindow::lookupFinished(const QHostInfo& info) {
  SockMessage message{sockmsg::kLookupDone, info.lookupId(), 0, 0, {}, info.hostName()};
  for (const QHostAddress& address : info.addresses()) {
    bool ipv4 = false;
    const quint32 host = address.toIPv4Address(&ipv4);
    if (ipv4) message.addresses.append(qToBigEndian(host));
  }
  int error = 0;
  if (info.error() == QHostInfo::HostNotFound) {
    error = sockerr::kHostNotFound;
  } else if (info.error() != QHostInfo::NoError) {
    error = sockerr::kNonRecoverable;
  } else if (message.addresses.isEmpty()) {
    error = sockerr::kNoData;  // a name without an IPv4 address
  }
  message.p2 = sockmsg::pack(0, error);
  post(std::move(message));
}

bool SockWindow::detach() {
  m_owner = nullptr;
  return m_delivering == 0;
}

bool SockWindow::event(QEvent* event) {
  if (event->type() != kSockMessageEvent) return QObject::event(event);
  ++m_delivering;
  if (m_owner != nullptr) {
    // Nothing may escape into the event loop: an owner's handler that lets an
    // exception out is logged here instead of ending the program.
    try {
      m_owner->handleMessage(static_cast<SockMessageEvent*>(event)->message());
    } catch (const std::exception& e) {
      qWarning("UniSock: an event handler let an exception escape: %s", e.what());
    } catch (...) {
      qWarning("UniSock: an event handler let an unknown exception escape");
    }
  }
  --m_delivering;
  if (m_owner == nullptr && m_delivering == 0) deleteLater();
  return true;
}
