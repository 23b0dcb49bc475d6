#pragma once
// An independent reference for the PNG decoder: libpng reads the raw samples
// (no transformations besides de-interlacing), and the image engine's rules are
// applied to them here: 16-bit samples keep their high byte, transparency keys
// are compared as the engine compares them, no gamma, premultiplied by the rule.

#include <QString>

#include <cstdint>
#include <vector>

struct ReferenceImage {
  bool ok = false;
  int width = 0;
  int height = 0;
  bool alpha = false;         // the alpha flag the engine should report
  std::vector<uint8_t> rgba;  // top-down, premultiplied R, G, B, A
};

ReferenceImage decodeWithLibpng(const QString& path);
