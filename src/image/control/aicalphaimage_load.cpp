#include "image/control/aicalphaimage.h"

// Placeholder bodies; the real ones replace them.
void aicAlphaImage::ClearImage() {}
void aicAlphaImage::Refresh() {}
bool aicAlphaImage::LoadImage_FromArray(std::span<const uint8_t>, int32_t, int32_t, int32_t) { return false; }
bool aicAlphaImage::LoadImage_FromFile(const QString&, int32_t, int32_t, int32_t) { return false; }
bool aicAlphaImage::LoadImage_FromStdPicture(const StdPicture&) { return false; }
bool aicAlphaImage::LoadImage_FromClipboard() { return false; }
bool aicAlphaImage::LoadImage_FromHandle(const QImage&) { return false; }
bool aicAlphaImage::LoadImage_FromResource(const QString&, const QString&, int32_t, int32_t, int32_t) { return false; }
bool aicAlphaImage::LoadImage_FromOrignalBytes(int32_t, int32_t, int32_t) { return false; }
bool aicAlphaImage::GetImageBytes(std::vector<uint8_t>&) const { return false; }
bool aicAlphaImage::SetImageBytes(std::span<const uint8_t>) { return false; }
void aicAlphaImage::applyAfterLoad() {}
void aicAlphaImage::applyMask() {}
void aicAlphaImage::undoMask() {}
