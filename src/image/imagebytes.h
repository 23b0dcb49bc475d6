#pragma once
// Raw pixel exchange between an image and its host, as the image control offers
// it; plain functions so that hosts without the control can use them as well.

#include "image/c32bppdib.h"

#include <cstdint>
#include <span>

struct ImageBytesRequest {
  bool asArray2D = false;
  bool asBGRformat = true;
  bool asBottomUp = true;
  bool asPremultiplied = true;
  bool asFileFormat = false;  // the bytes of a file that reloads to the picture
};

// Pixels (32 bits a pixel, rows of Width x 4 bytes, the whole image) in the
// requested layout, or a file's bytes: the kept source bytes when they reload
// to the same picture, else PNG bytes, else bitmap file bytes. scanWidth
// receives Width x 4. False without an image.
bool GetImageBytes(const c32bppDIB& image, DibBits& out, int32_t& scanWidth,
                   const ImageBytesRequest& request = {});

// Writes 32-bit pixels over the whole image in the given channel and row order,
// as given (no premultiplication). False without an image or with too few bytes.
bool SetImageBytes(c32bppDIB& image, std::span<const uint8_t> bytes, bool isBGRformat = true,
                   bool isBottomUp = true);
