// Packed pixel rows between the bitmap layout and the codec libraries of the modern formats.
#pragma once

#include <cstdint>
#include <vector>

#include "base/bitmap.h"

namespace brevane::codecs {

/// Byte order of the colour channels in packed pixels.
enum class ChannelOrder : uint8_t { kRgb, kBgr };

/// The working image as rows of 3 bytes per pixel, or 4 when `alpha` is given (the alpha being
/// the alpha plane's third byte), with no padding. Any bitmap layout is read through its colours.
std::vector<uint8_t> packPixels(const Bitmap& image, const Bitmap* alpha, ChannelOrder order);

/// Exchanges the first and third byte of every pixel of a 24- or 32-bit bitmap.
void swapRedBlue(Bitmap& bitmap);

/// The bitmap a reader decodes into: 32 bits with straight alpha, or 24 bits. Validates the
/// size against the engine's limit before allocating.
Bitmap decodeTarget(int64_t width, int64_t height, bool alpha);

/// True when every alpha byte of a 32-bit bitmap is 255.
bool fullyOpaque(const Bitmap& bitmap);

}  // namespace brevane::codecs
