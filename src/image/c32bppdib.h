#pragma once
// c32bppDIB: the single image type of the image engine.
//
// Pixel model: 4 bytes a pixel in memory order Blue, Green, Red, Alpha; colours
// premultiplied by alpha (a fully transparent pixel is four zero bytes); rows
// stored bottom-up (memory row 0 is the bottom row of the picture); scanWidth is
// exactly Width x 4, rows are never padded.
//
// The class is split over several source files by purpose: c32bppdib.cpp (life
// cycle, fields, pixel access), c32bppdib_bits.cpp (bits export and import),
// c32bppdib_region.cpp, c32bppdib_copy.cpp, c32bppdib_surface.cpp (drawing into
// the image) and c32bppdib_load.cpp (loaders). Rendering, effects and saving add
// their own files the same way.

#include "image/codecs/decodefailure.h"
#include "image/imagetype.h"

#include <QPainter>
#include <QRegion>
#include <QImage>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class DibSurface;
class cPNGparser;
class QMimeData;
struct IconHandle;
struct StdPicture;
class cPNGwriter;

// Capability bits of an image (see c32bppDIB::capabilities()).
namespace DibCapability {
constexpr uint32_t kAlphaBlendFriendly = 1;  // plain drawing uses the system alpha blend
constexpr uint32_t kGdiplusEnabled = 2;      // the system image service may be used
constexpr uint32_t kSystemAlphaBlend = 8;    // the system offers a working alpha blend
constexpr uint32_t kAnsiOnlySystem = 16;     // never set on this platform
constexpr uint32_t kGdiplusImpossible = 32;  // the system image service cannot run
}  // namespace DibCapability

// Layout of an exported or imported pixel rectangle (GetDIBbits, SetDIBbits).
// The default is the stored layout.
struct DibBitsLayout {
  bool as2DArray = false;      // export only: report rows x row bytes instead of one long row
  bool asBGRformat = true;     // B,G,R(,A) order; false gives R,G,B(,A)
  bool as32bpp = true;         // 4 bytes a pixel; false gives 3 bytes (alpha dropped)
  bool asWordAligned = false;  // 3-byte rows padded to a multiple of 4
  bool asBottomUp = true;      // first row in the array is the picture's bottom row
};

// Bytes exported by GetDIBbits, with their shape. A one-dimensional export has
// rows = 1 and rowBytes = the whole length.
struct DibBits {
  std::vector<uint8_t> bytes;
  int32_t rowBytes = 0;
  int32_t rows = 0;
};

// Paths of a dropped file list (data object) or of the clipboard's file list;
// true / the count of names, or false / 0 when there is no file list.
bool GetDroppedFileNames(const QMimeData* data, QStringList& names);
int32_t GetPastedFileNames(QStringList& names);

class c32bppDIB {
 public:
  c32bppDIB();
  ~c32bppDIB();
  c32bppDIB(const c32bppDIB&) = delete;
  c32bppDIB& operator=(const c32bppDIB&) = delete;

  // --- Loading (c32bppdib_load.cpp). All loaders destroy the current image first
  // and return true when pixels exist afterwards.
  bool LoadPicture_File(const QString& fileName, int32_t iconCx = 0, int32_t iconCy = 0,
                        bool keepOriginal = false, int32_t iconBitDepth = 32);
  bool LoadPicture_Stream(std::span<const uint8_t> bytes, int32_t iconCx = 0, int32_t iconCy = 0,
                          int32_t streamStart = 0, int32_t streamLength = 0,
                          bool keepOriginal = false, int32_t iconBitDepth = 32);
  bool LoadPicture_FromOrignalFormat(int32_t iconCx = 0, int32_t iconCy = 0,
                                     int32_t iconBitDepth = 32);
  // Platform pictures and handles, the clipboard (c32bppdib_sources.cpp).
  bool LoadPicture_StdPicture(const StdPicture& picture);
  bool LoadPicture_BitmapHandle(const QImage& bitmap);
  bool LoadPicture_IconHandle(const IconHandle& icon);
  // The clipboard's picture; false when it holds none (needs a GUI application).
  bool LoadPicture_ClipBoard();
  // For icon sources: one row per entry (width, height, bit depth, colour count)
  // of the kept icon file, or one row (Width, Height, 32, -1) without kept
  // bytes. The count of rows; 0 (sizes untouched) for other images.
  int32_t SourceIconSizes(std::vector<std::array<int32_t, 4>>& sizes) const;
  // Why the last LoadPicture_File or LoadPicture_Stream left no image (kNone
  // after a success), and the same named for people with the deciding
  // decoder's own reason ("PNG does not decode: PNG IDAT CRC mismatch").
  LoadFailure lastLoadFailure() const { return m_loadFailure; }
  const std::string& lastLoadFailureText() const { return m_loadFailureText; }
  // The error the PNG decoder reported during the last load, for the user to
  // see (empty when it reported none). Failures of the data itself stay quiet;
  // this is what the decoder cannot keep to itself (a chunk length overflow, a
  // file that cannot be read, memory that cannot be had).
  const std::string& pngErrorToShow() const { return m_pngErrorToShow; }

