// Packed pixel rows between the bitmap layout and the codec libraries of the modern formats.
#include "codecs/pixel_rows.h"

#include <utility>

namespace brevane::codecs {

std::vector<uint8_t> packPixels(const Bitmap& image, const Bitmap* alpha, ChannelOrder order) {
  Bitmap storage;
  const Bitmap& src = trueColour(image, storage);
  const int w = src.width(), h = src.height();
  const size_t channels = alpha ? 4 : 3;
  const size_t step = static_cast<size_t>(src.bitsPerPixel() / 8);
  const bool rgb = order == ChannelOrder::kRgb;
  std::vector<uint8_t> out(static_cast<size_t>(w) * static_cast<size_t>(h) * channels);
  uint8_t* d = out.data();
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = src.scanLine(y);
    const uint8_t* a = alpha ? alpha->scanLine(y) : nullptr;
    for (int x = 0; x < w; ++x, s += step, d += channels) {
      d[0] = rgb ? s[2] : s[0];
      d[1] = s[1];
      d[2] = rgb ? s[0] : s[2];
      if (a) d[3] = a[3 * x + 2];
    }
  }
  return out;
}

void swapRedBlue(Bitmap& bitmap) {
  const size_t step = static_cast<size_t>(bitmap.bitsPerPixel() / 8);
  if (step < 3) return;
  for (int y = 0; y < bitmap.height(); ++y) {
    uint8_t* p = bitmap.scanLine(y);
    for (int x = 0; x < bitmap.width(); ++x, p += step) std::swap(p[0], p[2]);
  }
}

Bitmap decodeTarget(int64_t width, int64_t height, bool alpha) {
  checkImageSize(width, height);
  Bitmap bitmap(static_cast<int>(width), static_cast<int>(height), alpha ? 32 : 24);
  if (alpha) bitmap.setAlphaMode(AlphaMode::kStraight);
  return bitmap;
}

bool fullyOpaque(const Bitmap& bitmap) {
  for (int y = 0; y < bitmap.height(); ++y) {
    const uint8_t* p = bitmap.scanLine(y);
    for (int x = 0; x < bitmap.width(); ++x)
      if (p[4 * x + 3] != 255) return false;
  }
  return true;
}

}  // namespace brevane::codecs
