// Pixel sizes from image headers: the JPEG frame header, PNG's IHDR, GIF's logical screen and
// the BMP information header, each read through the bounds-checked byte reader.
#include "cli/image_header.h"

#include <fstream>
#include <vector>

#include "base/byte_reader.h"
#include "base/error.h"
#include "base/paths.h"
#include "codecs/codec.h"
#include "codecs/registry.h"

namespace brevane::cli {
namespace {

// Enough for the frame header after the usual Exif and ICC segments; a file whose frame
// header lies further is decoded instead.
constexpr size_t kHeadBytes = 256 * 1024;

std::optional<PixelSize> sized(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
  return PixelSize{static_cast<int>(width), static_cast<int>(height)};
}

std::optional<PixelSize> jpegSize(ByteReader& r) {
  if (r.u8() != 0xFF || r.u8() != 0xD8) return std::nullopt;
  for (;;) {
    if (r.u8() != 0xFF) return std::nullopt;
    uint8_t marker = r.u8();
    while (marker == 0xFF) marker = r.u8();                              // fill bytes
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
    if (marker == 0xD9 || marker == 0xDA) return std::nullopt;           // no frame before the scan
    uint16_t length = r.u16be();
    if (length < 2) return std::nullopt;
    bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      r.u8();  // sample precision
      uint16_t height = r.u16be();
      uint16_t width = r.u16be();
      return sized(width, height);  // a height of 0 (set later by a DNL marker) gives none
    }
    r.skip(length - 2u);
  }
}

std::optional<PixelSize> pngSize(ByteReader& r) {
  static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  for (uint8_t b : kSignature)
    if (r.u8() != b) return std::nullopt;
  r.u32be();  // chunk length
  if (r.u8() != 'I' || r.u8() != 'H' || r.u8() != 'D' || r.u8() != 'R') return std::nullopt;
  uint32_t width = r.u32be();
  uint32_t height = r.u32be();
  return sized(width, height);
}

std::optional<PixelSize> gifSize(ByteReader& r) {
  if (r.u8() != 'G' || r.u8() != 'I' || r.u8() != 'F') return std::nullopt;
  r.skip(3);  // version
  uint16_t width = r.u16le();
  uint16_t height = r.u16le();
  return sized(width, height);
}

std::optional<PixelSize> bmpSize(ByteReader& r) {
  if (r.u8() != 'B' || r.u8() != 'M') return std::nullopt;
  r.skip(12);
  uint32_t headerSize = r.u32le();
  if (headerSize == 12) {
    uint16_t width = r.u16le();
    int16_t height = r.s16le();
    return sized(width, height < 0 ? -static_cast<int64_t>(height) : height);
  }
  if (headerSize < 16 || headerSize > 4096) return std::nullopt;
  int32_t width = static_cast<int32_t>(r.u32le());
  int32_t height = static_cast<int32_t>(r.u32le());
  if (height == INT32_MIN) return std::nullopt;
  return sized(width, height < 0 ? -static_cast<int64_t>(height) : height);
}

}  // namespace

std::optional<PixelSize> headerPixelSize(const std::string& path, std::span<const uint8_t> head) {
  std::string ext = extensionOf(path);
  const codecs::CodecDescriptor* codec = ext.empty() ? nullptr : codecs::findDecoder(ext.substr(1));
  if (!codec) return std::nullopt;
  ByteReader r(head);
  try {
    if (codec == &codecs::kJpegCodec) return jpegSize(r);
    if (codec == &codecs::kPngCodec) return pngSize(r);
    if (codec == &codecs::kGifCodec) return gifSize(r);
    if (codec == &codecs::kBmpCodec) return bmpSize(r);
  } catch (const Error&) {
    // Truncated: the decoder will say what is wrong.
  }
  return std::nullopt;
}

std::optional<PixelSize> headerPixelSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> head(kHeadBytes);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  return headerPixelSize(path, head);
}

}  // namespace brevane::cli
