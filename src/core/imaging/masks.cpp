// Placeholder masks until the mask language lands: names and text pass through unchanged.
#include "imaging/masks.h"

#include "base/platform.h"

namespace brevane::imaging {

std::string ExpandNameMask(const std::string& mask, int, const MaskInput& input, const DateTimeFormat&) {
  return folderPart(input.target) + mask;
}

std::string ExpandTextMask(const std::string& mask, const MaskInput&, const DateTimeFormat&, bool) { return mask; }

std::string uniqueNameGuard(const std::string& mask) {
  if (mask.find("[C]") == std::string::npos && mask.find("[N]") == std::string::npos) return "[C]_" + mask;
  return mask;
}

}  // namespace brevane::imaging
