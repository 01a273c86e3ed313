// Image orientation as Exif numbers it, read from an Exif block or from a container's
// rotation and mirror properties.
#pragma once

#include <cstdint>
#include <span>

namespace brevane::codecs {

/// The orientation tag (0x0112) of the main directory of an Exif block: a TIFF structure,
/// optionally preceded by "Exif\0\0". 1 when the tag is absent, out of 1-8 or the block is
/// damaged: a broken block never fails a decode.
int exifOrientation(std::span<const uint8_t> exif);

/// Mirror properties of a container.
enum class Mirror : int8_t { kNone = -1, kTopBottom = 0, kLeftRight = 1 };

/// The Exif orientation of stored pixels that are shown upright by turning them anticlockwise
/// `quarterTurns` times and then mirroring them.
int orientationOf(int quarterTurns, Mirror mirror);

}  // namespace brevane::codecs
