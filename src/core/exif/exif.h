// Exif carry-over into JPEG output and the Exif date of a source.
#pragma once

#include <cstdint>
#include <optional>
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

/// Changes of the carried block beyond those every carry-over makes.
struct CarryOverEdits {
  /// The pixels were turned upright: an orientation tag of the main directory says 1.
  bool orientationApplied = false;
  /// The GPS directory, the owner's name, the body and lens serial numbers and the maker note
  /// are left out; every other tag stays.
  bool stripPrivate = false;
  /// The thumbnail (IFD1) replaced by this JPEG stream; an empty one drops the thumbnail.
  /// Unset: the thumbnail stays as it is.
  std::optional<std::vector<uint8_t>> thumbnail;
};

/// The JPEG thumbnail of a source's block (IFD1), or nothing when it has none (or one of strips).
/// Throws brevane::Error when the block cannot be parsed. The caller holds ConversionLock.
std::optional<std::vector<uint8_t>> jpegThumbnail(const SourceExif& source);

/// The JPEG `jpeg` rebuilt with one Exif APP1: the source's tags (every directory, the maker
/// note and the thumbnail, in the source's byte order; little-endian without a source block)
/// with "Software" and "DateTime" set for `now`, the sub-second time when present, the pixel
/// dimensions from the frame header when present, and the filler tag 0xEA1C dropped. A block
/// too large for one APP1 loses its thumbnail; when it still does not fit, or the source block
/// cannot be parsed, or `jpeg` does not start like a JPEG, throws brevane::Error. `edits` adds
/// the changes of the photo options. The caller holds ConversionLock.
std::vector<uint8_t> carryOver(std::span<const uint8_t> jpeg, const SourceExif& source, const LocalDateTime& now,
                               const CarryOverEdits& edits = {});

/// The Exif block `carryOver` builds, as a TIFF structure, for an output of width x height
/// pixels that is not a JPEG (the container stores it in its own Exif place). Throws
/// brevane::Error as `carryOver` does. The caller holds ConversionLock.
std::vector<uint8_t> exifBlock(const SourceExif& source, const LocalDateTime& now, int width, int height,
                               const CarryOverEdits& edits = {});

/// "Brevane v" + the four-part version.
std::string softwareValue();

/// The Exif date of a source for the text mask.
struct ExifDate {
  enum class Kind { kNotJpeg, kNone, kDate } kind = Kind::kNotJpeg;
  LocalDateTime value;
};
/// Any extension other than .JPG, .JPEG or .JFIF: kNotJpeg (the file is only opened). A JPEG:
/// kDate with "DateTime" of the main directory (plus the milliseconds of the sub-second tag),
/// or kNone when that is absent, malformed or all zero. Throws brevane::Error when the file
/// cannot be opened, is not a JPEG or its Exif block cannot be parsed.
ExifDate readExifDate(const std::string& sourcePath);

/// Parses an Exif date-time "YYYY:MM:DD HH:MM:SS": 19 characters, ":" at the fifth and eighth
/// positions, numbers forming a valid date and time. False otherwise (all zeros included).
bool parseExifDateTime(const std::string& text, LocalDateTime& out);

}  // namespace brevane::exif
