// Keeping maker notes that Exiv2 carries as opaque data readable after the block is rewritten.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace brevane::exif {

/// Offset (from the TIFF header) and byte count of the maker note (tag 0x927C of the Exif
/// directory) of a TIFF structure, when there is one. Bounds-checked; damaged data gives none.
struct MakerNoteLocation {
  uint32_t offset = 0, size = 0;
};
std::optional<MakerNoteLocation> findMakerNote(std::span<const uint8_t> tiff);

/// Many maker notes are a TIFF directory whose values are addressed from the start of the
/// TIFF header. When such a maker note, copied byte for byte, moved from `oldOffset` to
/// `moved.offset`, its value offsets are shifted by the distance moved. The directory is
/// looked for after a header of up to 32 bytes; it counts as addressed from the TIFF header
/// only when every value stored outside its entries lies within the old maker note. Returns
/// true when offsets were shifted.
bool relocateMakerNote(std::vector<uint8_t>& tiff, const MakerNoteLocation& moved, uint32_t oldOffset);

}  // namespace brevane::exif
