// The output encoders: each turns the working image (and its alpha plane) into file bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/bitmap.h"

namespace brevane::codecs {

struct WebpWriteOptions {
  int quality = 80;       // 1-100, lossy
  bool lossless = false;  // the image's pixels exactly
};

struct AvifWriteOptions {
  int quality = 60;  // 1-100
  int speed = 6;     // 0 (slowest, smallest) - 10 (fastest)
};

struct JxlWriteOptions {
  int quality = 80;       // 1-100, lossy
  bool lossless = false;  // the image's pixels exactly
};

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

// The modern formats. Each takes the alpha from the alpha plane when `alpha` is given, and
// stores `exif` (a TIFF structure, nothing when empty) in its container's Exif place.

/// WebP, lossy or lossless; the EXIF chunk holds `exif`.
std::vector<uint8_t> encodeWebp(const Bitmap& image, const Bitmap* alpha, const WebpWriteOptions& options,
                                std::span<const uint8_t> exif = {});
/// AVIF, 8 bits, 4:2:0 colour, lossless alpha; the Exif item holds `exif`.
std::vector<uint8_t> encodeAvif(const Bitmap& image, const Bitmap* alpha, const AvifWriteOptions& options,
                                std::span<const uint8_t> exif = {});
/// JPEG XL, lossy or lossless; the Exif box holds `exif`.
std::vector<uint8_t> encodeJxl(const Bitmap& image, const Bitmap* alpha, const JxlWriteOptions& options,
                               std::span<const uint8_t> exif = {});

/// The AV1 quantizer of an AVIF quality: 1 gives 62 (coarsest), 100 gives 0 (finest).
int avifQuantizer(int quality);
/// The JPEG XL distance of a quality, as the format's reference encoder maps it: 0.1 at 100,
/// 1.0 at 90, 1.9 at 80, growing faster below 30, at most 25.
float jxlDistance(int quality);

}  // namespace brevane::codecs
