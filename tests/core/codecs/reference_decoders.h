// Decoders independent of the project's writers, used to check what the writers produce.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/bitmap.h"

namespace brevane::test {

/// A PNG read by libpng: 24-bit (colour type 2) or 32-bit (type 6) bitmap in B, G, R(, A).
struct PngRead {
  Bitmap image;
  int colorType = -1;
  int interlace = -1;
  std::vector<std::string> chunks;     // chunk types in file order
  std::vector<uint32_t> idatSizes;     // data bytes of each IDAT
  std::vector<uint8_t> zlibStream;     // the IDAT data joined
};
PngRead readPng(const std::vector<uint8_t>& file);

/// A JPEG read by libjpeg as a 24-bit bitmap; the frame kind and sampling are reported.
struct JpegRead {
  Bitmap image;
  bool progressive = false;
  bool jfif = false;
  int lumaH = 0, lumaV = 0;  // sampling factors of the first component
};
JpegRead readJpeg(const std::vector<uint8_t>& file);

/// A GIF read by giflib: the first frame's indexes, the global palette, the transparent index.
struct GifRead {
  int width = 0, height = 0;
  std::vector<PaletteEntry> palette;
  std::vector<uint8_t> indexes;
  int transparent = -1;
  int frames = 0;
  int colorResolution = 0;
};
GifRead readGif(const std::vector<uint8_t>& file);

/// A JP2 file read by OpenJPEG: 24-bit, or 32-bit when it has four components.
struct Jp2Read {
  Bitmap image;
  int components = 0;
  bool alphaMarked = false;   // the fourth component is described as opacity
  bool isJp2File = false;     // JP2 signature box, not a bare codestream
};
Jp2Read readJp2(const std::vector<uint8_t>& file);

/// A run-length encoded Targa (type 10, top-left origin) decoded for the tests.
struct TgaRead {
  Bitmap image;  // 24 or 32 bits
  int packets = 0;
};
TgaRead readTga(const std::vector<uint8_t>& file);

/// Peak signal-to-noise ratio over the B, G, R bytes of two same-size bitmaps (any layout).
double psnr(const Bitmap& a, const Bitmap& b);

/// A smooth photo-like 24-bit image: gradients with a little deterministic noise.
Bitmap photoLike(int width, int height, int noise = 6, uint32_t seed = 7);

}  // namespace brevane::test
