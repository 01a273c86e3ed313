// The output encoders: each turns the working image (and its alpha plane) into file bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/bitmap.h"

namespace brevane::codecs {

struct PngWriteOptions {
  bool interlace = false;   // Adam7
  bool allFilters = true;   // all five row filters, else None only
  int level = 9;            // deflate level 0-9
};

/// Windows BMP of the image's current layout (rows bottom-up, file and information header).
std::vector<uint8_t> encodeBmp(const Bitmap& image);
/// Run-length encoded Targa; 32 bits with the alpha plane's alpha when `alpha` is given.
std::vector<uint8_t> encodeTga(const Bitmap& image, const Bitmap* alpha);
/// PNG of colour type 6 with the alpha plane's alpha when `alpha` is given, else type 2; with
/// an iCCP chunk when `icc` holds a profile.
std::vector<uint8_t> encodePng(const Bitmap& image, const Bitmap* alpha, const PngWriteOptions& options,
                               std::span<const uint8_t> icc = {});
/// Baseline (or progressive) JPEG of the image converted to 24 bits; with APP2 ICC segments
/// when `icc` holds a profile.
std::vector<uint8_t> encodeJpeg(const Bitmap& image, int quality, bool progressive, std::span<const uint8_t> icc = {});
/// Single-frame GIF; deeper images are quantised; honours the transparent-colour mark.
std::vector<uint8_t> encodeGif(const Bitmap& image);
/// JP2 file; `lossless` gives rate 0; a profile in `icc` goes into the colr box.
std::vector<uint8_t> encodeJpeg2000(const Bitmap& image, int quality, bool lossless, std::span<const uint8_t> icc = {});

}  // namespace brevane::codecs
