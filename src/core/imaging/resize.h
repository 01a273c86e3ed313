// The resize step of a conversion and the resize policy (fit, smart crop, percent).
#pragma once

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

/// Keep-proportions fitting of w x h into tw x th (Round ties to even). An image that already
/// fits is returned unchanged unless `enlarge` is set. No side of the result is 0.
Size Fit(int w, int h, int tw, int th, bool enlarge);

/// Resizes the working image (and the alpha plane when `alpha` is not null) by the settings'
/// mode. Failures of the stretch and percent modes are logged ("RE1:" + target, "RE2:" +
/// filename) and leave the images as they were; a failure of the keep-proportions resample
/// is thrown to the caller.
void resizeStep(Bitmap& image, Bitmap* alpha, const TConversionSettings& settings, const std::string& filename,
                const std::string& target, ErrorLog& log);

}  // namespace brevane::imaging
