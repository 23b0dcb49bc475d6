// Loading: the decoder chain that turns a file or a byte range into pixels.
// The format is not declared by the caller; each decoder is offered the source
// in a fixed order and the first one that takes it wins, with the system image
// service as the last resort.
#include "image/c32bppdib.h"

#include "image/cgdiplus.h"
#include "image/codecs/cbmpparser.h"
#include "image/codecs/cgifparser.h"
#include "image/codecs/cicoparser.h"
#include "image/codecs/cpngparser.h"
#include "image/codecs/modparsers.h"

#include <algorithm>

namespace {

// Sources of this size or smaller cannot hold any supported image.
constexpr int64_t kSmallestImageSource = 57;

struct IconRequest {
  int32_t cx, cy, bitDepth;
};

IconRequest clampIconRequest(int32_t cx, int32_t cy, int32_t bitDepth) {
  return {std::max(cx, 0), std::max(cy, 0), (bitDepth < 0 || bitDepth > 32) ? 32 : bitDepth};
}

}  // namespace

bool c32bppDIB::LoadPicture_File(const QString& fileName, int32_t iconCx, int32_t iconCy,
                                 bool keepOriginal, int32_t iconBitDepth) {
  DestroyDIB();
  startLoad();
  const IconRequest icon = clampIconRequest(iconCx, iconCy, iconBitDepth);
  std::unique_ptr<QFile> file = modParsers::OpenFileShared(fileName, false);
  if (!file) return failLoad(LoadFailure::kCannotOpen);
  const qint64 size = file->size();
  if (size < kSmallestImageSource) return failLoad(LoadFailure::kSourceTooSmall);
  if (size > INT32_MAX) return failLoad(LoadFailure::kSourceTooLarge);

  cPNGparser png;
  if (png.LoadFile(*file, fileName, *this, m_gdiToken)) {
    if (m_bits && keepOriginal && file->seek(0)) {
      const QByteArray all = file->readAll();
      SetOriginalBytes(std::vector<uint8_t>(all.begin(), all.end()));
    }
    return afterPngDecoder(png);
  }
  // The remaining decoders work on bytes.
  const QByteArray all = file->seek(0) ? file->readAll() : QByteArray();
  file.reset();
  if (all.size() != size) return failLoad(LoadFailure::kReadFailed);
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(all.constData()),
                                       static_cast<size_t>(all.size()));
  return runDecoderChain(bytes, fileName, 0, static_cast<int32_t>(bytes.size()), keepOriginal,
                         icon.cx, icon.cy, icon.bitDepth);
}

