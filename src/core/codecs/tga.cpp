// Targa reader: image types 1, 2, 3, 9, 10, 11 at 8, 15, 16, 24 and 32 bits, all four origins.
#include <cstring>

#include "base/byte_reader.h"
#include "base/error.h"
#include "codecs/codec.h"

namespace brevane::codecs {
namespace {

constexpr const char* kInvalid = "Targa image is not valid";

[[noreturn]] void invalid(const char* detail) { throw Error(std::string(kInvalid) + " (" + detail + ")"); }

struct Header {
  int idLength, colorMapType, imageType;
  int mapFirst, mapLength, mapEntryBits;
  int width, height, depth, descriptor;
};

// A 15/16-bit value (x RRRRR GGGGG BBBBB) as blue, green, red; the top bit as alpha.
void unpack555(uint16_t v, uint8_t* bgra) {
  auto expand = [](unsigned c) { return static_cast<uint8_t>((c << 3) | (c >> 2)); };
  bgra[0] = expand(v & 31);
  bgra[1] = expand((v >> 5) & 31);
  bgra[2] = expand((v >> 10) & 31);
  bgra[3] = (v & 0x8000) ? 255 : 0;
}

// One stored element (pixel or colour-map entry) of `bits` bits to blue, green, red, alpha.
void toBgra(const uint8_t* p, int bits, bool grey, uint8_t* bgra) {
  if (grey) {
    bgra[0] = bgra[1] = bgra[2] = p[0];
    bgra[3] = bits == 16 ? p[1] : 255;
    return;
  }
  switch (bits) {
    case 15:
    case 16: unpack555(static_cast<uint16_t>(p[0] | (p[1] << 8)), bgra); break;
    case 24: bgra[0] = p[0], bgra[1] = p[1], bgra[2] = p[2], bgra[3] = 255; break;
    default: std::memcpy(bgra, p, 4); break;
  }
}

// The attribute type of the TGA 2.0 extension area (-1 when the file has none).
int extensionAlphaType(std::span<const uint8_t> data) {
  static const char kSignature[] = "TRUEVISION-XFILE.";
  if (data.size() < 26 + 18) return -1;
  const uint8_t* footer = data.data() + data.size() - 26;
  if (std::memcmp(footer + 8, kSignature, 18) != 0) return -1;
  uint32_t offset = footer[0] | (footer[1] << 8) | (footer[2] << 16) | (static_cast<uint32_t>(footer[3]) << 24);
  if (offset == 0 || offset > data.size() || data.size() - offset < 495) return -1;
  return data[offset + 494];
}

// Reads width x height elements of `bytes` bytes each, raw or run-length encoded. Runs may
// cross scan lines; a run past the last pixel is cut off.
std::vector<uint8_t> readPixels(ByteReader& r, size_t count, int bytes, bool rle) {
  // The least data that can describe `count` pixels (runs of 128), checked before the buffer
  // is allocated, so a short file cannot claim a huge image.
  size_t least = rle ? (count + 127) / 128 * (1 + static_cast<size_t>(bytes)) : count * static_cast<size_t>(bytes);
  if (least > r.remaining()) invalid("truncated");
  std::vector<uint8_t> out(count * static_cast<size_t>(bytes));
  if (!rle) {
    auto src = r.bytes(out.size());
    std::memcpy(out.data(), src.data(), out.size());
    return out;
  }
  size_t done = 0;
  while (done < count) {
    uint8_t packet = r.u8();
    size_t n = (packet & 0x7F) + 1u;
    if (n > count - done) n = count - done;
    if (packet & 0x80) {
      auto value = r.bytes(static_cast<size_t>(bytes));
      for (size_t i = 0; i < n; ++i) std::memcpy(&out[(done + i) * bytes], value.data(), static_cast<size_t>(bytes));
      // A cut-off run still consumed only its one value.
    } else {
      auto values = r.bytes(n * static_cast<size_t>(bytes));
      std::memcpy(&out[done * bytes], values.data(), values.size());
    }
    done += n;
  }
  return out;
}

Header readHeader(ByteReader& r) {
  Header h{};
  h.idLength = r.u8();
  h.colorMapType = r.u8();
  h.imageType = r.u8();
  h.mapFirst = r.u16le();
  h.mapLength = r.u16le();
  h.mapEntryBits = r.u8();
  r.u16le();  // x origin
  r.u16le();  // y origin
  h.width = r.u16le();
  h.height = r.u16le();
  h.depth = r.u8();
  h.descriptor = r.u8();

  const int base = h.imageType & ~8;
  if (base != 1 && base != 2 && base != 3) invalid("unsupported image type");
  if (h.imageType > 11) invalid("unsupported image type");
  const bool mapped = base == 1, grey = base == 3;
  if (mapped && (h.colorMapType != 1 || (h.depth != 8 && h.depth != 16))) invalid("bad colour map");
  if (!mapped && !grey && h.depth != 15 && h.depth != 16 && h.depth != 24 && h.depth != 32) invalid("bad pixel depth");
  if (grey && h.depth != 8 && h.depth != 16) invalid("bad pixel depth");
  if (h.colorMapType > 1) invalid("bad colour map type");
  if (h.colorMapType == 1 && h.mapLength > 0 && h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 &&
      h.mapEntryBits != 32)
    invalid("bad colour map entry size");
  checkImageSize(h.width, h.height);
  return h;
}

// The colour map as blue, green, red, alpha per entry; read past but not kept for images
// that do not use it.
std::vector<uint8_t> readColourMap(ByteReader& r, const Header& h, bool mapped) {
  std::vector<uint8_t> map;
  if (h.colorMapType != 1) return map;
  int entryBytes = (h.mapEntryBits + 7) / 8;
  auto raw = r.bytes(static_cast<size_t>(h.mapLength) * static_cast<size_t>(entryBytes));
  if (mapped) {
    map.resize(static_cast<size_t>(h.mapLength) * 4);
    for (int i = 0; i < h.mapLength; ++i)
      toBgra(&raw[static_cast<size_t>(i) * entryBytes], h.mapEntryBits, false, &map[i * 4u]);
  }
  return map;
}

// Whether the image's attribute bits are alpha: they must exist, and a TGA 2.0 extension area
// may say that they hold something else.
bool hasAlpha(const Header& h, bool mapped, bool grey, int extensionAlpha) {
  const int attributeBits = h.descriptor & 0x0F;
  bool hasAlphaBits;
  if (mapped)
    hasAlphaBits = h.mapEntryBits == 32 || (h.mapEntryBits == 16 && attributeBits > 0);
  else if (grey)
    hasAlphaBits = h.depth == 16;
  else
    hasAlphaBits = h.depth == 32 || (h.depth == 16 && attributeBits > 0);
  bool alpha = hasAlphaBits && attributeBits > 0;
  if (extensionAlpha == 0 || extensionAlpha == 1) alpha = false;  // the extension area says the bits hold no alpha
  return alpha;
}

// The stored pixels in file order, addressed in image order (top-left first) whatever the
// file's origin.
class StoredPixels {
 public:
  StoredPixels(std::vector<uint8_t> pixels, const Header& h)
      : m_pixels(std::move(pixels)),
        m_width(h.width),
        m_height(h.height),
        m_bytes((h.depth + 7) / 8),
        m_rightToLeft((h.descriptor & 0x10) != 0),
        m_topDown((h.descriptor & 0x20) != 0) {}
  const uint8_t* at(int x, int y) const {
    int sx = m_rightToLeft ? m_width - 1 - x : x;
    int sy = m_topDown ? y : m_height - 1 - y;
    return &m_pixels[(static_cast<size_t>(sy) * m_width + sx) * m_bytes];
  }

