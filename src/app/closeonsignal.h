#pragma once
// Lets the usual termination signals (SIGTERM, SIGINT, SIGHUP) close a window
// the way its close button does, so that the window's shutdown runs and the
// program ends with status 0 instead of dying mid-way. The signal handler only
// writes a byte to a pipe; the window is closed from the event loop.
#include <QObject>
#include <QPointer>
#include <QWidget>

class QSocketNotifier;

class CloseOnSignal : public QObject {
  Q_OBJECT

 public:
  // Only one may exist at a time. Install it after the embedded browser has
  // started, which resets the process's signal handlers.
  explicit CloseOnSignal(QWidget* window);
  ~CloseOnSignal() override;

 private:
  void onSignal();

  QPointer<QWidget> m_window;
  QSocketNotifier* m_notifier = nullptr;
};
