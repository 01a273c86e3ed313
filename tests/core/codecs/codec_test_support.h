// Helpers of the decoder tests: decoding bytes by extension, building small PNG files by hand.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/bitmap.h"
#include "base/bytes.h"
#include "codecs/registry.h"

namespace brevane::codecs::test {

/// Decodes bytes with the decoder of an extension (without dot).
inline DecodedImage decodeAs(const std::string& extension, const std::vector<uint8_t>& bytes) {
  return decodeBytes("file." + extension, bytes);
}

/// The 32-bit pixel (b, g, r, a) at (x, y) of a 32-bit bitmap.
struct Bgra {
  uint8_t b, g, r, a;
  bool operator==(const Bgra&) const = default;
};
inline Bgra bgraAt(const Bitmap& bmp, int x, int y) {
  const uint8_t* p = bmp.scanLine(y) + 4 * x;
  return {p[0], p[1], p[2], p[3]};
}

inline void appendChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  appendBe32(png, static_cast<uint32_t>(data.size()));
  size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  uLong crc = crc32(0, png.data() + start, static_cast<uInt>(png.size() - start));
  appendBe32(png, static_cast<uint32_t>(crc));
}

/// A PNG of one colour type and depth; `rows` holds each row's sample bytes without the filter
/// byte. `plte` and `trns` are written when not empty.
inline std::vector<uint8_t> makePng(int width, int height, int colorType, int bitDepth,
                                    const std::vector<std::vector<uint8_t>>& rows,
                                    const std::vector<uint8_t>& plte = {}, const std::vector<uint8_t>& trns = {}) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> ihdr;
  appendBe32(ihdr, static_cast<uint32_t>(width));
  appendBe32(ihdr, static_cast<uint32_t>(height));
  ihdr.insert(ihdr.end(), {static_cast<uint8_t>(bitDepth), static_cast<uint8_t>(colorType), 0, 0, 0});
  appendChunk(png, "IHDR", ihdr);
  if (!plte.empty()) appendChunk(png, "PLTE", plte);
  if (!trns.empty()) appendChunk(png, "tRNS", trns);
  std::vector<uint8_t> raw;
  for (const auto& row : rows) {
    raw.push_back(0);
    raw.insert(raw.end(), row.begin(), row.end());
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(size);
  compress(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
  packed.resize(size);
  appendChunk(png, "IDAT", packed);
  appendChunk(png, "IEND", {});
  return png;
}

}  // namespace brevane::codecs::test
