#pragma once
// Long handlers keep the window responsive by letting pending events run at
// fixed points; these are those points.

// Runs every pending event of the Qt event loop (socket readiness, browser
// events, clicks) and returns.
void DoEvents();

// Sleeps for the given number of milliseconds without processing events.
void Sleep(int milliseconds);
