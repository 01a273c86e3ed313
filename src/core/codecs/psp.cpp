// Paintshop Pro reader (.psp): the composite image when the file holds one, else the first
// layer with image channels; channels uncompressed, run-length or LZ77 (zlib) compressed.
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "base/byte_reader.h"
#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/extra_util.h"

namespace brevane::codecs {
namespace {

constexpr const char* kTruncated = "Paintshop Pro file is truncated";
constexpr char kSignature[] = "Paint Shop Pro Image File\n\x1a";
constexpr uint8_t kBlockMark[4] = {'~', 'B', 'K', 0};

enum BlockId : uint16_t {
  kImageBlock = 0,
  kColourBlock = 2,
  kLayerBankBlock = 3,
  kLayerBlock = 4,
  kChannelBlock = 5,
  kCompositeImageBlock = 9,
  kCompositeBankBlock = 16,
  kCompositeAttributesBlock = 17,
};
enum Compression : int { kNone = 0, kRle = 1, kLz77 = 2 };
enum BitmapType : int { kImageBitmap = 0, kTransparencyMask = 1 };

// One block: its id, where its data begins and ends, and (major version 3 and below, which give
// that length in the block header) where its leading information ends.
struct Block {
  uint16_t id = 0;
  size_t data = 0, info = 0, end = 0;
};

struct Context {
  std::span<const uint8_t> file;
  bool oldLayout = false;  // major version 3 and below
};

std::optional<Block> readBlock(const Context& cx, ByteReader& r, size_t limit) {
  if (limit - r.pos() < 10 || std::memcmp(cx.file.data() + r.pos(), kBlockMark, 4) != 0) return std::nullopt;
  r.skip(4);
  Block b;
  b.id = r.u16le();
  uint32_t initial = cx.oldLayout ? r.u32le() : 0;
  uint32_t total = r.u32le();
  b.data = r.pos();
  if (total > limit - b.data) throw Error(kTruncated);
  b.end = b.data + total;
  b.info = cx.oldLayout ? b.data + std::min<size_t>(initial, total) : b.data;
  return b;
}

// Where the payload after a block's information chunk begins (v6+: the chunk's own length).
size_t payloadStart(const Context& cx, const Block& b) {
  if (cx.oldLayout) return b.info;
  ByteReader r(cx.file.first(b.end), kTruncated);
  r.seek(b.data);
  uint32_t chunk = r.u32le();
  if (chunk < 4 || chunk > b.end - b.data) throw Error("Paintshop Pro block is not valid");
  return b.data + chunk;
}

// The sub-blocks of a block, after its information: v6+ may place further size-prefixed chunks
// between them, which are skipped.
template <class Fn>
void forSubBlocks(const Context& cx, const Block& parent, Fn&& fn) {
  ByteReader r(cx.file.first(parent.end), kTruncated);
  r.seek(parent.info);
  while (parent.end - r.pos() >= 4) {
    if (std::memcmp(cx.file.data() + r.pos(), kBlockMark, 4) == 0) {
      std::optional<Block> b = readBlock(cx, r, parent.end);
      if (!b) break;
      fn(*b);
      r.seek(b->end);
    } else {
      uint32_t chunk = r.u32le();
      if (chunk < 4 || chunk - 4 > parent.end - r.pos()) break;
      r.skip(chunk - 4);
    }
  }
}

struct Attributes {
  int width = 0, height = 0;
  int compression = kNone;
  int bitDepth = 24;
  bool greyscale = false;
};

// One decoded channel: its kind and its rows (stride bytes each).
struct Channel {
  int bitmapType = 0, channelType = 0;
  std::vector<uint8_t> bytes;
  size_t stride = 0;
};

std::vector<uint8_t> unRle(std::span<const uint8_t> in, size_t maxBytes) {
  std::vector<uint8_t> out;
  out.reserve(std::min(maxBytes, in.size() * 4));
  size_t i = 0;
  while (i < in.size() && out.size() < maxBytes) {
    unsigned count = in[i++];
    if (count > 128) {
      if (i >= in.size()) break;
      out.insert(out.end(), std::min<size_t>(count - 128, maxBytes - out.size()), in[i++]);
    } else {
      size_t n = std::min({static_cast<size_t>(count), in.size() - i, maxBytes - out.size()});
      out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(i),
                 in.begin() + static_cast<std::ptrdiff_t>(i + n));
      i += count;
    }
  }
  return out;
}

Channel readChannel(const Context& cx, const Block& b, const Attributes& a, int width, int height) {
  ByteReader r(cx.file.first(b.end), kTruncated);
  r.seek(b.data + (cx.oldLayout ? 0 : 4));
  uint32_t compressedLength = r.u32le();
  r.u32le();  // uncompressed length: not reliable across versions
  Channel ch;
  ch.bitmapType = r.u16le();
  ch.channelType = r.u16le();
  r.seek(payloadStart(cx, b));
  auto in = r.bytes(std::min<size_t>(compressedLength, r.remaining()));
  // Rows of paletted data below 8 bits are padded to 4 bytes; any row may be, depending on the
  // writer, so the padding is told from the amount of data.
  int bits = (a.bitDepth == 24 || ch.bitmapType != kImageBitmap) ? 8 : a.bitDepth;
  size_t tight = (static_cast<size_t>(width) * bits + 7) / 8;
  size_t padded = (tight + 3) / 4 * 4;
  size_t h = static_cast<size_t>(height);
  size_t minBytes = tight * h, maxBytes = padded * h;
  switch (a.compression) {
    case kNone:
      ch.bytes.assign(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(std::min(in.size(), maxBytes)));
      break;
    case kRle: ch.bytes = unRle(in, maxBytes); break;
    case kLz77: ch.bytes = inflateZlib(in, minBytes, maxBytes, "Paintshop Pro channel"); break;
    default: throw Error("Paintshop Pro compression is not supported");
  }
  if (ch.bytes.size() < minBytes) throw Error(kTruncated);
  ch.stride = ch.bytes.size() >= maxBytes ? padded : tight;
  return ch;
}

// Builds the picture from a set of channels of a rectangle (x0, y0, w, h) of the canvas.
DecodedImage assemble(const Attributes& a, const std::vector<PaletteEntry>& palette,
                      const std::vector<Channel>& channels, int x0, int y0, int w, int h) {
  const Channel* colour[4] = {};  // composite (index or grey), red, green, blue
  const Channel* alpha = nullptr;
  for (const Channel& c : channels) {
    if (c.bitmapType == kImageBitmap && c.channelType >= 0 && c.channelType <= 3 && !colour[c.channelType])
      colour[c.channelType] = &c;
    else if (c.bitmapType == kTransparencyMask && !alpha)
      alpha = &c;
  }
  bool rgb = a.bitDepth == 24;
  if (rgb ? !(colour[1] && colour[2] && colour[3]) : !colour[0])
    throw Error("Paintshop Pro image has missing channels");
  DecodedImage out;
  Bitmap& bm = out.bitmap;
  bool fullCanvas = x0 == 0 && y0 == 0 && w == a.width && h == a.height;
  if (!rgb && !alpha && fullCanvas) {
    bm.reset(a.width, a.height, 8);
    if (a.greyscale || palette.empty())
      bm.setGreyPalette();
    else
      setPalette256(bm, palette);
    const int bits = a.bitDepth;
    for (int y = 0; y < h; ++y) {
      const uint8_t* src = colour[0]->bytes.data() + static_cast<size_t>(y) * colour[0]->stride;
      uint8_t* dst = bm.scanLine(y);
      for (int x = 0; x < w; ++x) {
        if (bits == 8)
          dst[x] = src[x];
        else if (bits == 4)
          dst[x] = static_cast<uint8_t>((src[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F);
        else
          dst[x] = static_cast<uint8_t>((src[x / 8] >> (7 - x % 8)) & 1);
      }
    }
    return out;
  }
  // Truecolour, or a layer that needs placing or carries transparency: a 24/32-bit canvas of
  // white (transparent where a transparency mask exists).
  bm.reset(a.width, a.height, alpha ? 32 : 24);
  if (alpha) bm.setAlphaMode(AlphaMode::kStraight);
  const size_t px = alpha ? 4 : 3;
  if (!alpha)
    bm.fill(255);
  else
    for (int y = 0; y < a.height; ++y)
      for (int x = 0; x < a.width; ++x) std::memset(bm.scanLine(y) + x * px, 255, 3);
  std::vector<PaletteEntry> pal = palette;
  if (pal.empty() || a.greyscale) {
    pal.resize(256);
    for (int i = 0; i < 256; ++i) pal[static_cast<size_t>(i)] = PaletteEntry{uint8_t(i), uint8_t(i), uint8_t(i), 0};
  }
  pal.resize(256);
  for (int y = 0; y < h; ++y) {
    int cy = y0 + y;
    if (cy < 0 || cy >= a.height) continue;
    size_t row = static_cast<size_t>(y);
    for (int x = 0; x < w; ++x) {
      int cx = x0 + x;
      if (cx < 0 || cx >= a.width) continue;
      uint8_t* d = bm.scanLine(cy) + static_cast<size_t>(cx) * px;
      if (rgb) {
        d[2] = colour[1]->bytes[row * colour[1]->stride + x];
        d[1] = colour[2]->bytes[row * colour[2]->stride + x];
        d[0] = colour[3]->bytes[row * colour[3]->stride + x];
      } else {
        const uint8_t* src = colour[0]->bytes.data() + row * colour[0]->stride;
        unsigned index = a.bitDepth == 8   ? src[x]
                         : a.bitDepth == 4 ? (src[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F
                                           : (src[x / 8] >> (7 - x % 8)) & 1;
        const PaletteEntry& e = pal[index];
        d[0] = e.b, d[1] = e.g, d[2] = e.r;
      }
      if (alpha) d[3] = alpha->bytes[row * alpha->stride + x];
    }
  }
  return out;
}

std::vector<PaletteEntry> readPalette(const Context& cx, const Block& b) {
  ByteReader r(cx.file.first(b.end), kTruncated);
  r.seek(b.data + (cx.oldLayout ? 0 : 4));
  uint32_t count = std::min<uint32_t>(r.u32le(), 256);
  r.seek(cx.oldLayout ? b.data + 4 : payloadStart(cx, b));
  std::vector<PaletteEntry> pal(count);
  for (auto& e : pal) {
    auto q = r.bytes(4);  // blue, green, red, reserved
    e = PaletteEntry{q[0], q[1], q[2], 0};
  }
  return pal;
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  if (data.size() < 36 || std::memcmp(data.data(), kSignature, sizeof kSignature - 1) != 0)
    throw Error("Not a Paintshop Pro image file");
  ByteReader r(data, kTruncated);
  r.seek(32);
  int major = r.u16le();
  r.u16le();
  Context cx{data, major <= 3};
  if (major < 3) throw Error("Paintshop Pro files before version 5 are not supported");

  Attributes attr;
  bool haveAttributes = false;
  std::vector<PaletteEntry> palette;
  std::optional<DecodedImage> composite, layer;
  while (std::optional<Block> b = readBlock(cx, r, data.size())) {
    if (b->id == kImageBlock) {
      ByteReader a(data.first(b->end), kTruncated);
      a.seek(b->data + (cx.oldLayout ? 0 : 4));
      attr.width = a.s32le();
      attr.height = a.s32le();
      a.skip(9);  // resolution and its unit
      attr.compression = a.u16le();
      attr.bitDepth = a.u16le();
      a.skip(2 + 4);  // planes, colours
      attr.greyscale = a.u8() != 0;
      checkImageSize(attr.width, attr.height);
      if (attr.bitDepth != 1 && attr.bitDepth != 4 && attr.bitDepth != 8 && attr.bitDepth != 24)
        throw Error(format("Paintshop Pro images of %d bits are not supported", attr.bitDepth));
      haveAttributes = true;
    } else if (b->id == kColourBlock) {
      palette = readPalette(cx, *b);
    } else if (!haveAttributes) {
      throw Error("Paintshop Pro file has no image attributes");
    } else if (b->id == kCompositeBankBlock && !composite) {
      std::optional<Attributes> current;
      forSubBlocks(cx, *b, [&](const Block& sub) {
        if (sub.id == kCompositeAttributesBlock) {
          ByteReader a(data.first(sub.end), kTruncated);
          a.seek(sub.data + 4);
          Attributes ca = attr;
          ca.width = a.s32le();
          ca.height = a.s32le();
          ca.bitDepth = a.u16le();
          ca.compression = a.u16le();
          a.skip(2 + 4);
          int type = a.u16le();
          // Type 0 is the full composite; type 1 a thumbnail (JPEG or small raster).
          bool usable = type == 0 && ca.width == attr.width && ca.height == attr.height &&
                        (ca.bitDepth == 8 || ca.bitDepth == 24 || ca.bitDepth == 4 || ca.bitDepth == 1);
          current = usable ? std::optional<Attributes>(ca) : std::nullopt;
        } else if (sub.id == kCompositeImageBlock && current && !composite) {
          std::vector<Channel> channels;
          std::vector<PaletteEntry> pal = palette;
          forSubBlocks(cx, sub, [&](const Block& c) {
            if (c.id == kChannelBlock)
              channels.push_back(readChannel(cx, c, *current, current->width, current->height));
            else if (c.id == kColourBlock)
              pal = readPalette(cx, c);
          });
          composite = assemble(*current, pal, channels, 0, 0, current->width, current->height);
        }
      });
    } else if (b->id == kLayerBankBlock && !layer) {
      forSubBlocks(cx, *b, [&](const Block& lb) {
        if (lb.id != kLayerBlock || layer) return;
        ByteReader l(data.first(lb.end), kTruncated);
        l.seek(lb.data + (cx.oldLayout ? 0 : 4));
        if (cx.oldLayout)
          l.skip(256);
        else
          l.skip(l.u16le());
        l.u8();  // layer type
        int32_t rect[4], saved[4];
        for (auto& v : rect) v = l.s32le();
        for (auto& v : saved) v = l.s32le();
        int64_t w = int64_t{saved[2]} - saved[0], h = int64_t{saved[3]} - saved[1];
        if (w <= 0 || h <= 0) return;  // an empty layer (vector, group, adjustment)
        checkImageSize(w, h);
        std::vector<Channel> channels;
        forSubBlocks(cx, lb, [&](const Block& c) {
          if (c.id == kChannelBlock)
            channels.push_back(readChannel(cx, c, attr, static_cast<int>(w), static_cast<int>(h)));
        });
        bool hasImage = std::any_of(channels.begin(), channels.end(),
                                    [](const Channel& c) { return c.bitmapType == kImageBitmap; });
        if (!hasImage) return;
        int64_t x0 = int64_t{rect[0]} + saved[0], y0 = int64_t{rect[1]} + saved[1];
        if (x0 < -(int64_t{1} << 30) || x0 > (int64_t{1} << 30) || y0 < -(int64_t{1} << 30) || y0 > (int64_t{1} << 30))
          throw Error("Paintshop Pro layer lies outside the image");
        layer = assemble(attr, palette, channels, static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(w),
                         static_cast<int>(h));
      });
    }
    r.seek(b->end);
    if (composite) break;
  }
  if (composite) return std::move(*composite);
  if (layer) return std::move(*layer);
  throw Error(haveAttributes ? "Paintshop Pro file has no raster image" : "Paintshop Pro file has no image attributes");
}

}  // namespace

const CodecDescriptor kPspCodec{"Paintshop Pro images", &decode};

}  // namespace brevane::codecs
