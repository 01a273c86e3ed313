// Placeholder resampler: nearest sampling until the exact engine lands.
#include "imaging/resampler.h"

namespace brevane::imaging {

void ResampleImage(Bitmap& source, Bitmap& destination, uint8_t, float) {
  int w = destination.width(), h = destination.height();
  destination.reset(w, h, 24);
  source.convertTo24();
  if (source.empty() || destination.empty()) return;
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = source.scanLine(static_cast<int>(static_cast<int64_t>(y) * source.height() / h));
    uint8_t* dst = destination.scanLine(y);
    for (int x = 0; x < w; ++x) {
      int sx = static_cast<int>(static_cast<int64_t>(x) * source.width() / w);
      dst[3 * x] = src[3 * sx];
      dst[3 * x + 1] = src[3 * sx + 1];
      dst[3 * x + 2] = src[3 * sx + 2];
    }
  }
}

}  // namespace brevane::imaging
