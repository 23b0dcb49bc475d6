#pragma once
// The window helper controls of the program's own: the animation bar that shows
// a test is running, and the invisible anchor control that keeps a window's
// controls on its edges when the window is resized and remembers where the
// window was.
#include "controls/anchor.h"
#include "controls/animationbar.h"
