// Colour reduction for palette output: octree quantisation with Floyd-Steinberg error diffusion.
#pragma once

#include <cstdint>
#include <vector>

#include "base/bitmap.h"

namespace brevane::codecs {

/// A palette and one palette index per pixel, rows top first, `width` indexes per row.
struct QuantizedImage {
  std::vector<PaletteEntry> palette;
  std::vector<uint8_t> indexes;
};

/// Reduces a 16, 24 or 32-bit image to at most `maxColours` (1-256) colours: an octree of
/// 8 bits of colour resolution chooses the palette, Floyd-Steinberg diffusion maps the pixels.
/// Pixels whose `mask` byte is non-zero (the mask may be null, else width x height bytes) are
/// left out of both and take the index just past the palette (palette.size()).
QuantizedImage quantizeOctree(const Bitmap& image, int maxColours, const std::vector<uint8_t>* mask);

}  // namespace brevane::codecs
