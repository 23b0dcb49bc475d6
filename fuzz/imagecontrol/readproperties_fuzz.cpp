// Feeds an image control saved state made from arbitrary bytes: each record
// picks one of the control's keys, one of the stored types and a value, so
// that wrong types, out-of-range numbers and broken pictures all arrive at
// ReadProperties. The control is then saved again and asked for its sizes.
//
// Record: key (1 byte, modulo the key count), type (1 byte, modulo 6), then
// the value: 1 byte for a boolean, 2 or 4 bytes little-endian for numbers,
// or a 2-byte length and that many bytes for bytes and pictures.
#include "../image/fuzz_limits.h"

#include "image/control/aicalphaimage.h"
#include "platform/propertybag.h"

#include <QApplication>
#include <QWidget>

#include <array>
#include <cstring>

namespace {

const std::array<const char*, 24> kKeys = {
    "Image",       "Scaler",      "Opacity",  "Mirror",    "Angle",         "GrayScale",
    "HitTest",     "Props",       "MaskUsed", "MaskColor", "MaskSource",    "Mask",
    "Enabled",     "MIcon",       "MPointer", "OLEdrop",   "ScaleCx",       "ScaleCy",
    "ShadowColor", "ShadowDepth", "ShadowX",  "ShadowY",   "ShadowOpacity", "Intensity"};

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
  bool atEnd() const { return m_at >= m_bytes.size(); }
  uint32_t number(size_t width) {
    uint32_t value = 0;
    for (size_t i = 0; i < width && !atEnd(); ++i) value |= uint32_t{m_bytes[m_at++]} << (8 * i);
    return value;
  }
  QByteArray block() {
    const size_t wanted = number(2);
    const size_t length = std::min(wanted, m_bytes.size() - std::min(m_at, m_bytes.size()));
    QByteArray out(reinterpret_cast<const char*>(m_bytes.data() + m_at),
                   static_cast<qsizetype>(length));
    m_at += length;
    return out;
  }

 private:
  std::span<const uint8_t> m_bytes;
  size_t m_at = 0;
};

PropertyBag bagFrom(std::span<const uint8_t> bytes) {
  PropertyBag bag;
  Reader in(bytes);
  while (!in.atEnd()) {
    const QString key = QString::fromLatin1(kKeys[in.number(1) % kKeys.size()]);
    switch (in.number(1) % 6) {
      case 0:
        bag.set(key, in.number(1) != 0);
        break;
      case 1:
        bag.set(key, static_cast<int16_t>(in.number(2)));
        break;
      case 2:
        bag.set(key, static_cast<int32_t>(in.number(4)));
        break;
      case 3: {
        const uint32_t bits = in.number(4);
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        bag.set(key, value);
        break;
      }
      case 4:
        bag.set(key, in.block());
        break;
      default:
        bag.set(key, StoredPicture{in.block()});
        break;
    }
  }
  return bag;
}

bool hasHugePicture(const PropertyBag& bag) {
  for (const auto& [key, value] : bag.entries()) {
    const QByteArray* bytes = std::get_if<QByteArray>(&value);
    if (const auto* picture = std::get_if<StoredPicture>(&value)) bytes = &picture->fileBytes;
    if (bytes != nullptr &&
        fuzzlimits::declaresHugeImage({reinterpret_cast<const uint8_t*>(bytes->constData()),
                                       static_cast<size_t>(bytes->size())})) {
      return true;
    }
  }
  return false;
}

// A custom drawing size (the control reads it as a 32-bit number) larger than
// the pictures above: the control draws, and builds hit regions for, up to
// 16384 x 16384 pixels, which takes seconds a run under the sanitizers and
// reaches no code a smaller size does not.
bool asksForHugeDrawing(const PropertyBag& bag) {
  constexpr int32_t kMaxSide = 1024;
  for (const auto& [key, value] : bag.entries()) {
    if (key != QLatin1String("ScaleCx") && key != QLatin1String("ScaleCy")) continue;
    if (const auto* side = std::get_if<int32_t>(&value); side != nullptr && *side > kMaxSide)
      return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static QApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzlimits::limitPictureLoader();
  const PropertyBag bag = bagFrom({data, size});
  if (hasHugePicture(bag) || asksForHugeDrawing(bag)) return 0;
  QWidget window;
  auto* image = new aicAlphaImage(&window);
  image->resize(64, 48);
  image->ReadProperties(bag);
  PropertyBag saved;
  image->WriteProperties(saved);
  int32_t width = 0, height = 0;
  image->GetImageScales(width, height);
  image->GetImageScales(width, height, 0, 0, 0, true);
  return 0;
}
