// Windows bitmap reader (.bmp, .rle, .dib) and writer.
#include "codecs/bmp.h"

#include <algorithm>
#include <functional>

#include "base/byte_reader.h"
#include "base/bytes.h"
#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/encoders.h"

namespace brevane::codecs {
namespace {

constexpr const char* kInvalid = "Bitmap image is not valid";

enum : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kJpegData = 4, kPngData = 5, kAlphaBitfields = 6 };

struct Header {
  uint32_t headerSize = 0;
  int32_t width = 0, height = 0;
  int bpp = 0;
  uint32_t compression = kRgb;
  uint32_t colorsUsed = 0;
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  bool core = false;                 // OS/2 1.x header: 3-byte palette entries
  bool hasMasks = false;
};

// One channel of a bit-field pixel scaled to 0-255.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  explicit Channel(uint32_t m) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    while (bits + shift < 32 && ((m >> (shift + bits)) & 1)) ++bits;
  }
  uint8_t get(uint32_t v) const {
    if (!mask) return 0;
    uint32_t c = (v & mask) >> shift;
    uint32_t max = bits >= 32 ? 0xFFFFFFFFu : ((1u << bits) - 1);
    return static_cast<uint8_t>((static_cast<uint64_t>(c) * 255 + max / 2) / max);
  }
};

[[noreturn]] void invalid(const char* detail = nullptr) {
  throw Error(detail ? std::string(kInvalid) + " (" + detail + ")" : std::string(kInvalid));
}

Header readHeader(ByteReader& r) {
  Header h;
  h.headerSize = r.u32le();
  if (h.headerSize == 12) {
    h.core = true;
    h.width = r.u16le();
    h.height = static_cast<int16_t>(r.u16le());
    r.u16le();  // planes
    h.bpp = r.u16le();
    return h;
  }
  if (h.headerSize < 16 || h.headerSize > 4096) invalid("header size");
  size_t start = r.pos() - 4;
  h.width = r.s32le();
  h.height = r.s32le();
  r.u16le();  // planes: ignored, as common readers do
  h.bpp = r.u16le();
  if (h.headerSize >= 20) h.compression = r.u32le();
  if (h.headerSize >= 24) r.u32le();  // image size
  if (h.headerSize >= 32) {
    r.u32le();
    r.u32le();
  }
  if (h.headerSize >= 36) h.colorsUsed = r.u32le();
  if (h.headerSize >= 40) r.u32le();  // colours important
  // OS/2 2.x headers (16-64 bytes other than 40/52/56) use compression 3 for Huffman and 4 for RLE24.
  bool os2 = h.headerSize != 40 && h.headerSize != 52 && h.headerSize != 56 && h.headerSize < 108;
  if (os2 && (h.compression == 3 || h.compression == 4)) throw Error("OS/2 Huffman and RLE24 bitmaps are not supported");
  if (h.headerSize >= 52) {
    for (int i = 0; i < (h.headerSize >= 56 ? 4 : 3); ++i) h.masks[i] = r.u32le();
    h.hasMasks = true;
  }
  r.seek(start + h.headerSize);
  if ((h.compression == kBitfields || h.compression == kAlphaBitfields) && !h.hasMasks) {
    int n = h.compression == kAlphaBitfields ? 4 : 3;
    for (int i = 0; i < n; ++i) h.masks[i] = r.u32le();
    h.hasMasks = true;
  }
  return h;
}

void decodeRle(std::span<const uint8_t> data, Bitmap& out, bool four, bool topDown) {
  ByteReader r(data);
  int w = out.width(), h = out.height();
  int x = 0, row = 0;  // row counts from the file's first row (the bottom unless top-down)
  auto put = [&](unsigned index) {
    if (x < w && row < h) {
      uint8_t* line = out.scanLine(topDown ? row : h - 1 - row);
      if (four)
        line[x >> 1] |= static_cast<uint8_t>((index & 15) << ((x & 1) ? 0 : 4));
      else
        line[x] = static_cast<uint8_t>(index);
    }
    ++x;  // runs past the row end are dropped, not wrapped
  };
  while (!r.atEnd() && row < h) {
    uint8_t count = r.u8();
    uint8_t value = r.u8();
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(four ? ((i & 1) ? value & 15 : value >> 4) : value);
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++row;
        break;
      case 1:  // end of bitmap
        return;
      case 2: {  // delta
        x += r.u8();
        row += r.u8();
        break;
      }
      default: {  // absolute run of `value` pixels, padded to 16 bits
        int n = value;
        int bytes = four ? (n + 1) / 2 : n;
        auto run = r.bytes(static_cast<size_t>(bytes));
        for (int i = 0; i < n; ++i) put(four ? ((i & 1) ? run[i / 2] & 15 : run[i / 2] >> 4) : run[i]);
        if (bytes & 1) r.skip(1);
        break;
      }
    }
  }
}

