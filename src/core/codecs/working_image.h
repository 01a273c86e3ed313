// The working image of a conversion: a decoded image turned into the bitmap every later step
// works on, with the alpha plane when the source has alpha.
#pragma once

#include <cstdint>
#include <vector>

#include "base/bitmap.h"
#include "codecs/codec.h"

namespace brevane {

/// The working image of a file and, when the source has alpha, its alpha plane (24 bits, the
/// alpha in the third byte of each pixel).
struct WorkingImage {
  Bitmap image;
  Bitmap alpha;
  bool hasAlpha = false;
  std::vector<uint8_t> iccProfile;  // the profile the outputs carry (empty: none)
  int turnedBy = 1;                 // the Exif orientation the image was turned upright by
};

/// True when a decoded image takes the alpha path (PNG colour type 6, a Targa reporting
/// alpha, any 32-bit bitmap).
bool decodedHasAlpha(const codecs::DecodedImage& decoded);

/// Builds the working image from a decoded image. Throws brevane::Error for a metafile, which
/// has no conversion to a bitmap.
WorkingImage buildWorkingImage(codecs::DecodedImage&& decoded);

}  // namespace brevane
