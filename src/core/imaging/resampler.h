// ResampleImage: the separable two-pass resampler with seven kernels.
#pragma once

#include <cstdint>

#include "base/bitmap.h"

namespace brevane::imaging {

/// Scales `source` to the size `destination` has at the call. Both become 24-bit: the source is
/// converted in place, the destination is overwritten entirely. `kernel` 0-6 ("Nearest
/// neighbour", "Bilinear", "Hermite", "Bell", "B-spline", "Lanczos3", "Mitchell"); `radius` 0
/// means the kernel's default support.
void ResampleImage(Bitmap& source, Bitmap& destination, uint8_t kernel, float radius);

}  // namespace brevane::imaging
