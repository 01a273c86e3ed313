// Portable map reader (.ppm, .pgm, .pbm): P1-P6, comments, maxval up to 65535.
#include <cctype>

#include "base/byte_reader.h"
#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/extra_util.h"

namespace brevane::codecs {
namespace {

constexpr const char* kTruncated = "Portable map data is truncated";

bool isSpace(uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Skips white space and '#' comments (which run to the end of their line).
void skipSpace(ByteReader& r) {
  while (!r.atEnd()) {
    uint8_t c = r.rest()[0];
    if (c == '#') {
      while (!r.atEnd() && r.rest()[0] != '\n' && r.rest()[0] != '\r') r.skip(1);
    } else if (isSpace(c)) {
      r.skip(1);
    } else {
      break;
    }
  }
}

// One decimal number of the header or of a plain (ASCII) raster.
uint32_t readNumber(ByteReader& r, const char* what) {
  skipSpace(r);
  if (r.atEnd()) throw Error(kTruncated);
  if (!std::isdigit(r.rest()[0])) throw Error(format("Portable map has an invalid %s", what));
  uint64_t v = 0;
  while (!r.atEnd() && std::isdigit(r.rest()[0])) {
    v = v * 10 + (r.u8() - '0');
    if (v > 0xFFFFFFFFu) throw Error(format("Portable map has an invalid %s", what));
  }
  return static_cast<uint32_t>(v);
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  ByteReader r(data, kTruncated);
  if (data.size() < 2 || data[0] != 'P' || data[1] < '1' || data[1] > '6')
    throw Error("Not a portable map file (P1-P6)");
  int kind = data[1] - '0';
  r.skip(2);
  uint32_t width = readNumber(r, "width");
  uint32_t height = readNumber(r, "height");
  uint32_t maxValue = 1;
  bool bitmapKind = kind == 1 || kind == 4;
  if (!bitmapKind) {
    maxValue = readNumber(r, "maximum value");
    if (maxValue == 0 || maxValue > 65535) throw Error("Portable map maximum value must be 1 to 65535");
  }
  checkImageSize(width, height);
  bool binary = kind >= 4;
  if (binary) {
    // Exactly one white-space byte separates the header from the raster.
    if (r.atEnd() || !isSpace(r.u8())) throw Error("Portable map header is not valid");
  }
  int w = static_cast<int>(width), h = static_cast<int>(height);
  // A header is a claim: refuse a raster the file cannot hold before allocating for it
  // (binary rows have a fixed size; a plain sample takes at least one character).
  int channels = (kind == 3 || kind == 6) ? 3 : 1;
  bool wide = maxValue > 255;
  uint64_t minBytes =
      kind == 4 ? (uint64_t{width} + 7) / 8 * height : uint64_t{width} * height * channels * (binary && wide ? 2 : 1);
  if (minBytes > r.remaining()) throw Error(kTruncated);

  DecodedImage out;
  Bitmap& bm = out.bitmap;
  if (bitmapKind) {
    // 1 is black: palette entry 0 white, 1 black, so the bits copy as they stand.
    bm.reset(w, h, 1);
    bm.palette() = {PaletteEntry{255, 255, 255, 0}, PaletteEntry{0, 0, 0, 0}};
    size_t rowBytes = (static_cast<size_t>(w) + 7) / 8;
    for (int y = 0; y < h; ++y) {
      uint8_t* dst = bm.scanLine(y);
      if (kind == 4) {
        auto src = r.bytes(rowBytes);
        std::copy(src.begin(), src.end(), dst);
        if (w % 8) dst[rowBytes - 1] &= static_cast<uint8_t>(0xFF00 >> (w % 8));
      } else {
        for (int x = 0; x < w; ++x) {
          // Plain bitmaps need no white space between the digits.
          skipSpace(r);
          uint8_t c = r.u8();
          if (c != '0' && c != '1') throw Error("Portable map has an invalid sample");
          if (c == '1') dst[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
        }
      }
    }
    return out;
  }

  bm.reset(w, h, channels == 3 ? 24 : 8);
  if (channels == 1) bm.setGreyPalette();
  auto sample = [&]() -> uint8_t {
    uint32_t v;
    if (!binary)
      v = readNumber(r, "sample");
    else
      v = wide ? r.u16be() : r.u8();
    return maxValue == 255 && v <= 255 ? static_cast<uint8_t>(v) : scaleTo8(v, maxValue);
  };
  for (int y = 0; y < h; ++y) {
    uint8_t* dst = bm.scanLine(y);
    for (int x = 0; x < w; ++x) {
      if (channels == 1) {
        dst[x] = sample();
      } else {
        uint8_t red = sample(), green = sample(), blue = sample();
        dst[3 * x] = blue;
        dst[3 * x + 1] = green;
        dst[3 * x + 2] = red;
      }
    }
  }
  return out;
}

}  // namespace

const CodecDescriptor kPnmCodec{"Portable map images", &decode};

}  // namespace brevane::codecs
