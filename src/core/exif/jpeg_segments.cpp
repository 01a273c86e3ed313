// JPEG header walking and the Exif APP1 splice.
#include "exif/jpeg_segments.h"

#include <cstring>

namespace brevane::exif {

namespace {

constexpr uint8_t kApp0 = 0xE0, kApp1 = 0xE1, kSos = 0xDA, kEoi = 0xD9;
constexpr char kXmpHeader[] = "http://ns.adobe.com/xap/1.0/";  // followed by a zero byte

// Markers that stand alone, without a length field.
bool isStandalone(uint8_t m) {
  return m == 0x01 || m == 0xD8 || (m >= 0xD0 && m <= 0xD7);
}

bool startsWith(std::span<const uint8_t> data, const void* prefix, size_t n) {
  return data.size() >= n && std::memcmp(data.data(), prefix, n) == 0;
}

}  // namespace

bool startsLikeJpeg(std::span<const uint8_t> data) {
  return data.size() >= 2 && data[0] == 0xFF && data[1] == 0xD8;
}

JpegHeader walkJpegHeader(std::span<const uint8_t> data) {
  JpegHeader h;
  size_t pos = 2;
  const size_t size = data.size();
  for (;;) {
    if (pos >= size) break;
    // Stray bytes between segments are skipped as libjpeg does (they stay with the segment
    // that follows), then fill bytes 0xFF before the marker.
    size_t q = pos;
    while (q < size && data[q] != 0xFF) ++q;
    while (q < size && data[q] == 0xFF) ++q;
    if (q >= size) break;
    uint8_t m = data[q];
    if (m == kSos || m == kEoi) {
      h.reachedScan = true;
      break;
    }
    if (m == 0x00) break;
    if (isStandalone(m)) {
      h.segments.push_back({m, pos, q + 1, {}});
      pos = q + 1;
      continue;
    }
    if (size - q < 3) break;
    size_t length = (static_cast<size_t>(data[q + 1]) << 8) | data[q + 2];
    if (length < 2 || length > size - q - 1) break;  // a truncated segment ends the header
    h.segments.push_back({m, pos, q + 1 + length, data.subspan(q + 3, length - 2)});
    pos = q + 1 + length;
  }
  h.restOffset = pos < size ? pos : size;
  return h;
}

bool isExifSegment(const JpegSegment& s) {
  if (s.marker != kApp1 || s.payload.size() < 10) return false;
  if (!startsWith(s.payload, "Exif\0\0", 6)) return false;
  auto tiff = s.payload.subspan(6);
  return startsWith(tiff, "II*\0", 4) || startsWith(tiff, "MM\0*", 4);
}

bool isXmpSegment(const JpegSegment& s) {
  return s.marker == kApp1 && startsWith(s.payload, kXmpHeader, sizeof kXmpHeader);
}

std::optional<std::span<const uint8_t>> findExifTiff(const JpegHeader& header) {
  for (const JpegSegment& s : header.segments)
    if (isExifSegment(s)) return s.payload.subspan(6);
  return std::nullopt;
}

std::optional<FrameSize> frameSize(const JpegHeader& header) {
  for (const JpegSegment& s : header.segments) {
    // SOF0-SOF15, except DHT (C4), JPG (C8) and DAC (CC), which share the range.
    if (s.marker < 0xC0 || s.marker > 0xCF || s.marker == 0xC4 || s.marker == 0xC8 || s.marker == 0xCC) continue;
    if (s.payload.size() < 5) return std::nullopt;
    FrameSize f;
    f.height = (s.payload[1] << 8) | s.payload[2];
    f.width = (s.payload[3] << 8) | s.payload[4];
    return f;
  }
  return std::nullopt;
}

std::vector<uint8_t> spliceExif(std::span<const uint8_t> jpeg, const JpegHeader& header,
                                std::span<const uint8_t> tiff) {
  std::vector<uint8_t> out;
  out.reserve(jpeg.size() + tiff.size() + 10);
  auto append = [&](std::span<const uint8_t> bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); };
  out.push_back(0xFF);
  out.push_back(0xD8);
  for (const JpegSegment& s : header.segments)
    if (s.marker == kApp0) append(jpeg.subspan(s.begin, s.end - s.begin));
  if (!tiff.empty()) {
    size_t length = tiff.size() + 8;  // the length field, "Exif\0\0" and the TIFF structure
    const uint8_t head[] = {
        0xFF, kApp1, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length & 0xFF), 'E', 'x', 'i', 'f', 0, 0};
    append(head);
    append(tiff);
  }
  bool exifDropped = false, xmpDropped = false;
  for (const JpegSegment& s : header.segments) {
    if (s.marker == kApp0) continue;
    if (!exifDropped && isExifSegment(s)) {
      exifDropped = true;
      continue;
    }
    if (!xmpDropped && isXmpSegment(s)) {
      xmpDropped = true;
      continue;
    }
    append(jpeg.subspan(s.begin, s.end - s.begin));
  }
  append(jpeg.subspan(header.restOffset));
  return out;
}

}  // namespace brevane::exif
