#pragma once
// The hidden receiver each socket object owns: socket readiness and finished
// name look-ups arrive here as posted (message, p1, p2) events and are handed
// to the object one at a time on the event-loop thread.
//
// The owner may destroy its socket object from inside an event handler. The
// receiver therefore outlives a detached owner while it is still delivering,
// and releases itself once the delivery on the stack has returned.

#include <QEvent>
#include <QList>
#include <QObject>

#include <cstdint>

namespace sockmsg {

constexpr int kLookupDone = 0x800;
constexpr int kReadiness = 0x801;

// Readiness events in the low 16 bits of p2; an error number in the high 16.
constexpr int kRead = 1;
constexpr int kWrite = 2;
constexpr int kAccept = 8;
constexpr int kConnect = 16;
constexpr int kClose = 32;

constexpr std::int64_t pack(int event, int error) {
  return (static_cast<std::int64_t>(error & 0xFFFF) << 16) | (event & 0xFFFF);
}
constexpr int eventOf(std::int64_t p2) { return static_cast<int>(p2 & 0xFFFF); }
constexpr int errorOf(std::int64_t p2) { return static_cast<int>((p2 >> 16) & 0xFFFF); }

}  // namespace sockmsg

struct SockMessage {
  int message = 0;
  std::int64_t p1 = 0;
  std::int64_t p2 = 0;
  // Which registration of a socket or look-up the message belongs to, so that a
  // message still queued for a socket that has since been replaced (possibly by
  // one with the same descriptor number) is recognised and dropped.
  std::uint64_t serial = 0;
  // Addresses (network byte order) of a finished look-up.
  QList<std::uint32_t> addresses;
  // The name a finished look-up found (a reverse look-up's answer).
  QString hostName;
};

class SockMessageHandler {
 public:
  virtual void handleMessage(const SockMessage& message) = 0;

 protected:
  ~SockMessageHandler() = default;
};

class QHostInfo;

class SockWindow : public QObject {
  Q_OBJECT

 public:
  SockWindow(SockMessageHandler* owner, const QString& title);

  void post(SockMessage message);
  // Cuts the link to the owner, which is going away. Returns true when the
  // receiver may be deleted now; otherwise it deletes itself later.
  bool detach();
  QString title() const { return m_title; }
  // Starts an asynchronous look-up whose end arrives as a kLookupDone message
  // with the look-up's id in p1; returns that id. Given an address text, the
  // look-up is a reverse one and the message carries the name it found.
  int lookUp(const QString& name);

 protected:
  bool event(QEvent* event) override;

 private slots:
  void lookupFinished(const QHostInfo& info);

 private:
  SockMessageHandler* m_owner;
  QString m_title;
  int m_delivering = 0;
};
