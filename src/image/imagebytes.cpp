// Raw pixel exchange between an image and its host.
#include "image/imagebytes.h"

namespace {

// Kept source bytes are the whole array a picture was loaded from, which may
// hold more than the picture; they are handed out only when they reload alone.
bool keptBytesReload(const c32bppDIB& image, std::vector<uint8_t>& bytes) {
  if (!image.GetOrginalFormat(bytes)) return false;
  c32bppDIB probe;
  probe.setGDIplusEnabled(image.isGDIplusEnabled());
  probe.setGdiToken(image.gdiToken());
  return probe.LoadPicture_Stream(bytes) && probe.Width() == image.Width() &&
         probe.Height() == image.Height();
}

}  // namespace

bool GetImageBytes(const c32bppDIB& image, DibBits& out, int32_t& scanWidth,
                   const ImageBytesRequest& request) {
  out = DibBits{};
  if (!image.BitsPointer() || image.ImageType() == ImageTypeCode::kNone) return false;
  scanWidth = image.scanWidth();
  if (request.asFileFormat) {
    if (!keptBytesReload(image, out.bytes) && !image.SaveToStream_PNG(out.bytes) &&
        !image.SaveToStream(out.bytes)) {
      return false;
    }
    out.rows = 1;
    out.rowBytes = static_cast<int32_t>(out.bytes.size());
    return true;
  }
  DibBitsLayout layout;
  layout.as2DArray = request.asArray2D;
  layout.asBGRformat = request.asBGRformat;
  layout.asBottomUp = request.asBottomUp;
  return image.GetDIBbits(out, layout, 0, 0, 0, 0, request.asPremultiplied);
}

bool SetImageBytes(c32bppDIB& image, std::span<const uint8_t> bytes, bool isBGRformat,
                   bool isBottomUp) {
  if (!image.BitsPointer()) return false;
  DibBitsLayout layout;
  layout.asBGRformat = isBGRformat;
  layout.asBottomUp = isBottomUp;
  return image.SetDIBbits(bytes, layout);
}
