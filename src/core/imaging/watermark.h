// The image watermark: a picture file drawn unscaled onto the image.
#pragma once

#include <string>

#include "base/bitmap.h"

namespace brevane::imaging {

/// Decodes `watermarkPath` through the registry and draws it at `position` (0-6). Throws
/// brevane::Error on any failure; the image is then unchanged.
void drawWatermark(Bitmap& image, const std::string& watermarkPath, int position);

}  // namespace brevane::imaging
