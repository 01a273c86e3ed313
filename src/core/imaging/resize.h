// The resize step of a conversion and the resize policy (fit, smart crop, percent).
#pragma once

#include <optional>
#include <string>

#include "base/bitmap.h"
#include "engine/error_log.h"
#include "engine/settings.h"

namespace brevane::imaging {

/// A width and height.
struct Size {
  int width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

/// A rectangle of an image.
struct CropRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const CropRect&) const = default;
};

/// Keep-proportions fitting of w x h into tw x th (Round ties to even). An image that already
/// fits is returned unchanged unless `enlarge` is set. No side of the result is 0.
Size Fit(int w, int h, int tw, int th, bool enlarge);

/// The smart-crop rectangle of a w x h image for the target tw x th: the largest centred
/// rectangle with the target's aspect ratio. Nothing when the image already has the target
/// size, when `enlarge` is off and the image is not larger than the target in both
/// directions, or when the rectangle's aspect ratio, to one decimal, differs from the target's.
std::optional<CropRect> smartCropRect(int w, int h, int tw, int th, bool enlarge);

/// Crops the image, and the alpha plane when not null, to smartCropRect. True when cropped.
bool smartCrop(Bitmap& image, Bitmap* alpha, int tw, int th, bool enlarge);

/// The size of the percent mode: w * percent / 100 truncated, and the same for h, each at least 4.
Size percentSize(int w, int h, int percent);

/// Resizes the working image (and the alpha plane when `alpha` is not null) by the settings'
/// mode. Failures of the stretch and percent modes are logged ("RE1:" + target, "RE2:" +
/// filename) and leave the images as they were; a failure of the keep-proportions resample
/// is thrown to the caller. The image and the alpha plane change together or not at all.
void resizeStep(Bitmap& image, Bitmap* alpha, const TConversionSettings& settings, const std::string& filename,
                const std::string& target, ErrorLog& log);

}  // namespace brevane::imaging