// Depth and compression must go together; JPEG and PNG payloads are not read.
void checkDepthAndCompression(const Header& h) {
  switch (h.bpp) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    default: invalid("bit count");
  }
  switch (h.compression) {
    case kRgb: break;
    case kRle8:
      if (h.bpp != 8) invalid("compression");
      break;
    case kRle4:
      if (h.bpp != 4) invalid("compression");
      break;
    case kBitfields:
    case kAlphaBitfields:
      if (h.bpp != 16 && h.bpp != 32) invalid("compression");
      break;
    case kJpegData:
    case kPngData: throw Error("JPEG or PNG compressed bitmaps are not supported");
    default: invalid("compression");
  }
}

// The palette: what the header declares, limited to the depth and to the bytes before the
// pixels (`offBits`, when the file has a file header).
std::vector<PaletteEntry> readPalette(ByteReader& r, const Header& h, bool fileHeader, uint32_t offBits) {
  std::vector<PaletteEntry> palette;
  if (h.bpp > 8) return palette;
  uint32_t max = 1u << h.bpp;
  uint32_t count = h.colorsUsed == 0 || h.colorsUsed > max ? max : h.colorsUsed;
  size_t entrySize = h.core ? 3 : 4;
  size_t limit = fileHeader && offBits > r.pos() ? (offBits - r.pos()) / entrySize : r.remaining() / entrySize;
  count = static_cast<uint32_t>(std::min<size_t>(count, limit));
  palette.resize(count);
  for (auto& e : palette) {
    e.b = r.u8();
    e.g = r.u8();
    e.r = r.u8();
    if (!h.core) r.u8();
  }
  return palette;
}

// Bit fields the bitmap layout holds as they are: 5-5-5 at 16 bits, 8-8-8(-8) at 32.
bool standardFields(const Header& h) {
  if (!h.hasMasks) return true;
  if (h.bpp == 16) return h.masks[0] == 0x7C00 && h.masks[1] == 0x3E0 && h.masks[2] == 0x1F && !h.masks[3];
  return h.masks[0] == 0xFF0000 && h.masks[1] == 0xFF00 && h.masks[2] == 0xFF &&
         (h.masks[3] == 0 || h.masks[3] == 0xFF000000u);
}

// Other bit fields: each channel expanded to 8 bits, into 32 bits with an alpha mask (or from
// 32-bit pixels), else 24.
Bitmap expandBitFields(const Header& h, int width, int height, const std::function<const uint8_t*(int)>& fileRow) {
  if (!(h.masks[0] | h.masks[1] | h.masks[2])) invalid("bit fields");
  Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]), alpha(h.masks[3]);
  bool withAlpha = h.masks[3] != 0;
  Bitmap out(width, height, h.bpp == 32 || withAlpha ? 32 : 24);
  int outBytes = out.bitsPerPixel() / 8;
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = fileRow(y);
    uint8_t* dst = out.scanLine(y);
    for (int x = 0; x < width; ++x) {
      uint32_t v = h.bpp == 16 ? static_cast<uint32_t>(src[2 * x] | (src[2 * x + 1] << 8))
                               : static_cast<uint32_t>(src[4 * x]) | (static_cast<uint32_t>(src[4 * x + 1]) << 8) |
                                     (static_cast<uint32_t>(src[4 * x + 2]) << 16) |
                                     (static_cast<uint32_t>(src[4 * x + 3]) << 24);
      dst[outBytes * x] = blue.get(v);
      dst[outBytes * x + 1] = green.get(v);
      dst[outBytes * x + 2] = red.get(v);
      if (outBytes == 4) dst[4 * x + 3] = withAlpha ? alpha.get(v) : 255;
    }
  }
  return out;
}

}  // namespace

