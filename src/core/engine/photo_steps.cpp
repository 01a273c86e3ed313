// The photo options of a conversion: the source's colour profile, its orientation, and what the
// carried Exif block then says.
#include "engine/photo_steps.h"

#include "base/error.h"
#include "codecs/encoders.h"
#include "codecs/registry.h"
#include "exif/jpeg_segments.h"
#include "imaging/orientation.h"

namespace brevane {

namespace {

// Quality of a turned thumbnail: it is shown small, and it must fit the Exif segment.
constexpr int kThumbnailQuality = 85;

}  // namespace

std::vector<uint8_t> applyPhotoColour(codecs::DecodedImage& source, const PhotoOptions& options, std::string& problem) {
  imaging::ColourOutcome outcome = imaging::applyColourOptions(source, options.colourOptions());
  problem = std::move(outcome.problem);
  return std::move(outcome.outputProfile);
}

void turnUpright(WorkingImage& w, int orientation, const PhotoOptions& options) {
  if (!options.autoRotate || orientation < 2 || orientation > 8) return;
  w.image = imaging::orientBitmap(w.image, orientation);
  if (w.hasAlpha) w.alpha = imaging::orientBitmap(w.alpha, orientation);
  w.turnedBy = orientation;
}

std::optional<std::vector<uint8_t>> turnThumbnail(std::span<const uint8_t> jpeg, int orientation) {
  if (!exif::startsLikeJpeg(jpeg)) return std::nullopt;
  auto frame = exif::frameSize(exif::walkJpegHeader(jpeg));
  if (!frame || frame->width < 1 || frame->height < 1 || frame->width > kMaxThumbnailSide ||
      frame->height > kMaxThumbnailSide)
    return std::nullopt;
  try {
    codecs::DecodedImage thumb = codecs::decodeBytes("thumbnail.jpg", jpeg);
    return codecs::encodeJpeg(imaging::orientBitmap(thumb.bitmap, orientation), kThumbnailQuality, false);
  } catch (const Error&) {
    return std::nullopt;  // a placeholder or a damaged thumbnail is dropped, never the file
  }
}

exif::CarryOverEdits exifEdits(const PhotoOptions& options, int turnedBy, const exif::SourceExif& source) {
  exif::CarryOverEdits edits;
  edits.stripPrivate = options.stripPrivate;
  if (turnedBy < 2 || turnedBy > 8) return edits;
  edits.orientationApplied = true;
  std::optional<std::vector<uint8_t>> thumbnail;
  try {
    thumbnail = exif::jpegThumbnail(source);
  } catch (const Error&) {
    return edits;  // the block cannot be parsed: the carry-over itself reports it
  }
  // A thumbnail of strips cannot be turned here: it goes, like one that cannot be read.
  std::optional<std::vector<uint8_t>> turned = thumbnail ? turnThumbnail(*thumbnail, turnedBy) : std::nullopt;
  edits.thumbnail = turned ? std::move(*turned) : std::vector<uint8_t>{};
  return edits;
}

}  // namespace brevane
