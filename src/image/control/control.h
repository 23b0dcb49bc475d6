#pragma once
// The alpha image control and what it shares with its sibling controls on one
// window: aicAlphaImage draws a picture with per-pixel alpha, a shadow and
// fades, and reports input only where the picture is; cCrossComm links the
// image controls of a window (mouse capture, image-service session).
#include "image/control/aicalphaimage.h"
#include "image/control/ccrosscomm.h"
