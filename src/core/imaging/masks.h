// The rename mask and the text mask: variables replaced file by file.
#pragma once

#include <string>

#include "base/datetime.h"

namespace brevane::imaging {

/// What the masks read of the file being converted.
struct MaskInput {
  std::string filename;       // source path
  std::string target;         // output path of the moment
  int index = 0;              // run index ([C])
  int width = 0, height = 0;  // current image size
};

/// The new output path: the folder part of target, then the mask, with the variables
/// replaced over that whole text in the order [N] [E] [W] [H] [T] [D] [FCD] [FCT] [C], each
/// matched without regard to case. Dates and times use `filefs`; "[C]" is the index with at
/// least `counterLength` digits. The caller holds ConversionLock.
std::string ExpandNameMask(const std::string& mask, int counterLength, const MaskInput& input,
                           const DateTimeFormat& filefs);
/// The same with the current time given.
std::string ExpandNameMask(const std::string& mask, int counterLength, const MaskInput& input,
                           const DateTimeFormat& filefs, const LocalDateTime& now);

/// The line of the text stamp: the variables replaced in the order [N] [E] [W] [H] [T] [D] [C]
/// [FCD] [FCT] [ET] [ED], dates and times with `textfs`, "[C]" in plain decimal. "[ET]"/"[ED]"
/// read the source's Exif date through the Exif reader, so during a run the caller holds
/// ConversionLock.
std::string ExpandTextMask(const std::string& mask, const MaskInput& input, const DateTimeFormat& textfs);
/// The same with the current time given.
std::string ExpandTextMask(const std::string& mask, const MaskInput& input, const DateTimeFormat& textfs,
                           const LocalDateTime& now);

/// The unique-name guard of a run start: "[C]_" + mask when the mask holds neither "[C]" nor
/// "[N]" (exact, case-sensitive search); otherwise the mask unchanged.
std::string uniqueNameGuard(const std::string& mask);

/// The rename sample under the rename mask box: "Filename", ".jpg", the resize page's width
/// and height, `now` with `filefs` for the times and dates, 15 with the counter width.
std::string renameSample(const std::string& mask, int counterLength, int width, int height, const LocalDateTime& now,
                         const DateTimeFormat& filefs);
/// The text sample under the text mask box: the same values with `textfs`, "[ET]"/"[ED]" as
/// the current time and date, "[C]" as 15.
std::string textSample(const std::string& mask, int width, int height, const LocalDateTime& now,
                       const DateTimeFormat& textfs);

/// Replaces every occurrence of `token` (ASCII letters matched without case) in `text` by
/// `value`; the inserted values are not searched again by this call.
std::string replaceToken(const std::string& text, const std::string& token, const std::string& value);

}  // namespace brevane::imaging