 private:
  std::vector<uint8_t> m_pixels;
  int m_width, m_height, m_bytes;
  bool m_rightToLeft, m_topDown;
};

// 8-bit grey, or 8-bit colour-mapped without alpha: an 8-bit bitmap with its palette.
void toPaletted(const StoredPixels& pixels, const Header& h, bool grey, const std::vector<uint8_t>& map, Bitmap& bmp) {
  bmp.reset(h.width, h.height, 8);
  if (grey) {
    bmp.setGreyPalette();
  } else {
    bmp.palette().assign(256, PaletteEntry{});
    for (int i = 0; i < 256; ++i) {
      int entry = i - h.mapFirst;
      if (entry >= 0 && entry < h.mapLength)
        bmp.palette()[i] = {map[entry * 4u], map[entry * 4u + 1], map[entry * 4u + 2], 0};
    }
  }
  for (int y = 0; y < h.height; ++y) {
    uint8_t* row = bmp.scanLine(y);
    for (int x = 0; x < h.width; ++x) row[x] = *pixels.at(x, y);
  }
}

// Everything else: 24 bits, or 32 with the alpha bits.
void toTrueColour(const StoredPixels& pixels, const Header& h, bool mapped, bool grey, const std::vector<uint8_t>& map,
                  bool alpha, bool premultiplied, Bitmap& bmp) {
  const int outBytes = alpha ? 4 : 3;
  bmp.reset(h.width, h.height, alpha ? 32 : 24);
  if (alpha && premultiplied) bmp.setAlphaMode(AlphaMode::kPremultiplied);
  uint8_t bgra[4];
  static const uint8_t kBlack[4] = {0, 0, 0, 0};
  for (int y = 0; y < h.height; ++y) {
    uint8_t* row = bmp.scanLine(y);
    for (int x = 0; x < h.width; ++x, row += outBytes) {
      const uint8_t* p = pixels.at(x, y);
      if (mapped) {
        int index = (h.depth == 16 ? (p[0] | (p[1] << 8)) : p[0]) - h.mapFirst;
        std::memcpy(bgra, index >= 0 && index < h.mapLength ? &map[index * 4u] : kBlack, 4);
      } else {
        toBgra(p, h.depth, grey, bgra);
      }
      std::memcpy(row, bgra, static_cast<size_t>(outBytes));
    }
  }
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  ByteReader r(data, "Targa image is not valid (truncated)");
  const Header h = readHeader(r);
  const int base = h.imageType & ~8;
  const bool rle = (h.imageType & 8) != 0, mapped = base == 1, grey = base == 3;

  r.skip(static_cast<size_t>(h.idLength));
  const std::vector<uint8_t> map = readColourMap(r, h, mapped);
  const int alphaType = extensionAlphaType(data);
  const bool alpha = hasAlpha(h, mapped, grey, alphaType);
  const size_t count = static_cast<size_t>(h.width) * static_cast<size_t>(h.height);
  const StoredPixels pixels(readPixels(r, count, (h.depth + 7) / 8, rle), h);

  DecodedImage image;
  image.kind = DecodedKind::kBitmap;
  image.reportsAlpha = alpha;
  if ((grey && h.depth == 8) || (mapped && h.depth == 8 && !alpha))
    toPaletted(pixels, h, grey, map, image.bitmap);
  else
    toTrueColour(pixels, h, mapped, grey, map, alpha, alphaType == 4, image.bitmap);
  return image;
}

}  // namespace

const CodecDescriptor kTgaCodec{"Truevision images", &decode};

}  // namespace brevane::codecs
