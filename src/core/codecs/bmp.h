// Windows bitmap reading shared by the BMP codec, the icon reader and the RAW route.
#pragma once

#include <cstdint>
#include <span>

#include "base/bitmap.h"

namespace brevane::codecs {

/// Decodes a BMP file image (with file header) or a packed DIB (information header first).
/// The result keeps the file's depth: 1/4/8 bits with their palette, 16 bits 5-5-5, 24, 32
/// (fourth byte as stored, unmarked); other bit-field layouts are expanded to 24 or 32 bits.
/// Throws brevane::Error ("Bitmap image is not valid ...") on damaged data.
Bitmap readBmp(std::span<const uint8_t> data);

}  // namespace brevane::codecs
