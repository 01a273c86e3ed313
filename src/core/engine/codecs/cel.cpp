// Autodesk Animator reader (.cel, .pic): the 8-bit image with its 256-colour palette.
#include <algorithm>
#include <array>

#include "base/byte_reader.h"
#include "base/error.h"
#include "engine/codecs/codec.h"
#include "engine/codecs/extra_util.h"

namespace brevane::codecs {
namespace {

constexpr const char* kTruncated = "Autodesk image data is truncated";
constexpr uint16_t kMagic = 0x9119;
constexpr size_t kHeaderSize = 32;

// Header: magic, width, height, x and y offset (16 bits each), bits per pixel, compression
// (0), image byte count (32 bits), 16 reserved bytes; then 256 six-bit RGB triples and the
// pixels, row by row from the top.
DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  ByteReader r(data, kTruncated);
  if (data.size() < 2 || (data[0] | (data[1] << 8)) != kMagic) {
    if (data.size() >= 6 && (data[4] == 0x12 || data[4] == 0x11) && data[5] == 0xAF)
      throw Error("Autodesk Animator Pro cels in flic layout are not supported");
    throw Error("Not an Autodesk Animator image");
  }
  if (data.size() < kHeaderSize) throw Error("Autodesk image header is truncated");
  r.skip(2);
  int width = r.u16le(), height = r.u16le();
  r.skip(4);
  int bits = r.u8();
  int compression = r.u8();
  r.seek(kHeaderSize);
  if (bits != 8) throw Error(format("Autodesk images of %d bits per pixel are not supported", bits));
  if (compression != 0) throw Error("Compressed Autodesk images are not supported");
  if (width == 0 || height == 0) throw Error("Autodesk image has an invalid image size");
  checkImageSize(width, height);
  auto palette = r.bytes(768);
  size_t pixels = static_cast<size_t>(width) * height;
  if (r.remaining() < pixels) throw Error(kTruncated);

  // The palette holds VGA values of 0-63; a palette with larger values is taken as 8-bit.
  bool sixBit = std::all_of(palette.begin(), palette.end(), [](uint8_t v) { return v < 64; });
  std::array<PaletteEntry, 256> pal{};
  for (size_t i = 0; i < 256; ++i) {
    auto level = [&](size_t k) { return sixBit ? scaleTo8(palette[3 * i + k], 63) : palette[3 * i + k]; };
    pal[i] = PaletteEntry{level(2), level(1), level(0), 0};
  }
  DecodedImage out;
  Bitmap& bm = out.bitmap;
  bm.reset(width, height, 8);
  setPalette256(bm, pal);
  for (int y = 0; y < height; ++y) {
    auto row = r.bytes(static_cast<size_t>(width));
    std::copy(row.begin(), row.end(), bm.scanLine(y));
  }
  return out;
}

}  // namespace

const CodecDescriptor kCelCodec{"Autodesk images", &decode};

}  // namespace brevane::codecs
