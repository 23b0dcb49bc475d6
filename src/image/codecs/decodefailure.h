#pragma once
// Why a decoder produced no pixels. The decoders' results stay what their
// callers rely on (a boolean, an image with or without pixels); each decoder
// keeps the reason of its last failure beside them, one enum per decoder
// family, and failureText names every value for people (the tool's output,
// the image control's message box).

#include <cstdint>

// The PNG decoder (chunk walk and pixel reconstruction).
enum class PngFailure : uint8_t {
  kNone,
  kBadSignature,         // the first 8 bytes are not the PNG signature
  kFileTooSmall,         // too short to hold any PNG
  kReadFailed,           // the file could not be read
  kChunkLengthOverflow,  // a chunk length runs past the largest input the walk handles
  kTruncatedChunk,       // a chunk runs past the end of the input
  kMissingEnd,           // the input ends before IEND
  kHeaderCrcMismatch,
  kPaletteCrcMismatch,
  kImageDataCrcMismatch,
  kShortHeader,    // IHDR with fewer than 13 data bytes
  kBadDimensions,  // width or height below 1
  kBadMethod,      // compression or filter method other than 0
  kBadBitDepth,
  kBadColourType,
  kBadInterlace,
  kTooLarge,             // width x 32 x height does not fit a signed 32-bit number
  kBadPaletteLength,     // PLTE not a multiple of 3 bytes
  kNoHeader,             // no IHDR before the image data was needed
  kNoImageData,          // no IDAT data at all
  kUnsupportedFormat,    // the colour type and bit depth pair has no conversion
  kOutOfMemory,          // the pixel or inflate buffer could not be allocated
  kInflateFailed,        // neither zlib nor the built-in inflate could inflate the data
  kBadInterlacedFilter,  // a filter byte above 4 in an interlaced image
  kPaletteIndexOutOfRange,
};

// The decoders' own inflate (its codes are those of pnginflate::Inflate).
enum class InflateFailure : uint8_t {
  kNone,
  kShort,            // input ends early, output too small, or block type 3
  kBadStoredLength,  // a stored block's LEN and NLEN disagree
  kBadData,          // a code no table holds, or a distance too far back
  kBadTable,         // a malformed dynamic code table
  kUnknown,
};

// The GIF decoder.
enum class GifFailure : uint8_t {
  kNone,
  kBadSignature,     // neither GIF87a nor GIF89a
  kTruncated,        // a header, block or sub-block runs past the end
  kUnexpectedBlock,  // a byte that starts no known block before the first image
  kNoImageData,      // the first image's data is too short to hold any pixels
  kEmptyImage,       // the first image is 0 pixels wide or high
  kTooLarge,         // the first image has more pixels than the decoder accepts
  kDecodeFailed,     // giflib could not decode the image data
  kOutOfMemory,
};

// The icon and cursor decoder.
enum class IcoFailure : uint8_t {
  kNone,
  kTooShort,            // not even a directory header
  kBadHeader,           // reserved word not 0, type not icon or cursor, or no entries
  kTruncatedDirectory,  // the entries run past the end
  kEntryOutside,        // an entry's data lies outside the input, or is under 16 bytes
  kBadPngEntry,         // a PNG entry without a usable signature and header
  kNoBitDepth,          // a bitmap entry that states no bit depth anywhere
  kPngEntryFailed,      // the PNG decoder could not decode the chosen entry
  kBadBitmapHeader,     // the chosen entry's header size does not fit the entry
  kCompressedBitmap,
  kUnsupportedBitDepth,
  kShortBitmapData,  // the colour or mask rows run past the entry
  kOutOfMemory,
};

// The bitmap decoder.
enum class BmpFailure : uint8_t {
  kNone,
  kBadDimensions,     // a 32-bit bitmap with a width below 1 or a height of 0
  kNotEnoughData,     // the pixel rows run past the end of the input
  kNotOwnFormat,      // not an uncompressed 32-bit bitmap (the picture loader's job)
  kNotPictureFormat,  // neither a bitmap nor a JPEG
  kPictureLoaderFailed,
  kOutOfMemory,
};

// The loading dispatch (the decoder chain).
enum class LoadFailure : uint8_t {
  kNone,
  kCannotOpen,      // the file is missing or cannot be opened
  kSourceTooSmall,  // fewer than 57 bytes
  kSourceTooLarge,  // more bytes than a signed 32-bit length holds
  kReadFailed,
  kPngFailed,     // a PNG that did not decode
  kGifFailed,     // a GIF that did not decode
  kIconFailed,    // an icon or cursor that did not decode
  kBitmapFailed,  // a bitmap or JPEG that did not decode
  kUnrecognised,  // no decoder, the system image service included, took the source
};

const char* failureText(PngFailure failure);
const char* failureText(InflateFailure failure);
const char* failureText(GifFailure failure);
const char* failureText(IcoFailure failure);
const char* failureText(BmpFailure failure);
const char* failureText(LoadFailure failure);

// The built-in inflate's result code as a failure.
InflateFailure inflateFailureOf(int code);

// Whether the PNG decoder reports the failure to the user (a message box in
// the image control) rather than keeping it to itself: failures of the data
// stay quiet, failures of the system around it do not.
bool isReportedToUser(PngFailure failure);
