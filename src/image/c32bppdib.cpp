#include "image/c32bppdib.h"

#include "image/c32bppdib_surface.h"
#include "image/cgdiplus.h"
#include "image/codecs/modparsers.h"
#include "image/premultiply.h"

#include <bit>
#include <climits>
#include <cstdlib>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "the pixel model relies on B, G, R, A lying in memory as a little-endian ARGB word");

void c32bppDIB::FreeDeleter::operator()(uint8_t* p) const { std::free(p); }

c32bppDIB::c32bppDIB() {
  // This platform always has a working alpha blend (QPainter on premultiplied
  // ARGB32), and is never of the older ANSI-only family.
  m_capabilities = DibCapability::kSystemAlphaBlend | DibCapability::kAlphaBlendFriendly;
  setGDIplusEnabled(true);
  if (isGDIplusEnabled()) m_highQuality = true;
}

c32bppDIB::~c32bppDIB() { DestroyDIB(); }

bool c32bppDIB::InitializeDIB(int32_t width, int32_t height) {
  DestroyDIB();
  if (width < 0 || height == 0) return false;
  if (height < 0) {
    if (height == INT32_MIN) return false;
    height = -height;
  }
  if (width == 0) return false;  // a buffer of zero bytes is no image
  // Both sides are below 2^31, so their product fits 64 bits; checking it
  // before the factor 4 keeps that multiplication in range too.
  const int64_t pixels = static_cast<int64_t>(width) * height;
  if (pixels > INT32_MAX / 4) return false;
  const int64_t bytes = pixels * 4;
  // calloc hands out zeroed pages lazily, so large blank images cost little.
  auto* buffer = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(bytes), 1));
  if (!buffer) return false;
  m_bits.reset(buffer);
  m_width = width;
  m_height = height;
  if (m_manageOwnDC && !m_surface) m_surface = std::make_unique<DibSurface>();
  m_alpha = true;
  m_imageType = ImageTypeCode::kBlank;
  return true;
}

void c32bppDIB::DestroyDIB() {
  releaseSurface();
  m_bits.reset();
  m_originalBytes.clear();
  m_originalBytes.shrink_to_fit();
  m_width = 0;
  m_height = 0;
  m_alpha = false;
  m_imageType = ImageTypeCode::kNone;
}

void c32bppDIB::EraseDIB() {
  if (!m_bits) return;
  std::memset(m_bits.get(), 0, bufferSize());
  m_imageType = ImageTypeCode::kBlank;
  m_alpha = true;
}

int32_t c32bppDIB::GetPixel(int32_t x, int32_t y, int32_t* alpha, bool asPremultiplied) const {
  if (alpha) *alpha = 0;
  if (!m_bits || x < 0 || y < 0 || x >= m_width || y >= m_height) return -1;
  const uint8_t* p = m_bits.get() + pixelOffset(x, y);
  uint32_t blue = p[0], green = p[1], red = p[2];
  const uint32_t a = p[3];
  if (alpha) *alpha = static_cast<int32_t>(a);
  if (!asPremultiplied && a != 0 && a != 255) {
    blue = premul::unscale(blue, a);
    green = premul::unscale(green, a);
    red = premul::unscale(red, a);
  }
  return static_cast<int32_t>(red | (green << 8) | (blue << 16));
}

bool c32bppDIB::GetOrginalFormat(std::vector<uint8_t>& bytes) const {
  if (m_originalBytes.empty()) return false;
  bytes = m_originalBytes;
  return true;
}

void c32bppDIB::setAlphaBlendFriendly(bool value) {
  if (value) {
    if (m_capabilities & DibCapability::kSystemAlphaBlend) {
      m_capabilities |= DibCapability::kAlphaBlendFriendly;
    }
  } else {
    m_capabilities &= ~DibCapability::kAlphaBlendFriendly;
  }
}

void c32bppDIB::setGDIplusEnabled(bool value) {
  if (value == isGDIplusEnabled()) return;
  m_capabilities &= ~DibCapability::kGdiplusEnabled;
  if (value && !(m_capabilities & DibCapability::kGdiplusImpossible) && cGDIPlus::isGDIplusOk()) {
    m_capabilities |= DibCapability::kGdiplusEnabled;
  }
}

bool c32bppDIB::isZlibEnabled() const {
  modParsers::ZlibInfo info;
  return m_zlibAllowed && modParsers::LocateZlib(info, true);
}
