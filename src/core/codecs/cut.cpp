// Dr. Halo reader (.cut): run-length 8-bit rows, coloured by the palette file of the same name
// (.pal) beside it, or by a grey palette when there is none.
#include <algorithm>
#include <array>

#include "base/byte_reader.h"
#include "base/error.h"
#include "base/paths.h"
#include "base/platform.h"
#include "codecs/codec.h"
#include "codecs/extra_util.h"

namespace brevane::codecs {
namespace {

constexpr const char* kTruncated = "Dr. Halo image data is truncated";

// A Dr. Halo palette file: a 40-byte header ("AH", ..., the largest index and the largest
// red, green and blue values), then 16-bit red, green, blue triples in 512-byte blocks that a
// triple never straddles. Returns false when the file is not such a palette.
bool readPalette(std::span<const uint8_t> data, std::array<PaletteEntry, 256>& pal) {
  if (data.size() < 40 || data[0] != 'A' || data[1] != 'H') return false;
  ByteReader r(data);
  r.skip(12);
  int maxIndex = r.u16le();
  int maxRed = r.u16le(), maxGreen = r.u16le(), maxBlue = r.u16le();
  if (maxRed == 0 || maxGreen == 0 || maxBlue == 0) return false;
  r.seek(40);
  int count = std::min(maxIndex + 1, 256);
  for (int i = 0; i < count; ++i) {
    if (r.pos() % 512 > 512 - 6) r.seek(std::min(r.size(), (r.pos() / 512 + 1) * 512));
    if (r.remaining() < 6) break;
    uint16_t red = r.u16le(), green = r.u16le(), blue = r.u16le();
    pal[static_cast<size_t>(i)] =
        PaletteEntry{scaleTo8(blue, static_cast<uint32_t>(maxBlue)), scaleTo8(green, static_cast<uint32_t>(maxGreen)),
                     scaleTo8(red, static_cast<uint32_t>(maxRed)), 0};
  }
  return true;
}

// The palette beside the source: same name, extension .pal (either case).
bool sidePalette(const std::string& path, std::array<PaletteEntry, 256>& pal) {
  if (path.empty()) return false;
  std::string ext = extensionOf(path);
  std::string stem = path.substr(0, path.size() - ext.size());
  for (const char* e : {".pal", ".PAL", ".Pal"}) {
    std::string candidate = stem + e;
    if (!isRegularFile(candidate)) continue;
    try {
      std::vector<uint8_t> bytes = readFile(candidate);
      if (readPalette(bytes, pal)) return true;
    } catch (const Error&) {
      // An unreadable palette leaves the image grey rather than failing it.
    }
  }
  return false;
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext& context) {
  ByteReader r(data, kTruncated);
  if (data.size() < 6) throw Error("Dr. Halo header is truncated");
  int width = r.u16le(), height = r.u16le();
  r.skip(2);
  if (width == 0 || height == 0) throw Error("Dr. Halo file has an invalid image size");
  checkImageSize(width, height);
  // Each row takes at least its 2-byte length.
  if (r.remaining() < size_t{2} * height) throw Error(kTruncated);

  DecodedImage out;
  Bitmap& bm = out.bitmap;
  bm.reset(width, height, 8);
  std::array<PaletteEntry, 256> pal{};
  if (sidePalette(context.path, pal))
    setPalette256(bm, pal);
  else
    bm.setGreyPalette();

  for (int y = 0; y < height; ++y) {
    size_t length = r.u16le();
    ByteReader row(r.bytes(std::min(length, r.remaining())), kTruncated);
    uint8_t* dst = bm.scanLine(y);
    int x = 0;
    while (!row.atEnd()) {
      uint8_t c = row.u8();
      int count = c & 0x7F;
      if (count == 0) break;  // end of the row
      if (c & 0x80) {
        uint8_t v = row.u8();
        int n = std::min(count, width - x);
        std::fill_n(dst + x, n, v);
        x += n;
      } else {
        auto bytes = row.bytes(static_cast<size_t>(count));
        int n = std::min(count, width - x);
        std::copy_n(bytes.begin(), n, dst + x);
        x += n;
      }
    }
  }
  return out;
}

}  // namespace

const CodecDescriptor kCutCodec{"Dr. Halo images", &decode};

}  // namespace brevane::codecs
