#include "image/codecs/decodefailure.h"

#include "image/codecs/inflate.h"

const char* failureText(PngFailure failure) {
  switch (failure) {
    case PngFailure::kNone:
      return "no error";
    case PngFailure::kBadSignature:
      return "not a PNG: bad signature";
    case PngFailure::kFileTooSmall:
      return "PNG file too small";
    case PngFailure::kReadFailed:
      return "PNG file could not be read";
    case PngFailure::kChunkLengthOverflow:
      return "PNG chunk length overflow";
    case PngFailure::kTruncatedChunk:
      return "PNG truncated chunk";
    case PngFailure::kMissingEnd:
      return "PNG ends before IEND";
    case PngFailure::kHeaderCrcMismatch:
      return "PNG IHDR CRC mismatch";
    case PngFailure::kPaletteCrcMismatch:
      return "PNG PLTE CRC mismatch";
    case PngFailure::kImageDataCrcMismatch:
      return "PNG IDAT CRC mismatch";
    case PngFailure::kShortHeader:
      return "PNG IHDR too short";
    case PngFailure::kBadDimensions:
      return "PNG width or height below 1";
    case PngFailure::kBadMethod:
      return "PNG unknown compression or filter method";
    case PngFailure::kBadBitDepth:
      return "PNG unsupported bit depth";
    case PngFailure::kBadColourType:
      return "PNG unsupported colour type";
    case PngFailure::kBadInterlace:
      return "PNG unknown interlace method";
    case PngFailure::kTooLarge:
      return "PNG image too large";
    case PngFailure::kBadPaletteLength:
      return "PNG PLTE length not a multiple of 3";
    case PngFailure::kNoHeader:
      return "PNG without IHDR";
    case PngFailure::kNoImageData:
      return "PNG without image data";
    case PngFailure::kUnsupportedFormat:
      return "PNG unsupported colour type and bit depth pair";
    case PngFailure::kOutOfMemory:
      return "PNG out of memory";
    case PngFailure::kInflateFailed:
      return "PNG image data does not inflate";
    case PngFailure::kBadInterlacedFilter:
      return "PNG bad filter type in an interlaced image";
    case PngFailure::kPaletteIndexOutOfRange:
      return "PNG palette index without a palette entry";
  }
  return "PNG unknown error";
}

const char* failureText(InflateFailure failure) {
  switch (failure) {
    case InflateFailure::kNone:
      return "no error";
    case InflateFailure::kShort:
      return "input or output ends early";
    case InflateFailure::kBadStoredLength:
      return "stored block length mismatch";
    case InflateFailure::kBadData:
      return "invalid code or distance";
    case InflateFailure::kBadTable:
      return "malformed code table";
    case InflateFailure::kUnknown:
      break;
  }
  return "unknown inflate error";
}

const char* failureText(GifFailure failure) {
  switch (failure) {
    case GifFailure::kNone:
      return "no error";
    case GifFailure::kBadSignature:
      return "not a GIF: bad signature";
    case GifFailure::kTruncated:
      return "GIF truncated block";
    case GifFailure::kUnexpectedBlock:
      return "GIF unknown block before the first image";
    case GifFailure::kNoImageData:
      return "GIF image data too short";
    case GifFailure::kEmptyImage:
      return "GIF image without pixels";
    case GifFailure::kTooLarge:
      return "GIF image too large";
    case GifFailure::kDecodeFailed:
      return "GIF image data does not decode";
    case GifFailure::kOutOfMemory:
      return "GIF out of memory";
  }
  return "GIF unknown error";
}

const char* failureText(IcoFailure failure) {
  switch (failure) {
    case IcoFailure::kNone:
      return "no error";
    case IcoFailure::kTooShort:
      return "not an icon: too short";
    case IcoFailure::kBadHeader:
      return "not an icon: bad directory header";
    case IcoFailure::kTruncatedDirectory:
      return "icon directory truncated";
    case IcoFailure::kEntryOutside:
      return "icon entry outside the file";
    case IcoFailure::kBadPngEntry:
      return "icon PNG entry without a valid header";
    case IcoFailure::kNoBitDepth:
      return "icon entry without a bit depth";
    case IcoFailure::kPngEntryFailed:
      return "icon PNG entry does not decode";
    case IcoFailure::kBadBitmapHeader:
      return "icon bitmap header size does not fit the entry";
    case IcoFailure::kCompressedBitmap:
      return "icon bitmap entry compressed";
    case IcoFailure::kUnsupportedBitDepth:
      return "icon bitmap entry of unsupported bit depth";
    case IcoFailure::kShortBitmapData:
      return "icon bitmap entry data too short";
    case IcoFailure::kOutOfMemory:
      return "icon out of memory";
  }
  return "icon unknown error";
}

const char* failureText(BmpFailure failure) {
  switch (failure) {
    case BmpFailure::kNone:
      return "no error";
    case BmpFailure::kBadDimensions:
      return "bitmap width or height invalid";
    case BmpFailure::kNotEnoughData:
      return "bitmap pixel data truncated";
    case BmpFailure::kNotOwnFormat:
      return "bitmap not uncompressed 32-bit";
    case BmpFailure::kNotPictureFormat:
      return "not a bitmap or JPEG";
    case BmpFailure::kPictureLoaderFailed:
      return "picture loader could not decode the picture";
    case BmpFailure::kOutOfMemory:
      return "bitmap out of memory";
  }
  return "bitmap unknown error";
}

const char* failureText(LoadFailure failure) {
  switch (failure) {
    case LoadFailure::kNone:
      return "no error";
    case LoadFailure::kCannotOpen:
      return "cannot open the file";
    case LoadFailure::kSourceTooSmall:
      return "source too small for any image";
    case LoadFailure::kSourceTooLarge:
      return "source too large";
    case LoadFailure::kReadFailed:
      return "cannot read the file";
    case LoadFailure::kPngFailed:
      return "PNG does not decode";
    case LoadFailure::kGifFailed:
      return "GIF does not decode";
    case LoadFailure::kIconFailed:
      return "icon or cursor does not decode";
    case LoadFailure::kBitmapFailed:
      return "bitmap or JPEG does not decode";
    case LoadFailure::kUnrecognised:
      return "unrecognised image format";
  }
  return "unknown load error";
}

InflateFailure inflateFailureOf(int code) {
  switch (code) {
    case pnginflate::kOk:
      return InflateFailure::kNone;
    case pnginflate::kShort:
      return InflateFailure::kShort;
    case pnginflate::kBadStoredLength:
      return InflateFailure::kBadStoredLength;
    case pnginflate::kBadData:
      return InflateFailure::kBadData;
    case pnginflate::kBadTable:
      return InflateFailure::kBadTable;
    default:
      return InflateFailure::kUnknown;
  }
}

bool isReportedToUser(PngFailure failure) {
  return failure == PngFailure::kChunkLengthOverflow || failure == PngFailure::kReadFailed ||
         failure == PngFailure::kOutOfMemory;
}
