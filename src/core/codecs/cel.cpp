// Autodesk Animator reader (.cel, .pic): the 8-bit image with its 256-colour palette, from the
// original Animator layout or from the flic layout of Animator Pro (its first frame).
#include <algorithm>
#include <array>

#include "base/byte_reader.h"
#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/extra_util.h"

namespace brevane::codecs {
namespace {

constexpr const char* kTruncated = "Autodesk image data is truncated";
constexpr uint16_t kMagic = 0x9119;
constexpr size_t kHeaderSize = 32;

// The flic layout: a 128-byte header (size, magic 0xAF11 or 0xAF12, frames, width, height,
// depth ...; the first frame's offset at 80 for 0xAF12), then frame chunks (type 0xF1FA) of
// sub-chunks: 256-level or 64-level colour packets, black, byte-run rows or a plain copy.
DecodedImage decodeFlic(std::span<const uint8_t> data) {
  ByteReader r(data, kTruncated);
  if (data.size() < 128) throw Error("Autodesk image header is truncated");
  r.seek(4);
  uint16_t magic = r.u16le();
  r.skip(2);
  int width = r.u16le(), height = r.u16le(), depth = r.u16le();
  if (depth != 8 && depth != 0) throw Error(format("Autodesk images of %d bits per pixel are not supported", depth));
  if (width == 0 || height == 0) throw Error("Autodesk image has an invalid image size");
  checkImageSize(width, height);
  size_t offset = 128;
  if (magic == 0xAF12) {
    r.seek(80);
    uint32_t first = r.u32le();
    if (first != 0) offset = first;
  }
  // Skip prefix chunks to the first frame.
  std::span<const uint8_t> frame;
  for (;;) {
    r.seek(offset);
    uint32_t size = r.u32le();
    uint16_t type = r.u16le();
    if (size < 6) throw Error(kTruncated);
    if (type == 0xF1FA) {
      // Writers round a frame's size up to even, past the last byte of the file.
      frame = data.subspan(offset, std::min<size_t>(size, data.size() - offset));
      break;
    }
    if (size > data.size() - offset) throw Error(kTruncated);
    offset += size;
  }

  DecodedImage out;
  Bitmap& bm = out.bitmap;
  bm.reset(width, height, 8);
  std::array<PaletteEntry, 256> pal{};
  for (size_t i = 0; i < 256; ++i) pal[i] = PaletteEntry{uint8_t(i), uint8_t(i), uint8_t(i), 0};
  ByteReader f(frame, kTruncated);
  f.seek(6);
  int chunks = f.u16le();
  f.seek(16);
  for (int c = 0; c < chunks && f.remaining() >= 6; ++c) {
    size_t start = f.pos();
    uint32_t size = f.u32le();
    uint16_t type = f.u16le();
    if (size < 6) throw Error(kTruncated);
    size = static_cast<uint32_t>(std::min<size_t>(size, frame.size() - start));
    if (size < 6) break;
    ByteReader k(frame.subspan(start + 6, size - 6), kTruncated);
    switch (type) {
      case 4:     // 256-level colours
      case 11: {  // 64-level colours
        int packets = k.u16le();
        size_t index = 0;
        for (int p = 0; p < packets; ++p) {
          index += k.u8();
          size_t count = k.u8();
          if (count == 0) count = 256;
          for (size_t i = 0; i < count; ++i, ++index) {
            auto rgb = k.bytes(3);
            if (index >= 256) continue;
            auto level = [&](uint8_t v) { return type == 11 ? scaleTo8(v & 63, 63) : v; };
            pal[index] = PaletteEntry{level(rgb[2]), level(rgb[1]), level(rgb[0]), 0};
          }
        }
        break;
      }
      case 13: bm.fill(0); break;  // black
      case 15:                     // byte-run rows: a packet count byte (unreliable), then packets
        for (int y = 0; y < height; ++y) {
          uint8_t* dst = bm.scanLine(y);
          k.u8();
          int x = 0;
          while (x < width) {
            auto n = static_cast<int8_t>(k.u8());
            if (n >= 0) {
              uint8_t v = k.u8();
              int m = std::min<int>(n, width - x);
              std::fill_n(dst + x, m, v);
              x += m;
            } else {
              auto bytes = k.bytes(static_cast<size_t>(-n));
              int m = std::min<int>(-n, width - x);
              std::copy_n(bytes.begin(), m, dst + x);
              x += m;
            }
          }
        }
        break;
      case 16:  // plain copy
        for (int y = 0; y < height; ++y) {
          auto row = k.bytes(static_cast<size_t>(width));
          std::copy(row.begin(), row.end(), bm.scanLine(y));
        }
        break;
      default: break;  // stamps, deltas against an earlier frame: nothing for a first image
    }
    f.seek(start + size);
  }
  setPalette256(bm, pal);
  return out;
}

// Header: magic, width, height, x and y offset (16 bits each), bits per pixel, compression
// (0), image byte count (32 bits), 16 reserved bytes; then 256 six-bit RGB triples and the
// pixels, row by row from the top.
DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  ByteReader r(data, kTruncated);
  if (data.size() < 2 || (data[0] | (data[1] << 8)) != kMagic) {
    if (data.size() >= 6 && (data[4] == 0x12 || data[4] == 0x11) && data[5] == 0xAF) return decodeFlic(data);
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
