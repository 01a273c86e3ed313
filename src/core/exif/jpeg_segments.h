// JPEG marker segments before the image data: walking them, finding the Exif block and the
// frame size, and splicing a new Exif APP1 into a JPEG stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace brevane::exif {

/// One marker segment of the header part of a JPEG stream.
struct JpegSegment {
  uint8_t marker = 0;                // the byte after 0xFF (0xE0 for APP0, 0xE1 for APP1, ...)
  size_t begin = 0;                  // offset of its first byte (stray and fill bytes before the marker included)
  size_t end = 0;                    // offset just past its last byte
  std::span<const uint8_t> payload;  // the bytes after the length field
};

/// The segments from after SOI up to the first SOS (or EOI). `restOffset` is where the walk
/// stopped: the SOS marker, or the first byte that does not form a complete segment (a
/// truncated or damaged header); everything from there on is image data to the walk.
struct JpegHeader {
  std::vector<JpegSegment> segments;
  size_t restOffset = 0;
  bool reachedScan = false;  // the walk ended at an SOS or EOI marker
};

/// True when the data starts with the start-of-image marker FF D8.
bool startsLikeJpeg(std::span<const uint8_t> data);

/// Walks the header segments of a stream that starts with FF D8 (checked by the caller).
/// Never reads out of bounds; stray bytes before a marker are skipped, a truncated segment
/// ends the walk.
JpegHeader walkJpegHeader(std::span<const uint8_t> data);

/// True for an APP1 segment whose data starts with "Exif\0\0" and a TIFF header
/// ("II*\0" or "MM\0*").
bool isExifSegment(const JpegSegment& segment);
/// True for an APP1 segment holding an XMP packet ("http://ns.adobe.com/xap/1.0/\0").
bool isXmpSegment(const JpegSegment& segment);

/// The TIFF structure of the first Exif APP1 of the header, or nothing when there is none.
std::optional<std::span<const uint8_t>> findExifTiff(const JpegHeader& header);

/// Width and height of the frame header (the first SOF segment), when there is one.
struct FrameSize {
  int width = 0, height = 0;
};
std::optional<FrameSize> frameSize(const JpegHeader& header);

/// Largest TIFF structure that fits one APP1 segment after its "Exif\0\0" header.
constexpr size_t kMaxExifTiffSize = 65535 - 2 - 6;

/// The stream rebuilt as SOI, every APP0 in order, one APP1 with "Exif\0\0" + `tiff` (none
/// when `tiff` is empty), then the rest of the stream in order without the APP0 segments
/// already written, the first Exif APP1 and the first XMP APP1. `tiff` must not exceed
/// kMaxExifTiffSize; the stream must start with FF D8.
std::vector<uint8_t> spliceExif(std::span<const uint8_t> jpeg, const JpegHeader& header, std::span<const uint8_t> tiff);

}  // namespace brevane::exif
