// ZSoft Paintbrush reader (.pcx, .pcc, .scr): 1/2/4/8 bits with 1-4 planes, 24-bit as three
// planes, EGA and VGA palettes, run-length or plain data.
#include <algorithm>
#include <array>
#include <vector>

#include "base/byte_reader.h"
#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/extra_util.h"

namespace brevane::codecs {
namespace {

constexpr size_t kHeaderSize = 128;

// The standard 16-colour EGA palette, for files whose header carries none (version 3).
constexpr uint8_t kEgaDefault[16][3] = {{0, 0, 0},     {0, 0, 170},    {0, 170, 0},    {0, 170, 170},
                                        {170, 0, 0},   {170, 0, 170},  {170, 85, 0},   {170, 170, 170},
                                        {85, 85, 85},  {85, 85, 255},  {85, 255, 85},  {85, 255, 255},
                                        {255, 85, 85}, {255, 85, 255}, {255, 255, 85}, {255, 255, 255}};

struct Header {
  int version = 0, encoding = 0, bitsPerPixel = 0, planes = 0;
  int width = 0, height = 0;
  size_t bytesPerLine = 0;
  uint8_t egaPalette[48] = {};
};

Header readHeader(std::span<const uint8_t> data) {
  ByteReader r(data, "PCX header is truncated");
  Header h;
  if (r.u8() != 0x0A) throw Error("Not a PCX file");
  h.version = r.u8();
  h.encoding = r.u8();
  h.bitsPerPixel = r.u8();
  int xmin = r.u16le(), ymin = r.u16le(), xmax = r.u16le(), ymax = r.u16le();
  r.skip(4);  // resolution
  auto pal = r.bytes(48);
  std::copy(pal.begin(), pal.end(), h.egaPalette);
  r.skip(1);
  h.planes = r.u8();
  h.bytesPerLine = r.u16le();
  r.skip(kHeaderSize - r.pos());
  if (h.encoding > 1) throw Error("PCX file has an unknown encoding");
  if (xmax < xmin || ymax < ymin) throw Error("PCX file has an invalid image size");
  h.width = xmax - xmin + 1;
  h.height = ymax - ymin + 1;
  checkImageSize(h.width, h.height);
  bool known =
      (h.planes == 1 && (h.bitsPerPixel == 1 || h.bitsPerPixel == 2 || h.bitsPerPixel == 4 || h.bitsPerPixel == 8)) ||
      (h.bitsPerPixel == 1 && h.planes >= 2 && h.planes <= 4) ||
      (h.bitsPerPixel == 8 && (h.planes == 3 || h.planes == 4));
  if (!known) throw Error(format("PCX files of %d bits with %d planes are not supported", h.bitsPerPixel, h.planes));
  if (h.bytesPerLine < (static_cast<size_t>(h.width) * h.bitsPerPixel + 7) / 8)
    throw Error("PCX file has too few bytes per line for its width");
  return h;
}

// The whole raster (every plane of every line), run-length decoded. Runs continue across line
// ends, as some writers emit them; a run past the end of the raster is clipped.
std::vector<uint8_t> readRaster(std::span<const uint8_t> data, const Header& h) {
  size_t lineBytes = h.bytesPerLine * static_cast<size_t>(h.planes);
  size_t total = lineBytes * static_cast<size_t>(h.height);
  std::span<const uint8_t> in = data.subspan(kHeaderSize);
  if (h.encoding == 0) {
    if (in.size() < total) throw Error("PCX data is truncated");
    return std::vector<uint8_t>(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(total));
  }
  // Every input byte yields at most 63 output bytes: refuse a raster the file cannot hold.
  if (total / 63 > in.size()) throw Error("PCX data is truncated");
  std::vector<uint8_t> out(total);
  size_t i = 0, o = 0;
  while (o < total) {
    if (i >= in.size()) throw Error("PCX data is truncated");
    uint8_t c = in[i++];
    if ((c & 0xC0) == 0xC0) {
      if (i >= in.size()) throw Error("PCX data is truncated");
      size_t count = std::min<size_t>(c & 0x3F, total - o);
      std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(o), count, in[i++]);
      o += count;
    } else {
      out[o++] = c;
    }
  }
  return out;
}

std::array<PaletteEntry, 16> egaPalette(const Header& h) {
  std::array<PaletteEntry, 16> pal{};
  bool empty = std::all_of(std::begin(h.egaPalette), std::end(h.egaPalette), [](uint8_t v) { return v == 0; });
  for (int i = 0; i < 16; ++i) {
    const uint8_t* c = (h.version == 3 || empty) ? kEgaDefault[i] : h.egaPalette + 3 * i;
    pal[static_cast<size_t>(i)] = PaletteEntry{c[2], c[1], c[0], 0};
  }
  return pal;
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  Header h = readHeader(data);
  std::vector<uint8_t> raster = readRaster(data, h);
  size_t lineBytes = h.bytesPerLine * static_cast<size_t>(h.planes);
  DecodedImage out;
  Bitmap& bm = out.bitmap;
  const int w = h.width;

  if (h.bitsPerPixel == 8 && h.planes >= 3) {
    bool alpha = h.planes == 4;
    bm.reset(w, h.height, alpha ? 32 : 24);
    if (alpha) bm.setAlphaMode(AlphaMode::kStraight);
    int bpp = alpha ? 4 : 3;
    for (int y = 0; y < h.height; ++y) {
      const uint8_t* line = raster.data() + y * lineBytes;
      uint8_t* dst = bm.scanLine(y);
      for (int x = 0; x < w; ++x) {
        dst[bpp * x + 2] = line[x];
        dst[bpp * x + 1] = line[h.bytesPerLine + x];
        dst[bpp * x + 0] = line[2 * h.bytesPerLine + x];
        if (alpha) dst[bpp * x + 3] = line[3 * h.bytesPerLine + x];
      }
    }
    return out;
  }

  if (h.bitsPerPixel == 8) {
    bm.reset(w, h.height, 8);
    // A VGA palette: 0x0C and 768 bytes at the very end of the file.
    if (data.size() >= kHeaderSize + 769 && data[data.size() - 769] == 0x0C) {
      std::array<PaletteEntry, 256> pal{};
      const uint8_t* p = data.data() + data.size() - 768;
      for (int i = 0; i < 256; ++i) pal[static_cast<size_t>(i)] = PaletteEntry{p[3 * i + 2], p[3 * i + 1], p[3 * i], 0};
      setPalette256(bm, pal);
    } else {
      bm.setGreyPalette();
    }
    for (int y = 0; y < h.height; ++y) std::copy_n(raster.data() + y * lineBytes, w, bm.scanLine(y));
    return out;
  }

  if (h.bitsPerPixel == 1 && h.planes == 1) {
    // Two colours from the header palette; when its first two entries are alike (often all
    // zero) the file means black and white.
    bm.reset(w, h.height, 1);
    const uint8_t* e = h.egaPalette;
    if (std::equal(e, e + 3, e + 3))
      bm.palette() = {PaletteEntry{0, 0, 0, 0}, PaletteEntry{255, 255, 255, 0}};
    else
      bm.palette() = {PaletteEntry{e[2], e[1], e[0], 0}, PaletteEntry{e[5], e[4], e[3], 0}};
    size_t rowBytes = (static_cast<size_t>(w) + 7) / 8;
    for (int y = 0; y < h.height; ++y) {
      uint8_t* dst = bm.scanLine(y);
      std::copy_n(raster.data() + y * lineBytes, rowBytes, dst);
      if (w % 8) dst[rowBytes - 1] &= static_cast<uint8_t>(0xFF00 >> (w % 8));
    }
    return out;
  }

  // Paletted planar or packed data of up to 16 colours.
  bm.reset(w, h.height, 8);
  std::array<PaletteEntry, 16> ega = egaPalette(h);
  setPalette256(bm, ega);
  const int bits = h.bitsPerPixel;
  const int perByte = 8 / bits;
  const unsigned mask = (1u << bits) - 1;
  for (int y = 0; y < h.height; ++y) {
    const uint8_t* line = raster.data() + y * lineBytes;
    uint8_t* dst = bm.scanLine(y);
    for (int x = 0; x < w; ++x) {
      unsigned index = 0;
      int shift = 8 - bits * (x % perByte + 1);
      for (int p = 0; p < h.planes; ++p) {
        unsigned v = (line[p * h.bytesPerLine + x / perByte] >> shift) & mask;
        index |= v << (p * bits);
      }
      dst[x] = static_cast<uint8_t>(index);
    }
  }
  return out;
}

}  // namespace

const CodecDescriptor kPcxCodec{"ZSoft Paintbrush images", &decode};

}  // namespace brevane::codecs
