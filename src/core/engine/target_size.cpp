// The quality search that fits a lossy output into a size limit.
#include "engine/target_size.h"

#include <algorithm>

namespace brevane {

SizedEncoding encodeWithinSize(int maxQuality, uint64_t limitBytes,
                               const std::function<std::vector<uint8_t>(int quality)>& encode) {
  SizedEncoding best;      // the highest quality that fits
  SizedEncoding smallest;  // the smallest encoding made, for when nothing fits
  int encodes = 0;
  auto tryQuality = [&](int quality) {
    std::vector<uint8_t> bytes = encode(quality);
    ++encodes;
    bool fits = bytes.size() <= limitBytes;
    if (smallest.encodes == 0 || bytes.size() < smallest.bytes.size()) smallest = {bytes, quality, 1, fits};
    if (fits && quality > best.quality) best = {std::move(bytes), quality, 1, true};
    return fits;
  };
  maxQuality = std::clamp(maxQuality, 1, 100);
  if (!tryQuality(maxQuality)) {
    // Every quality at or above `high + 1` is too large; the highest one that fits lies in
    // [low, high]. Taking the upper middle ends on quality 1 when nothing fits.
    int low = 1, high = maxQuality - 1;
    while (low <= high) {
      int middle = low + (high - low + 1) / 2;
      if (tryQuality(middle)) {
        low = middle + 1;
      } else {
        high = middle - 1;
      }
    }
  }
  SizedEncoding result = best.fits ? std::move(best) : std::move(smallest);
  result.encodes = encodes;
  return result;
}

}  // namespace brevane
