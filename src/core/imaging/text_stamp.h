// The text stamp: one line drawn into the image with the stamp font.
#pragma once

#include <string>

#include "base/bitmap.h"
#include "engine/settings.h"

namespace brevane::imaging {

/// Draws `line` into `image` with the settings' font, position, opacity and shadow. The caller
/// holds ConversionLock during a run. Throws brevane::Error when drawing fails.
void stampText(Bitmap& image, bool hasAlphaPlane, const std::string& line, const TConversionSettings& settings);

}  // namespace brevane::imaging
