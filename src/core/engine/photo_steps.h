// The photo options of a conversion: the source's colour profile, its orientation, and what the
// carried Exif block then says.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codecs/codec.h"
#include "codecs/working_image.h"
#include "exif/exif.h"
#include "imaging/colour_profile.h"

namespace brevane {

/// Auto_rotate, Keep_icc, Convert_srgb, Strip_private and Strip_metadata as the steps read them.
struct PhotoOptions {
  bool autoRotate = false;
  bool keepIcc = true;
  bool convertSrgb = false;
  bool stripPrivate = false;
  bool stripMetadata = false;

  /// CMYK sources keep their inks for the profile (only a conversion uses them).
  bool keepCmykInks() const { return convertSrgb; }
  /// What the colour step does: Strip_metadata keeps no profile; a conversion still runs.
  imaging::ColourOptions colourOptions() const { return {keepIcc && !stripMetadata, convertSrgb}; }
  /// Whether Keep_icc changes anything: not when the colours are converted or nothing is kept.
  bool keepIccMatters() const { return !convertSrgb && !stripMetadata; }
  /// Whether Strip_private changes anything: not when no Exif is written at all.
  bool stripPrivateMatters() const { return !stripMetadata; }
};

/// Largest thumbnail that is turned with its picture; a larger one (or one that cannot be read)
/// is dropped instead, so a crafted block cannot make the carry-over decode a large image.
inline constexpr int kMaxThumbnailSide = 1024;

/// The colour step on the decoded source (before the working image is built): the profile the
/// outputs are to carry, and in `problem` why a damaged profile was ignored (empty when none).
std::vector<uint8_t> applyPhotoColour(codecs::DecodedImage& source, const PhotoOptions& options, std::string& problem);

/// With Auto_rotate on, turns the working image and its alpha plane by the source's orientation
/// and records it in `w.turnedBy`; otherwise leaves them.
void turnUpright(WorkingImage& w, int orientation, const PhotoOptions& options);

/// The edits of the carried Exif block for a picture turned by `turnedBy` (1: not turned): the
/// orientation then reads 1 and the JPEG thumbnail is turned alike (dropped when it cannot be
/// read or is too large); with Strip_private on, the private tags go. The caller holds
/// ConversionLock (the thumbnail is read with the block).
exif::CarryOverEdits exifEdits(const PhotoOptions& options, int turnedBy, const exif::SourceExif& source);

/// A JPEG thumbnail turned by an orientation, or nothing when it cannot be read, is larger than
/// kMaxThumbnailSide or cannot be written.
std::optional<std::vector<uint8_t>> turnThumbnail(std::span<const uint8_t> jpeg, int orientation);

}  // namespace brevane
