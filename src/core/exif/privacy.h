// Leaving the private tags out of a carried Exif block: where the picture was taken, who owns
// the camera, which camera and lens they are, and the maker's own notes.
#pragma once

#include <exiv2/exif.hpp>

namespace brevane::exif {

/// Erases the GPS directory (and its pointer), the camera owner's name, the body and lens
/// serial numbers and the maker note with every tag Exiv2 read out of it. Every other tag
/// stays. Included by exif.cpp only: the Exiv2 types stay inside this layer.
void stripPrivateTags(Exiv2::ExifData& exif);

}  // namespace brevane::exif
