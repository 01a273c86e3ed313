// The quality search that fits a lossy output into a size limit.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace brevane {

/// An encoding chosen for its size.
struct SizedEncoding {
  std::vector<uint8_t> bytes;
  int quality = 0;
  int encodes = 0;    // how many encodings the search made
  bool fits = false;  // bytes.size() <= the limit
};

/// The encoding at the highest quality from `maxQuality` down to 1 whose size is at most
/// `limitBytes`: `maxQuality` first, then a bisection of the qualities below it (at most 8
/// encodings for 100 qualities). Sizes are taken to grow with quality; where an encoder breaks
/// that by a few bytes the result still fits, it is just not always the highest that would.
/// When even quality 1 is larger, the smallest encoding made (normally quality 1) comes back
/// with `fits` false.
SizedEncoding encodeWithinSize(int maxQuality, uint64_t limitBytes,
                               const std::function<std::vector<uint8_t>(int quality)>& encode);

}  // namespace brevane