bool c32bppDIB::LoadPicture_Stream(std::span<const uint8_t> bytes, int32_t iconCx, int32_t iconCy,
                                   int32_t streamStart, int32_t streamLength, bool keepOriginal,
                                   int32_t iconBitDepth) {
  DestroyDIB();
  startLoad();
  const IconRequest icon = clampIconRequest(iconCx, iconCy, iconBitDepth);
  if (bytes.size() > static_cast<size_t>(INT32_MAX)) return failLoad(LoadFailure::kSourceTooLarge);
  const int64_t size = static_cast<int64_t>(bytes.size());
  const int64_t start = std::max<int64_t>(streamStart, 0);
  if (start >= size) return failLoad(LoadFailure::kSourceTooSmall);
  // A length of 0 means "to the end"; a length past the end is cut to the end.
  int64_t length = streamLength <= 0 ? size - start : std::min<int64_t>(streamLength, size - start);
  if (length < kSmallestImageSource) return failLoad(LoadFailure::kSourceTooSmall);

  cPNGparser png;
  if (png.LoadStream(bytes, *this, static_cast<int32_t>(start), static_cast<int32_t>(length),
                     m_gdiToken)) {
    if (m_bits && keepOriginal) SetOriginalBytes(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return afterPngDecoder(png);
  }
  return runDecoderChain(bytes, QString(), static_cast<int32_t>(start),
                         static_cast<int32_t>(length), keepOriginal, icon.cx, icon.cy,
                         icon.bitDepth);
}

bool c32bppDIB::LoadPicture_FromOrignalFormat(int32_t iconCx, int32_t iconCy,
                                              int32_t iconBitDepth) {
  if (m_originalBytes.empty()) return false;
  const std::vector<uint8_t> bytes = m_originalBytes;  // the load below discards the kept copy
  return LoadPicture_Stream(bytes, iconCx, iconCy, 0, 0, true, iconBitDepth);
}

// The part of the chain after the PNG decoder, on bytes: GIF, icon and cursor,
// bitmap (with the system picture loader behind it), then the system image
// service as the last resort.
bool c32bppDIB::runDecoderChain(std::span<const uint8_t> bytes, const QString& fileName,
                                int32_t streamStart, int32_t streamLength, bool keepOriginal,
                                int32_t iconCx, int32_t iconCy, int32_t iconBitDepth) {
  const std::span<const uint8_t> range =
      bytes.subspan(static_cast<size_t>(streamStart), static_cast<size_t>(streamLength));
  cGIFparser gif;
  cICOparser ico;
  cBMPparser bmp;
  bool taken = gif.LoadStream(bytes, *this, streamStart, streamLength);
  if (!taken) {
    taken = ico.LoadStream(bytes, iconCx, iconCy, *this, streamStart, streamLength, iconBitDepth,
                           m_gdiToken);
  }
  if (!taken) bmp.LoadStream(bytes, *this, streamStart, streamLength);
  if (!m_bits && isGDIplusEnabled()) {
    bool loaded = false;
    if (!fileName.isEmpty()) {
      loaded = cGDIPlus::LoadPictureGDIplus(fileName, *this, m_gdiToken);
    } else {
      loaded = cGDIPlus::LoadPictureGDIplus(range, *this, m_gdiToken);
    }
    // Keep such a source as PNG bytes, which our own decoders can read again.
    std::vector<uint8_t> png;
    if (loaded && keepOriginal && SaveToStream_PNG(png)) {
      SetOriginalBytes(std::move(png));
      return true;
    }
  }
  if (m_bits && keepOriginal) SetOriginalBytes(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  if (m_bits) return true;
  // The reason comes from the first decoder that recognised the source.
  if (gif.failure() != GifFailure::kNone && gif.failure() != GifFailure::kBadSignature) {
    return failLoad(LoadFailure::kGifFailed, failureText(gif.failure()));
  }
  if (ico.failure() != IcoFailure::kNone && ico.failure() != IcoFailure::kTooShort &&
      ico.failure() != IcoFailure::kBadHeader) {
    return failLoad(LoadFailure::kIconFailed, ico.failureDescription());
  }
  if (bmp.failure() != BmpFailure::kNone && bmp.failure() != BmpFailure::kNotPictureFormat) {
    return failLoad(LoadFailure::kBitmapFailed, failureText(bmp.failure()));
  }
  return failLoad(LoadFailure::kUnrecognised);
}

void c32bppDIB::startLoad() {
  m_loadFailure = LoadFailure::kNone;
  m_loadFailureText.clear();
  m_pngErrorToShow.clear();
}

// Keeps the reason and answers false, the loaders' result for it.
bool c32bppDIB::failLoad(LoadFailure failure, const std::string& detail) {
  m_loadFailure = failure;
  m_loadFailureText = failureText(failure);
  if (!detail.empty()) {
    m_loadFailureText += ": ";
    m_loadFailureText += detail;
  }
  return false;
}

// The end of a load the PNG decoder accepted.
bool c32bppDIB::afterPngDecoder(const cPNGparser& png) {
  if (isReportedToUser(png.failure())) m_pngErrorToShow = png.failureDescription();
  if (m_bits) return true;
  return failLoad(LoadFailure::kPngFailed, png.failureDescription());
}