Bitmap readBmp(std::span<const uint8_t> data) {
  ByteReader r(data, kInvalid);
  uint32_t offBits = 0;
  bool fileHeader = data.size() >= 2 && data[0] == 'B' && data[1] == 'M';
  if (fileHeader) {
    r.skip(10);
    offBits = r.u32le();
  }
  Header h = readHeader(r);

  if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN) invalid("size");
  bool topDown = h.height < 0;
  int64_t height = topDown ? -static_cast<int64_t>(h.height) : h.height;
  checkDepthAndCompression(h);
  checkImageSize(h.width, height);

  std::vector<PaletteEntry> palette = readPalette(r, h, fileHeader, offBits);
  size_t pixelStart = fileHeader ? offBits : r.pos();
  if (pixelStart < r.pos() || pixelStart > data.size()) {
    // A wrong offset that still points inside the headers: the pixels follow the palette.
    if (fileHeader && offBits < r.pos()) pixelStart = r.pos();
    else invalid("pixel data offset");
  }
  std::span<const uint8_t> pixels = data.subspan(pixelStart);

  int w = h.width, hh = static_cast<int>(height);
  if (h.compression == kRle8 || h.compression == kRle4) {
    Bitmap out(w, hh, h.bpp);
    out.palette() = palette;
    decodeRle(pixels, out, h.compression == kRle4, topDown);
    return out;
  }

  size_t stride = dibStride(w, h.bpp);
  size_t rowBytes = (static_cast<size_t>(w) * h.bpp + 7) / 8;
  // The padding of the last row may be missing; the pixels themselves may not.
  if (pixels.size() < stride * (hh - 1) + rowBytes) invalid("pixel data truncated");
  auto fileRow = [&](int y) { return pixels.data() + stride * static_cast<size_t>(topDown ? y : hh - 1 - y); };

  if (h.bpp <= 8 || h.bpp == 24 || standardFields(h)) {
    Bitmap out(w, hh, h.bpp);
    out.palette() = palette;
    for (int y = 0; y < hh; ++y) std::copy_n(fileRow(y), rowBytes, out.scanLine(y));
    return out;
  }
  return expandBitFields(h, w, hh, fileRow);
}

namespace {

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  DecodedImage image;
  image.kind = DecodedKind::kBitmap;
  image.bitmap = readBmp(data);
  return image;
}

}  // namespace

const CodecDescriptor kBmpCodec{"Windows bitmaps", &decode};

std::vector<uint8_t> encodeBmp(const Bitmap& image) {
  if (image.empty()) throw Error("Cannot write an empty image");
  int bpp = image.bitsPerPixel();
  size_t paletteEntries = bpp <= 8 ? std::min<size_t>(image.palette().size(), size_t{1} << bpp) : 0;
  if (bpp <= 8 && paletteEntries == 0) paletteEntries = 1;
  size_t stride = dibStride(image.width(), bpp);
  size_t pixelBytes = stride * static_cast<size_t>(image.height());
  size_t offBits = 14 + 40 + 4 * paletteEntries;
  size_t fileSize = offBits + pixelBytes;
  if (fileSize > 0xFFFFFFFFu) throw Error("Image is too large for a BMP file");

  std::vector<uint8_t> out;
  out.reserve(fileSize);
  out.push_back('B');
  out.push_back('M');
  appendLe32(out, static_cast<uint32_t>(fileSize));
  appendLe32(out, 0);
  appendLe32(out, static_cast<uint32_t>(offBits));
  appendLe32(out, 40);
  appendLe32(out, static_cast<uint32_t>(image.width()));
  appendLe32(out, static_cast<uint32_t>(image.height()));  // positive: rows bottom-up
  appendLe16(out, 1);
  appendLe16(out, static_cast<uint32_t>(bpp));
  appendLe32(out, kRgb);
  appendLe32(out, static_cast<uint32_t>(pixelBytes));
  appendLe32(out, 3780);  // 96 dots per inch
  appendLe32(out, 3780);
  appendLe32(out, bpp <= 8 ? static_cast<uint32_t>(paletteEntries) : 0);
  appendLe32(out, 0);
  for (size_t i = 0; i < paletteEntries; ++i) {
    PaletteEntry e = i < image.palette().size() ? image.palette()[i] : PaletteEntry{};
    out.push_back(e.b);
    out.push_back(e.g);
    out.push_back(e.r);
    out.push_back(0);
  }
  for (int y = image.height() - 1; y >= 0; --y) {
    const uint8_t* row = image.scanLine(y);
    out.insert(out.end(), row, row + stride);
  }
  return out;
}

}  // namespace brevane::codecs