  // --- Saving (c32bppdib_save.cpp). False, and bytes emptied, without an image.
  // A bitmap file: 32 bits (stored premultiplied BGRA) when Alpha, else 24 bits.
  bool SaveToStream(std::vector<uint8_t>& bytes) const;
  // A PNG file: through the attached encoder first when one is attached,
  // otherwise through the system image service first, the other as fallback.
  bool SaveToStream_PNG(std::vector<uint8_t>& bytes) const;
  // The own PNG encoder (with its settings) this image saves with; may be null.
  void setPNGwriter(std::shared_ptr<cPNGwriter> writer) { m_pngWriter = std::move(writer); }
  const std::shared_ptr<cPNGwriter>& PNGwriter() const { return m_pngWriter; }

  // --- Pixel access. x, y are picture coordinates (y = 0 is the top row).
  // Colour as red + green * 256 + blue * 65536; -1 (alpha 0) outside the image.
  int32_t GetPixel(int32_t x, int32_t y, int32_t* alpha = nullptr,
                   bool asPremultiplied = true) const;
  // Exports a rectangle (width/height 0 = to the image's edge; clipped).
  bool GetDIBbits(DibBits& out, const DibBitsLayout& layout = {}, int32_t x = 0, int32_t y = 0,
                  int32_t width = 0, int32_t height = 0, bool asPremultiplied = true) const;
  // Copies bytes into a rectangle of the image as given (no premultiplication;
  // 3-byte input leaves the alpha bytes alone).
  bool SetDIBbits(std::span<const uint8_t> bytes, const DibBitsLayout& layout = {}, int32_t x = 0,
                  int32_t y = 0, int32_t width = 0, int32_t height = 0);
  // Rectangles covering the visible pixels, in picture coordinates, moved by the
  // offset. Style 0: every pixel with alpha above 0; 1: only fully opaque pixels;
  // 2: the bounding rectangle of the pixels with alpha above 0. Other styles or
  // no image give an empty region.
  QRegion CreateRegion(int32_t style, int32_t xOffset = 0, int32_t yOffset = 0) const;
  // Copies (scaled or mirrored when the size differs or is negative) into target,
  // creating it when missing. Width or height 0 = this image's own.
  void CopyImageTo(std::shared_ptr<c32bppDIB>& target, int32_t width = 0, int32_t height = 0,
                   bool copyOriginalFormat = false) const;
  // The kept source bytes; false when none are kept.
  bool GetOrginalFormat(std::vector<uint8_t>& bytes) const;

  // --- Rendering (c32bppdib_render.cpp). Draws the source rectangle onto
  // destSurface (a top-down QImage) or, when targetImage is given, into that
  // image. Sizes of 0 mean the source's; a negative destination or source size
  // mirrors along that axis. opacity is in percent (0 or less draws nothing;
  // above 100 it wraps, 150 acting as 50); grayscale -1 = none, 0..7 a
  // weighting; lightness in percent, -100..100 (other values act as 0); angle in
  // degrees clockwise. True when drawn; false without an image, for an empty
  // source rectangle or when drawing failed. The own paths make only the part
  // of the destination that can be seen; when that part (or the turned square
  // of a rotation, clipped the same way) exceeds kMaxRenderPixels, Render
  // refuses and returns false.
  // The most pixels one drawing may work on after clipping: 16384 x 16384, so a
  // drawing's working buffers never exceed 1 GiB.
  static constexpr int64_t kMaxRenderPixels = int64_t{16384} * 16384;
  bool Render(QImage* destSurface, int32_t destX = 0, int32_t destY = 0, int32_t destWidth = 0,
              int32_t destHeight = 0, int32_t srcX = 0, int32_t srcY = 0, int32_t srcWidth = 0,
              int32_t srcHeight = 0, int32_t opacity = 100, bool smoothStretch = false,
              c32bppDIB* targetImage = nullptr, int32_t grayscale = -1, float lightness = 0,
              float angle = 0, bool centerOnDest = false);
  // Fills the image with an opaque two-colour chequer pattern of squares of the
  // given size, starting with firstColor at the top-left. Colours are
  // red + green * 256 + blue * 65536.
  bool CreateCheckerBoard(int32_t checkerSize, uint32_t firstColor, uint32_t secondColor);

  // --- Effects (c32bppdib_effects.cpp), in place unless said otherwise; false
  // (or none) without an image. Colours as in CreateCheckerBoard.
  bool MakeImageInverse();
  // revert false: pixels of the opaque colour become transparent; revert true:
  // transparent pixels become that colour again and the alpha is reclassified.
  bool MakeTransparent(uint32_t transparentColor, bool revert);
  bool MirrorImage(bool mirrorX, bool mirrorY);
  // A new image (Width + 2 depth) x (Height + 2 depth) whose alpha is the mean of
  // the picture's alpha over a (2 depth + 1) square ending at each pixel, in the
  // shadow colour. depth is clamped to 0..10.
  std::shared_ptr<c32bppDIB> CreateDropShadow(int32_t blurDepth, uint32_t shadowColor) const;
  // Creates the shadow and draws it at once with Render at (x, y), full size.
  bool RenderDropShadow_JIT(QImage* destSurface, int32_t x, int32_t y, int32_t blurDepth,
                            uint32_t shadowColor, int32_t opacity,
                            c32bppDIB* targetImage = nullptr) const;

