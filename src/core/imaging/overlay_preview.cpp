// The overlay preview: decode, stamp, watermark, and shrink into 800 x 600.
#include "imaging/overlay_preview.h"

#include <exception>

#include "codecs/registry.h"
#include "codecs/working_image.h"
#include "imaging/resampler.h"
#include "imaging/resize.h"

namespace brevane::imaging {

Bitmap composeOverlayPreview(const std::string& path, const OverlayPreviewOptions& options,
                             const std::string& sampleLine) {
  // The picture is built as a conversion builds its working image, so that a picture with
  // alpha shows over white as it would be written.
  WorkingImage work = buildWorkingImage(codecs::loadImage(path));
  Bitmap& image = work.image;
  if (options.text) stampText(image, work.hasAlpha, sampleLine, *options.text);
  if (options.watermark) {
    try {
      drawWatermark(image, *options.watermark);
    } catch (const std::exception&) {
      // The preview shows the picture without the watermark; the run reports the failure.
    }
  }
  Size fitted = Fit(image.width(), image.height(), kOverlayPreviewWidth, kOverlayPreviewHeight, false);
  Bitmap preview(fitted.width, fitted.height, 24);
  ResampleImage(image, preview, 0, 0.5f);
  return preview;
}

}  // namespace brevane::imaging
