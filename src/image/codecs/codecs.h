#pragma once
// The image codecs: decoders that turn file bytes into a c32bppDIB (PNG so far),
// the decoders' own inflate, and modParsers, the helpers shared by the codecs
// and the image engine.
#include "image/codecs/cpngparser.h"
#include "image/codecs/inflate.h"
#include "image/codecs/modparsers.h"
