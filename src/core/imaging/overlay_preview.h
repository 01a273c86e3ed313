// The overlay preview: a picture with the text stamp and the watermark as configured.
#pragma once

#include <optional>
#include <string>

#include "base/bitmap.h"
#include "imaging/text_stamp.h"
#include "imaging/watermark.h"

namespace brevane::imaging {

/// What the overlay preview draws over the picture.
struct OverlayPreviewOptions {
  std::optional<TextStampOptions> text;       // the text stamp, when it is on
  std::optional<WatermarkOptions> watermark;  // the image watermark, when it is on
};

/// Largest size of the overlay preview.
inline constexpr int kOverlayPreviewWidth = 800;
inline constexpr int kOverlayPreviewHeight = 600;

/// Decodes `path` through the registry, stamps `sampleLine` (the text mask already expanded
/// with the sample values) when the options hold a text stamp and draws the watermark when
/// they hold one, both at full size and without ConversionLock (watermark errors are
/// ignored), then shrinks the result into 800 x 600 with nearest-neighbour sampling. Returns
/// a 24-bit bitmap. Throws brevane::Error when the file cannot be decoded or the text cannot
/// be drawn.
Bitmap composeOverlayPreview(const std::string& path, const OverlayPreviewOptions& options,
                             const std::string& sampleLine);

}  // namespace brevane::imaging
