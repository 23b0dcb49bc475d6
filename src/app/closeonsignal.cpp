#include "app/closeonsignal.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void writeSignalByte(int) {
  const char byte = 1;
  // Async-signal-safe; a full pipe already holds a pending close.
  [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

}  // namespace

CloseOnSignal::CloseOnSignal(QWidget* window) : m_window(window) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0)
    return;
  m_notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, &CloseOnSignal::onSignal);
  struct sigaction action {};
  action.sa_handler = writeSignalByte;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : kSignals) ::sigaction(signal, &action, nullptr);
}

CloseOnSignal::~CloseOnSignal() {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals) ::sigaction(signal, &action, nullptr);
  delete m_notifier;
  for (int& fd : g_signalPipe) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

void CloseOnSignal::onSignal() {
  char bytes[16];
  while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
  }
  if (m_window != nullptr) m_window->close();
}
