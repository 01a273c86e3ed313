// Turning an image upright by its Exif orientation.
#pragma once

#include "base/bitmap.h"

namespace brevane::imaging {

/// True for the orientations that exchange width and height (5-8).
constexpr bool swapsSides(int orientation) {
  return orientation >= 5 && orientation <= 8;
}

/// The image turned and mirrored as Exif orientation `orientation` asks for it to stand upright:
/// 2 mirror left-right, 3 half turn, 4 mirror top-bottom, 5 transpose, 6 quarter turn clockwise,
/// 7 transverse, 8 quarter turn anticlockwise; 1 and values outside 1-8 leave it as it is.
/// The layout, palette, alpha mode and a fixed transparent colour stay; 1- and 4-bit images
/// come back as 8 bits with the same palette.
Bitmap orientBitmap(const Bitmap& image, int orientation);

}  // namespace brevane::imaging
