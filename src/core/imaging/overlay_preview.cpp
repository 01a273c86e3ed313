// The overlay preview: decode, stamp, watermark, and shrink into 800 x 600.
#include "imaging/overlay_preview.h"

#include <exception>

#include "codecs/registry.h"
#include "codecs/working_image.h"
#include "imaging/resampler.h"
#include "imaging/resize.h"
#include "imaging/text_stamp.h"
#include "imaging/watermark.h"

namespace brevane::imaging {

Bitmap composeOverlayPreview(const std::string& path, const TConversionSettings& settings,
                             const std::string& sampleLine) {
  // The picture is built as a conversion builds its working image, so that a picture with
  // alpha shows over white as it would be written.
  WorkingImage work = buildWorkingImage(codecs::loadImage(path));
  Bitmap& image = work.image;
  if (settings.Watermark_enable) stampText(image, work.hasAlpha, sampleLine, settings);
  if (settings.Img_watermark_enabled) {
    try {
      drawWatermark(image, settings.Img_path, settings.Img_position);
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
