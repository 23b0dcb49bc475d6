#pragma once
// The image engine: c32bppDIB, a premultiplied 32-bit image with its loaders,
// and cGDIPlus, the system image service behind it. The codecs that fill images
// (PNG and the others) and their shared helpers are in image/codecs/codecs.h.
#include "image/c32bppdib.h"
#include "image/cgdiplus.h"
#include "image/imagetype.h"
