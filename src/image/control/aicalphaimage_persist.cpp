#include "image/control/aicalphaimage.h"

// Placeholder bodies; the real ones replace them.
void aicAlphaImage::ReadProperties(const PropertyBag&) {}
void aicAlphaImage::WriteProperties(PropertyBag&) const {}
