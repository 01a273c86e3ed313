// The codes that start the lines of a run's error log, one per kind of failure of a file.
#pragma once

namespace brevane::errorcode {

/// The overwrite guard refused the file, or a source other than RAW could not be decoded;
/// the line names the source.
inline constexpr char kOpen[] = "AFO:";
/// A RAW source could not be decoded; the line names the source.
inline constexpr char kRawOpen[] = "RFO:";
/// A width-and-height resize failed; the line names the output path.
inline constexpr char kResize[] = "RE1:";
/// A percent resize failed; the line names the source.
inline constexpr char kPercentResize[] = "RE2:";
/// The watermark picture could not be loaded or drawn; the line names the source.
inline constexpr char kWatermark[] = "WLE:";
/// Encoding, writing, the text stamp, renaming or the Exif carry-over failed (single format);
/// the line names the output path.
inline constexpr char kSave[] = "FSE:";
/// The automatic format step failed outside its save; the line names the output path.
inline constexpr char kAutoFormat[] = "AFE:";
/// The source's ICC profile is damaged and was ignored: the file is still converted, as if it
/// had none. The line names the source.
inline constexpr char kColourProfile[] = "ICC:";

}  // namespace brevane::errorcode
