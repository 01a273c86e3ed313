// Small helpers shared by the extra-format readers (PCX, SGI, PSD, PNM, ...).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/bitmap.h"
#include "base/error.h"

namespace brevane::codecs {

/// A 16-bit sample scaled to 0-255, rounded to the nearest value.
inline uint8_t scale16To8(uint32_t v) {
  return static_cast<uint8_t>((v + 128) / 257);
}

/// A sample of 0..maxValue scaled to 0-255, rounded; values above maxValue read as 255.
inline uint8_t scaleTo8(uint32_t v, uint32_t maxValue) {
  if (v >= maxValue) return 255;
  return static_cast<uint8_t>((static_cast<uint64_t>(v) * 255 + maxValue / 2) / maxValue);
}

/// Fills a palette with `count` entries of grey ramp 0..255 (count >= 2).
void setGreyRamp(Bitmap& bitmap, int count);

/// An 8-bit paletted bitmap whose palette has 256 entries: the given ones, then black, so that
/// any index a damaged file holds reads a defined colour.
void setPalette256(Bitmap& bitmap, std::span<const PaletteEntry> entries);

/// PackBits (Apple / TIFF / Photoshop run-length): decodes `in` into `out`, which it fills up
/// to its size; bytes the input lacks stay as they are. Runs past the end of `out` are clipped.
/// Returns the number of bytes written.
size_t unpackBits(std::span<const uint8_t> in, std::span<uint8_t> out);

/// Inflates a zlib stream into at most `maxBytes` bytes. Throws Error with `what` in the message
/// when the stream is damaged before it has given `minBytes`.
std::vector<uint8_t> inflateZlib(std::span<const uint8_t> in, size_t minBytes, size_t maxBytes, const char* what);

}  // namespace brevane::codecs
