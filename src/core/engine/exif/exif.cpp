// Placeholder Exif carry-over until the Exif work lands: JPEG output passes unchanged.
#include "engine/exif/exif.h"

namespace brevane::exif {

SourceExif readSourceExif(const std::string&) { return {}; }

std::vector<uint8_t> carryOver(std::span<const uint8_t> jpeg, const SourceExif&, const LocalDateTime&) {
  return {jpeg.begin(), jpeg.end()};
}

std::string softwareValue() { return std::string("Brevane v") + BREVANE_VERSION_STRING; }

ExifDate readExifDate(const std::string&) { return {}; }

}  // namespace brevane::exif
