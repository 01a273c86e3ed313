// A plain, literal two-pass resampler: the yardstick the production resampler is checked against.
#pragma once

#include <cstdint>

#include "base/bitmap.h"

namespace brevane::test {

/// Column-walking resampler with per-pass contributor lists, exactly as the algorithm reads;
/// slow on purpose. Same contract as imaging::ResampleImage.
void referenceResample(Bitmap& source, Bitmap& destination, uint8_t kernel, float radius);

/// The kernel of the reference (index 0-6).
float referenceKernel(uint8_t kernel, float x);

}  // namespace brevane::test
