// Windows icon reader: the first image (DIB or PNG entry) drawn over black into 32 bits.
#include <cstring>

#include "base/byte_reader.h"
#include "base/error.h"
#include "codecs/bmp.h"
#include "codecs/codec.h"

namespace brevane::codecs {
namespace {

constexpr const char* kInvalid = "Icon image is not valid";

[[noreturn]] void invalid(const char* detail) { throw Error(std::string(kInvalid) + " (" + detail + ")"); }

// Colour composited over black, alpha byte 255.
void overBlack(uint8_t* p, unsigned a) {
  for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>((p[c] * a + 127) / 255);
  p[3] = 255;
}

// A PNG entry: the PNG reader's result flattened over black.
Bitmap pngEntry(std::span<const uint8_t> bytes) {
  DecodedImage png = kPngCodec.decode(bytes, DecodeContext{});
  Bitmap bmp = std::move(png.bitmap);
  bool straight = png.pngColorType == 6;
  bool keyed = bmp.transparent();
  Bgr key = keyed ? bmp.transparentColor() : Bgr{};
  Bitmap original;
  if (keyed) original = bmp;
  bmp.convertTo32();
  for (int y = 0; y < bmp.height(); ++y) {
    uint8_t* p = bmp.scanLine(y);
    for (int x = 0; x < bmp.width(); ++x, p += 4) {
      if (straight)
        overBlack(p, p[3]);
      else if (keyed && original.pixel(x, y) == key)
        p[0] = p[1] = p[2] = 0, p[3] = 255;
      else
        p[3] = 255;
    }
  }
  return bmp;
}

// A DIB entry: its header states twice the height (colour rows, then the AND mask). Over
// black the mask changes nothing: a masked pixel shows (black AND 1) XOR colour = colour.
// A 32-bit image whose fourth bytes are not all zero is blended by them instead.
Bitmap dibEntry(std::span<const uint8_t> bytes) {
  if (bytes.size() < 16) invalid("truncated image");
  ByteReader r(bytes, "Icon image is not valid (truncated image)");
  uint32_t headerSize = r.u32le();
  if (headerSize < 12) invalid("bad image header");
  std::vector<uint8_t> dib(bytes.begin(), bytes.end());
  if (headerSize == 12) {
    uint16_t h = static_cast<uint16_t>(dib[6] | (dib[7] << 8));
    h = static_cast<uint16_t>(h / 2);
    dib[6] = static_cast<uint8_t>(h), dib[7] = static_cast<uint8_t>(h >> 8);
  } else {
    r.skip(4);
    int32_t h = r.s32le();
    if (h < 0) invalid("bad image height");
    h /= 2;
    for (int i = 0; i < 4; ++i) dib[8 + i] = static_cast<uint8_t>(static_cast<uint32_t>(h) >> (8 * i));
  }
  Bitmap bmp = readBmp(dib);
  bool useAlpha = false;
  if (bmp.bitsPerPixel() == 32) {
    for (int y = 0; y < bmp.height() && !useAlpha; ++y) {
      const uint8_t* p = bmp.scanLine(y);
      for (int x = 0; x < bmp.width(); ++x)
        if (p[4 * x + 3]) {
          useAlpha = true;
          break;
        }
    }
  }
  bmp.convertTo32();
  for (int y = 0; y < bmp.height(); ++y) {
    uint8_t* p = bmp.scanLine(y);
    for (int x = 0; x < bmp.width(); ++x, p += 4) {
      if (useAlpha)
        overBlack(p, p[3]);
      else
        p[3] = 255;
    }
  }
  return bmp;
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  ByteReader r(data, "Icon image is not valid (truncated)");
  if (r.u16le() != 0) invalid("bad header");
  uint16_t type = r.u16le();
  if (type != 1 && type != 2) invalid("bad header");
  if (r.u16le() == 0) invalid("no images");
  r.skip(8);  // width, height, colours, reserved, planes, bit count of the first entry
  uint32_t size = r.u32le();
  uint32_t offset = r.u32le();
  if (offset >= data.size()) invalid("image offset");
  size_t available = data.size() - offset;
  if (size > available) size = static_cast<uint32_t>(available);  // a short last entry
  std::span<const uint8_t> entry = data.subspan(offset, size);

  static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  DecodedImage image;
  image.kind = DecodedKind::kIcon;
  if (entry.size() >= 8 && std::memcmp(entry.data(), kPngSignature, 8) == 0)
    image.bitmap = pngEntry(entry);
  else
    image.bitmap = dibEntry(entry);
  return image;
}

}  // namespace

const CodecDescriptor kIcoCodec{"Windows icons", &decode};

}  // namespace brevane::codecs
