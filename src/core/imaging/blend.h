// Placement and alpha blending shared by the text stamp and the image watermark.
#pragma once

#include <cstdint>
#include <string>

#include "base/bitmap.h"
#include "base/font_choice.h"

namespace brevane::imaging {

/// A corner in image coordinates (may be negative: the overlay is then clipped).
struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

/// The top-left corner of a w x h overlay at `position` (0 "Top-Left" ... 6 "Bottom-Right")
/// on a W x H image, 10 pixels from the edges; any other position places like 0.
Point OverlayOrigin(int position, int W, int H, int w, int h);

/// Blends a 32-bit overlay with straight alpha into `image` with its corner at (x, y), clipped
/// to the image: per colour byte Round((overlay - image) * A / 255 + image). The image's own
/// fourth byte is kept. Images below 24 bits are converted to 24 bits first; an overlay of
/// another depth draws nothing.
void BlendOverlay(Bitmap& image, const Bitmap& overlay, int x, int y);

/// Blends `text` like DrawAlphaText into a 24- or 32-bit image without changing its layout.
/// (Blending into 24 bits gives the same colours as blending into 32 bits and dropping the
/// fourth byte afterwards, without converting the whole image twice.)
void blendText(Bitmap& image, const std::string& text, uint8_t alpha, int x, int y, const FontChoice& font,
               int sizePoints);

/// Blends `text` in the font's colour with alpha `alpha` (times the glyphs' coverage) into
/// `image` with the line's extent box at (x, y). The image becomes 32-bit.
void DrawAlphaText(Bitmap& image, const std::string& text, uint8_t alpha, int x, int y, const FontChoice& font,
                   int sizePoints);

}  // namespace brevane::imaging
