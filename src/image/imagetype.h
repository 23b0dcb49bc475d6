#pragma once
// Source-format codes an image carries in `ImageType` (what the image was loaded
// from). The property page and the loaders read them, so the numbers are fixed.

#include <cstdint>

namespace ImageTypeCode {
constexpr int32_t kNone = -1;                // no image
constexpr int32_t kBlank = 0;                // created or erased, not loaded
constexpr int32_t kBitmap = 1;               // bitmap or JPEG without alpha
constexpr int32_t kMetafile = 2;             // Windows-style metafile
constexpr int32_t kIcon = 3;                 // icon without alpha channel
constexpr int32_t kEnhancedMetafile = 4;     // enhanced metafile
constexpr int32_t kCursor = 5;               // cursor without alpha channel
constexpr int32_t kStraightAlphaBitmap = 6;  // alpha bitmap that was not premultiplied
constexpr int32_t kPremultipliedBitmap = 7;  // premultiplied alpha bitmap, drop shadows
constexpr int32_t kAlphaIcon = 8;            // icon with alpha channel
constexpr int32_t kGif = 9;                  // GIF
constexpr int32_t kPng = 10;          // PNG, and anything decoded by the system image service
constexpr int32_t kPngIcon = 11;      // PNG-compressed icon entry
constexpr int32_t kAlphaCursor = 12;  // cursor with alpha channel
}  // namespace ImageTypeCode
