// Targa writer: run-length encoded truecolour, rows top to bottom, 24 or 32 bits.
#include <cstring>

#include "base/error.h"
#include "codecs/encoders.h"

namespace brevane::codecs {
namespace {

// One pixel packed into an integer so that runs are found by plain comparisons.
inline uint32_t packPixel(const uint8_t* p, uint8_t alpha) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{alpha} << 24); }

inline void putPixel(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v >> 16));
  if (bytes == 4) out.push_back(static_cast<uint8_t>(v >> 24));
}

// One row in packets of at most 128 pixels: two or more equal pixels make a run packet
// (0x80 + count - 1, one pixel); everything else goes into raw packets (count - 1, pixels).
void packRow(std::vector<uint8_t>& out, const uint32_t* px, int width, int bytes) {
  int x = 0;
  while (x < width) {
    int run = 1;
    while (x + run < width && run < 128 && px[x + run] == px[x]) ++run;
    if (run >= 2) {
      out.push_back(static_cast<uint8_t>(0x80 + run - 1));
      putPixel(out, px[x], bytes);
      x += run;
      continue;
    }
    // Raw packet: up to the start of the next run of two equal pixels.
    int n = 1;
    while (x + n < width && n < 128 && !(x + n + 1 < width && px[x + n] == px[x + n + 1])) ++n;
    out.push_back(static_cast<uint8_t>(n - 1));
    for (int i = 0; i < n; ++i) putPixel(out, px[x + i], bytes);
    x += n;
  }
}

}  // namespace

std::vector<uint8_t> encodeTga(const Bitmap& image, const Bitmap* alpha) {
  if (image.empty()) throw Error("Cannot write an empty image");
  if (image.width() > 0xFFFF || image.height() > 0xFFFF) throw Error("Image is too large for a Targa file");
  if (alpha && (alpha->width() != image.width() || alpha->height() != image.height() || alpha->bitsPerPixel() != 24))
    throw Error("Alpha plane does not match the image");

  // Other layouts (palette, 5-5-5) are resolved to 24 bits on a copy first.
  Bitmap converted;
  const Bitmap* src = &trueColour(image, converted);
  const int bytes = alpha ? 4 : 3;
  const int step = src->bitsPerPixel() / 8;
  const int width = src->width();

  std::vector<uint8_t> out;
  out.reserve(18 + static_cast<size_t>(width) * src->height() * bytes / 2);
  const uint8_t header[18] = {0,    // identification length
                              0,    // no colour map
                              10,   // run-length encoded truecolour
                              0,    0, 0, 1, 24,  // colour-map first index 0, length 256, entry size 24
                              0,    0, 0, 0,      // x and y origin
                              static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
                              static_cast<uint8_t>(src->height()), static_cast<uint8_t>(src->height() >> 8),
                              static_cast<uint8_t>(bytes * 8),
                              0x20};  // origin at the top left, no attribute bits
  out.insert(out.end(), header, header + 18);

  std::vector<uint32_t> row(static_cast<size_t>(width));
  for (int y = 0; y < src->height(); ++y) {
    const uint8_t* s = src->scanLine(y);
    const uint8_t* a = alpha ? alpha->scanLine(y) : nullptr;
    for (int x = 0; x < width; ++x) row[x] = packPixel(s + static_cast<size_t>(x) * step, a ? a[3 * x + 2] : 0);
    packRow(out, row.data(), width, bytes);
  }
  return out;
}

}  // namespace brevane::codecs