  // --- Fields.
  bool Alpha() const { return m_alpha; }
  int32_t ImageType() const { return m_imageType; }
  bool HighQualityInterpolation() const { return m_highQuality; }
  void setHighQualityInterpolation(bool value) { m_highQuality = value; }
  int32_t Width() const { return m_width; }
  int32_t Height() const { return m_height; }
  int32_t scanWidth() const { return m_width * 4; }
  uint8_t* BitsPointer() { return m_bits.get(); }
  const uint8_t* BitsPointer() const { return m_bits.get(); }
  // The whole buffer as a bounds-carrying span (empty without an image).
  std::span<uint8_t> Bits() { return {m_bits.get(), bufferSize()}; }
  std::span<const uint8_t> Bits() const { return {m_bits.get(), bufferSize()}; }
  // Non-zero while an image exists; identifies the pixel buffer.
  uintptr_t Handle() const { return reinterpret_cast<uintptr_t>(m_bits.get()); }
  uint32_t gdiToken() const { return m_gdiToken; }
  void setGdiToken(uint32_t token) { m_gdiToken = token; }

  // --- Capabilities.
  uint32_t capabilities() const { return m_capabilities; }
  bool isAlphaBlendFriendly() const { return m_capabilities & DibCapability::kAlphaBlendFriendly; }
  void setAlphaBlendFriendly(bool value);
  bool isGDIplusEnabled() const { return m_capabilities & DibCapability::kGdiplusEnabled; }
  void setGDIplusEnabled(bool value);
  // zlib is linked in, so this is true unless switched off with setZlibAllowed.
  bool isZlibEnabled() const;
  // Makes the codecs behave exactly as on a system without zlib (no CRC checks,
  // the built-in inflate, no PNG encoding). For tests and diagnostics.
  void setZlibAllowed(bool allowed) { m_zlibAllowed = allowed; }

  // --- Drawing surface (c32bppdib_surface.cpp).
  bool ManageOwnDC() const { return m_manageOwnDC; }
  void setManageOwnDC(bool value);
  // select = true: a painter over the pixels in picture coordinates (y = 0 at the
  // top), valid until LoadDIBinDC(false); nullptr without an image.
  // select = false: ends drawing; the surface is dropped unless ManageOwnDC.
  QPainter* LoadDIBinDC(bool select);

  // --- Life cycle.
  // Creates a blank (transparent black) image; a negative height counts as its
  // magnitude. False, and the object left empty, for a negative width, a zero
  // height or a size whose byte count does not fit a signed 32-bit value.
  bool InitializeDIB(int32_t width, int32_t height);
  void DestroyDIB();
  void EraseDIB();

  // --- For the image engine and the codecs only: decoders set these after
  // filling the buffer.
  void SetAlphaFlag(bool value) { m_alpha = value; }
  void SetImageTypeCode(int32_t code) { m_imageType = code; }
  void SetOriginalBytes(std::vector<uint8_t> bytes) { m_originalBytes = std::move(bytes); }

  // Byte offset of picture pixel (x, y) from BitsPointer (no bounds check).
  size_t pixelOffset(int32_t x, int32_t y) const {
    return static_cast<size_t>(m_height - 1 - y) * static_cast<size_t>(scanWidth()) +
           static_cast<size_t>(x) * 4;
  }

 private:
  struct FreeDeleter {
    void operator()(uint8_t* p) const;
  };

  size_t bufferSize() const {
    return static_cast<size_t>(m_width) * static_cast<size_t>(m_height) * 4;
  }
  bool runDecoderChain(std::span<const uint8_t> bytes, const QString& fileName, int32_t streamStart,
                       int32_t streamLength, bool keepOriginal, int32_t iconCx, int32_t iconCy,
                       int32_t iconBitDepth);
  void startLoad();
  bool failLoad(LoadFailure failure, const std::string& detail = std::string());
  bool afterPngDecoder(const cPNGparser& png);
  void scaledCopyInto(c32bppDIB& target, int32_t width, int32_t height) const;
  void releaseSurface();

  bool m_highQuality = false;
  std::unique_ptr<uint8_t, FreeDeleter> m_bits;
  int32_t m_height = 0;
  int32_t m_width = 0;
  std::unique_ptr<DibSurface> m_surface;
  uint32_t m_capabilities = 0;
  int32_t m_imageType = ImageTypeCode::kNone;
  bool m_manageOwnDC = false;
  bool m_alpha = false;
  uint32_t m_gdiToken = 0;
  std::vector<uint8_t> m_originalBytes;
  bool m_zlibAllowed = true;
  std::shared_ptr<cPNGwriter> m_pngWriter;
  LoadFailure m_loadFailure = LoadFailure::kNone;
  std::string m_loadFailureText;
  std::string m_pngErrorToShow;
};
