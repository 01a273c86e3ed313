// The image watermark: a picture file drawn unscaled onto the image.
#pragma once

#include <string>

#include "base/bitmap.h"
#include "codecs/codec.h"

namespace brevane::imaging {

/// Which picture the image watermark draws, and where.
struct WatermarkOptions {
  std::string path;  // decoded through the registry
  int position = 6;  // anchor 0-6 (OverlayOrigin)
};

/// Decodes the options' picture through the registry (again on every call, so a changed file
/// takes effect at once) and draws it at their position. Throws brevane::Error on any failure;
/// the image is then unchanged.
void drawWatermark(Bitmap& image, const WatermarkOptions& options);

/// Draws an already decoded watermark at `position`, unscaled and clipped: a PNG with an alpha
/// channel (or a 32-bit bitmap marked with straight or premultiplied alpha) is blended, a
/// picture with a transparent colour is copied except for that colour, anything else is copied
/// opaquely. Only colour bytes are written; a 32-bit image keeps its fourth byte. Images below
/// 24 bits become 24-bit. Throws brevane::Error for a picture without pixels (a metafile).
void drawWatermarkImage(Bitmap& image, const codecs::DecodedImage& watermark, int position);

}  // namespace brevane::imaging
