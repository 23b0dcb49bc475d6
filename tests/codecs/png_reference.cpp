#include "png_reference.h"

#include <QFile>

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace {

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t position;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
  if (reader->size - reader->position < length) png_error(png, "read past end");
  std::memcpy(out, reader->data + reader->position, length);
  reader->position += length;
}

void silence(png_structp, png_const_charp) {}

uint8_t premultiply(uint32_t colour, uint32_t alpha) {
  if (alpha == 0) return 0;
  if (alpha == 255) return static_cast<uint8_t>(colour);
  return static_cast<uint8_t>(colour * alpha / 255);
}

unsigned sampleAt(const uint8_t* row, int index, int depth) {
  if (depth == 8) return row[index];
  if (depth == 16) return row[index * 2];  // high byte
  const int perByte = 8 / depth;
  const int shift = 8 - depth * (index % perByte + 1);
  return (row[index / perByte] >> shift) & ((1u << depth) - 1);
}

}  // namespace

ReferenceImage decodeWithLibpng(const QString& path) {
  ReferenceImage result;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return result;
  const QByteArray bytes = file.readAll();
  Reader reader{reinterpret_cast<const uint8_t*>(bytes.constData()),
                static_cast<size_t>(bytes.size()), 0};

  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, silence, silence);
  png_infop info = png_create_info_struct(png);
  std::vector<std::vector<uint8_t>> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return ReferenceImage{};
  }
  png_set_read_fn(png, &reader, readFromMemory);
  png_read_info(png, info);
  const int width = static_cast<int>(png_get_image_width(png, info));
  const int height = static_cast<int>(png_get_image_height(png, info));
  const int depth = png_get_bit_depth(png, info);
  const int colourType = png_get_color_type(png, info);
  if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  rows.assign(static_cast<size_t>(height), std::vector<uint8_t>(rowBytes));
  std::vector<png_bytep> pointers;
  for (auto& row : rows) pointers.push_back(row.data());
  png_read_image(png, pointers.data());
  png_read_end(png, nullptr);

  png_colorp palette = nullptr;
  int paletteSize = 0;
  png_get_PLTE(png, info, &palette, &paletteSize);
  png_bytep trans = nullptr;
  int transCount = 0;
  png_color_16p transColour = nullptr;
  const bool haveTrns = png_get_tRNS(png, info, &trans, &transCount, &transColour) != 0;

  result.width = width;
  result.height = height;
  result.rgba.resize(static_cast<size_t>(width) * height * 4);
  result.alpha =
      colourType == PNG_COLOR_TYPE_GRAY_ALPHA || colourType == PNG_COLOR_TYPE_RGB_ALPHA || haveTrns;
  const int channels = png_get_channels(png, info);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = rows[static_cast<size_t>(y)].data();
    for (int x = 0; x < width; ++x) {
      unsigned r = 0, g = 0, b = 0, a = 255;
      const int base = x * channels;
      switch (colourType) {
        case PNG_COLOR_TYPE_GRAY: {
          const unsigned s = sampleAt(row, base, depth);
          if (depth == 16) {
            r = g = b = s;
            if (haveTrns && s == (transColour->gray >> 8)) a = 0;
          } else {
            r = g = b = s * (255 / ((1u << depth) - 1));
            if (haveTrns && s == (transColour->gray & 0xFFu)) a = 0;
          }
          break;
        }
        case PNG_COLOR_TYPE_RGB: {
          r = sampleAt(row, base, depth);
          g = sampleAt(row, base + 1, depth);
          b = sampleAt(row, base + 2, depth);
          if (haveTrns) {
            const int shift = depth == 16 ? 8 : 0;
            if (r == ((transColour->red >> shift) & 0xFFu) &&
                g == ((transColour->green >> shift) & 0xFFu) &&
                b == ((transColour->blue >> shift) & 0xFFu)) {
              a = 0;
            }
          }
          break;
        }
        case PNG_COLOR_TYPE_PALETTE: {
          const unsigned i = sampleAt(row, base, depth);
          r = palette[i].red;
          g = palette[i].green;
          b = palette[i].blue;
          if (haveTrns && static_cast<int>(i) < transCount) a = trans[i];
          break;
        }
        case PNG_COLOR_TYPE_GRAY_ALPHA:
          r = g = b = sampleAt(row, base, depth);
          a = sampleAt(row, base + 1, depth);
          break;
        case PNG_COLOR_TYPE_RGB_ALPHA:
          r = sampleAt(row, base, depth);
          g = sampleAt(row, base + 1, depth);
          b = sampleAt(row, base + 2, depth);
          a = sampleAt(row, base + 3, depth);
          break;
      }
      uint8_t* out = result.rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
      out[0] = premultiply(r, a);
      out[1] = premultiply(g, a);
      out[2] = premultiply(b, a);
      out[3] = a == 0 ? 0 : static_cast<uint8_t>(a);
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  result.ok = true;
  return result;
}
