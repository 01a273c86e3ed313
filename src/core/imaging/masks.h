// The rename mask and the text mask: variables replaced file by file.
#pragma once

#include <string>

#include "base/datetime.h"

namespace brevane::imaging {

/// What the masks read of the file being converted.
struct MaskInput {
  std::string filename;  // source path
  std::string target;    // output path of the moment
  int index = 0;         // run index ([C])
  int width = 0, height = 0;  // current image size
};

/// The new output path: the folder part of target, then the mask, variables replaced.
std::string ExpandNameMask(const std::string& mask, int counterLength, const MaskInput& input,
                           const DateTimeFormat& filefs);
/// The line of the text stamp. Takes ConversionLock for its Exif step when `lockExif` is set.
std::string ExpandTextMask(const std::string& mask, const MaskInput& input, const DateTimeFormat& textfs,
                           bool lockExif = true);
/// The unique-name guard of a run start: "[C]_" + mask when the mask holds neither "[C]" nor
/// "[N]" (exact, case-sensitive search); otherwise the mask unchanged.
std::string uniqueNameGuard(const std::string& mask);

}  // namespace brevane::imaging
