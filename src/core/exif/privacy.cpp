// Leaving the private tags out of a carried Exif block.
#include "exif/privacy.h"

#include <algorithm>
#include <array>
#include <string>

namespace brevane::exif {

void stripPrivateTags(Exiv2::ExifData& exif) {
  // Owner and serial numbers belong in the Exif directory, the DNG serial number in the main
  // one; writers put them elsewhere too, so they go from whichever directory holds them.
  static const std::array<uint16_t, 4> kPrivateTags = {0xA430 /* CameraOwnerName */, 0xA431 /* BodySerialNumber */,
                                                       0xA435 /* LensSerialNumber */, 0xC62F /* CameraSerialNumber */};
  for (auto it = exif.begin(); it != exif.end();) {
    const std::string group = it->groupName();
    const uint16_t tag = it->tag();
    bool drop = group == "GPSInfo" || group == "MakerNote" || Exiv2::ExifTags::isMakerGroup(group) ||
                (group == "Image" && tag == 0x8825 /* GPSTag */) ||
                (group == "Photo" && tag == 0x927C /* MakerNote */) ||
                std::find(kPrivateTags.begin(), kPrivateTags.end(), tag) != kPrivateTags.end();
    it = drop ? exif.erase(it) : std::next(it);
  }
}

}  // namespace brevane::exif
