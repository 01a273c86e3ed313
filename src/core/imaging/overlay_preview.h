// The overlay preview: a picture with the text stamp and the watermark as configured.
#pragma once

#include <string>

#include "base/bitmap.h"
#include "engine/settings.h"

namespace brevane::imaging {

/// Largest size of the overlay preview.
inline constexpr int kOverlayPreviewWidth = 800;
inline constexpr int kOverlayPreviewHeight = 600;

/// Decodes `path` through the registry, stamps `sampleLine` (the text mask already expanded
/// with the sample values) when Watermark_enable is on and draws the watermark when
/// Img_watermark_enabled is on, both at full size and without ConversionLock (watermark
/// errors are ignored), then shrinks the result into 800 x 600 with nearest-neighbour
/// sampling. Returns a 24-bit bitmap. Throws brevane::Error when the file cannot be decoded
/// or the text cannot be drawn.
Bitmap composeOverlayPreview(const std::string& path, const TConversionSettings& settings,
                             const std::string& sampleLine);

}  // namespace brevane::imaging
