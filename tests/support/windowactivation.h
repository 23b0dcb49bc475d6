#pragma once
// Keyboard focus in a test needs an active window, and under Xvfb there is no
// window manager to give one. A window loses its activation when a message
// box closes over it (the box took the focus and nothing hands it back) or
// when its native window is made anew (the browser engine brings up its
// drawing surface late when it starts slowly), and then no widget in it has
// the focus. These helpers do what a window manager does, and wait, bounded,
// for the activation and the focus to arrive.
#include <QDeadlineTimer>
#include <QTest>
#include <QWidget>

namespace testsupport {

constexpr int kActivationWaitMs = 10000;

// Waits until `window` is exposed and active, asking the
// display for the activation again now and then (a request made while another
// window still held the focus can be lost). False when it never came.
inline bool activateWindow(QWidget& window) {
  if (!QTest::qWaitForWindowExposed(&window, kActivationWaitMs)) return false;
  const QDeadlineTimer deadline(kActivationWaitMs);
  while (!window.isActiveWindow() && !deadline.hasExpired()) {
    window.activateWindow();
    if (QTest::qWaitFor([&window] { return window.isActiveWindow(); }, 500)) return true;
  }
  return window.isActiveWindow();
}

// True once `widget` has the keyboard focus: its window is made active first,
// then the focus is waited for.
inline bool focusArrives(QWidget& widget) {
  return activateWindow(*widget.window()) &&
         QTest::qWaitFor([&widget] { return widget.hasFocus(); }, kActivationWaitMs);
}

}  // namespace testsupport
