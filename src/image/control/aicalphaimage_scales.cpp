#include "image/control/aicalphaimage.h"

// Placeholder body; the real one replaces it.
bool aicAlphaImage::GetImageScales(int32_t&, int32_t&, int32_t, int32_t, int32_t, bool) const { return false; }
