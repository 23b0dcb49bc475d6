#pragma once
// Finding and moving another program's top-level window on the X server the
// tests run on (Xvfb, no window manager), by the process id the window carries
// in _NET_WM_PID. A program's main window is its largest visible one.
#include <QPoint>
#include <optional>

namespace xwindows {

// The position on the screen of the largest visible top-level window of process `pid`.
std::optional<QPoint> windowPosition(long pid);
// Moves that window; false when it cannot be found.
bool moveWindow(long pid, QPoint position);

}  // namespace xwindows
