// Exif carry-over into JPEG output and the Exif date of a source.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/datetime.h"

namespace brevane::exif {

/// The Exif block a source brings, read before the output is written (so that converting a
/// JPEG onto itself keeps its Exif).
struct SourceExif {
  bool present = false;
  std::vector<uint8_t> tiff;  // the TIFF structure after the "Exif\0\0" header
};

/// For a source whose extension is .JPG, .JPEG or .JFIF (any case): its first Exif block, or
/// an empty result when it has none. Any other extension: empty, without reading. Throws
/// brevane::Error ("JPEG header is not valid", the file system's or the parser's message).
SourceExif readSourceExif(const std::string& sourcePath);

/// The JPEG `jpeg` rebuilt with one Exif APP1: the source's tags with "Software", "DateTime"
/// (and the sub-second time, the pixel dimensions) set for `now`. Throws brevane::Error.
std::vector<uint8_t> carryOver(std::span<const uint8_t> jpeg, const SourceExif& source, const LocalDateTime& now);

/// "Brevane v" + the four-part version.
std::string softwareValue();

/// The Exif date of a source for the text mask.
struct ExifDate {
  enum class Kind { kNotJpeg, kNone, kDate } kind = Kind::kNotJpeg;
  LocalDateTime value;
};
/// Throws brevane::Error when the file cannot be opened or is not a JPEG.
ExifDate readExifDate(const std::string& sourcePath);

}  // namespace brevane::exif
