// Photoshop reader (.psd, .pdd, and the large-document variant): the merged composite image in
// bitmap, greyscale, duotone, indexed, RGB, CMYK, multichannel or Lab mode, 1, 8 or 16 bits per
// channel, raw or run-length; alpha from the first extra channel when the file marks it as the
// merged transparency (a negative layer count).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/byte_reader.h"
#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/extra_util.h"
#include "codecs/icc_profile.h"

namespace brevane::codecs {
namespace {

constexpr const char* kTruncated = "Photoshop file is truncated";

enum Mode : int {
  kBitmapMode = 0,
  kGrey = 1,
  kIndexed = 2,
  kRgb = 3,
  kCmyk = 4,
  kMultichannel = 7,
  kDuotone = 8,
  kLab = 9
};

uint64_t readLength(ByteReader& r, bool large) {
  return large ? (uint64_t{r.u32be()} << 32) | r.u32be() : r.u32be();
}

// Layer count of a layer-info block; negative means the first extra channel of the merged
// image is its transparency.
int layerCount(ByteReader& r, uint64_t infoLength) {
  if (infoLength < 2) return 0;
  return static_cast<int16_t>(r.u16be());
}

// Reads the layer and mask section and reports whether its layer count is negative. 16- and
// 32-bit documents keep their layers in an "Lr16"/"Lr32" tagged block instead.
bool mergedTransparency(ByteReader& r, bool large) {
  uint64_t sectionLength = readLength(r, large);
  if (sectionLength > r.remaining()) throw Error(kTruncated);
  size_t end = r.pos() + static_cast<size_t>(sectionLength);
  bool negative = false;
  if (sectionLength >= (large ? 8u : 4u)) {
    uint64_t infoLength = readLength(r, large);
    if (infoLength > end - r.pos()) throw Error(kTruncated);
    size_t infoEnd = r.pos() + static_cast<size_t>(infoLength);
    negative = layerCount(r, infoLength) < 0;
    r.seek(infoEnd);
    // Global layer mask, then tagged blocks: "8BIM" or "8B64", key, length, data.
    if (end - r.pos() >= 4) {
      uint32_t maskLength = r.u32be();
      if (maskLength <= end - r.pos())
        r.skip(maskLength);
      else
        r.seek(end);
    }
    while (end - r.pos() >= 12) {
      auto sig = r.bytes(4);
      if (std::memcmp(sig.data(), "8BIM", 4) != 0 && std::memcmp(sig.data(), "8B64", 4) != 0) break;
      auto key = r.bytes(4);
      bool lr = std::memcmp(key.data(), "Lr16", 4) == 0 || std::memcmp(key.data(), "Lr32", 4) == 0 ||
                std::memcmp(key.data(), "Layr", 4) == 0;
      uint64_t length = (large && lr) ? readLength(r, true) : r.u32be();
      if (length > end - r.pos()) break;
      size_t next = r.pos() + static_cast<size_t>(length);
      if (lr && layerCount(r, length) < 0) negative = true;
      r.seek(next);
    }
  }
  r.seek(end);
  return negative;
}

uint8_t toSrgb(double linear) {
  linear = std::clamp(linear, 0.0, 1.0);
  double v = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
  return static_cast<uint8_t>(std::nearbyint(v * 255));
}

// CIE L*a*b* (D50) to sRGB through XYZ with the D50-adapted sRGB matrix.
void labToBgr(double l, double a, double b, uint8_t* dst) {
  double fy = (l + 16) / 116, fx = fy + a / 500, fz = fy - b / 200;
  auto inv = [](double t) { return t > 6.0 / 29 ? t * t * t : 3 * (6.0 / 29) * (6.0 / 29) * (t - 4.0 / 29); };
  double x = 0.96422 * inv(fx), y = inv(fy), z = 0.82521 * inv(fz);
  dst[2] = toSrgb(3.1338561 * x - 1.6168667 * y - 0.4906146 * z);
  dst[1] = toSrgb(-0.9787684 * x + 1.9161415 * y + 0.0334540 * z);
  dst[0] = toSrgb(0.0719453 * x - 0.2289914 * y + 1.4052427 * z);
}

// The file header and what follows from it.
struct Header {
  bool large = false;  // the large-document variant: 64-bit section lengths
  int channels = 0;
  uint32_t width = 0, height = 0;
  int depth = 0;         // bits per channel: 1, 8 or 16
  int mode = 0;          // Mode
  int baseChannels = 0;  // colour channels of the mode
};

Header readHeader(ByteReader& r, std::span<const uint8_t> data) {
  if (data.size() < 26 || std::memcmp(data.data(), "8BPS", 4) != 0) throw Error("Not a Photoshop file");
  r.skip(4);
  int version = r.u16be();
  if (version != 1 && version != 2) throw Error("Photoshop file has an unknown version");
  Header h;
  h.large = version == 2;
  r.skip(6);
  h.channels = r.u16be();
  h.height = r.u32be();
  h.width = r.u32be();
  h.depth = r.u16be();
  h.mode = r.u16be();
  if (h.channels < 1 || h.channels > 56) throw Error("Photoshop file has an invalid channel count");
  if (h.depth != 1 && h.depth != 8 && h.depth != 16)
    throw Error(format("Photoshop images of %d bits per channel are not supported", h.depth));
  if ((h.mode == kBitmapMode) != (h.depth == 1)) throw Error("Photoshop bitmap mode needs 1 bit per channel");
  switch (h.mode) {
    case kBitmapMode:
    case kGrey:
    case kIndexed:
    case kMultichannel:
    case kDuotone: h.baseChannels = 1; break;
    case kRgb:
    case kLab: h.baseChannels = 3; break;
    case kCmyk: h.baseChannels = 4; break;
    default: throw Error(format("Photoshop colour mode %d is not supported", h.mode));
  }
  if (h.channels < h.baseChannels) throw Error("Photoshop file has too few channels for its colour mode");
  checkImageSize(h.width, h.height);
  return h;
}

// Colour mode data: the palette of an indexed image (256 reds, then greens, then blues).
std::array<PaletteEntry, 256> readColourModeData(ByteReader& r, int mode) {
  std::array<PaletteEntry, 256> palette{};
  uint32_t length = r.u32be();
  auto colourData = r.bytes(length);
  if (mode == kIndexed) {
    if (colourData.size() < 768) throw Error("Photoshop indexed image has no palette");
    for (size_t i = 0; i < 256; ++i)
      palette[i] = PaletteEntry{colourData[512 + i], colourData[256 + i], colourData[i], 0};
  }
  return palette;
}

// Image resources: the transparent index of an indexed image (-1: none) and the ICC profile.
int readImageResources(ByteReader& r, std::vector<uint8_t>& iccProfile) {
  int transparentIndex = -1;
  uint32_t resourcesLength = r.u32be();
  ByteReader res(r.bytes(resourcesLength), kTruncated);
  while (res.remaining() >= 12) {
    auto sig = res.bytes(4);
    if (std::memcmp(sig.data(), "8BIM", 4) != 0) break;
    uint16_t id = res.u16be();
    size_t nameLength = res.u8();
    if ((nameLength + 1) % 2) ++nameLength;  // the Pascal name is padded to even size
    if (nameLength > res.remaining()) break;
    res.skip(nameLength);
    if (res.remaining() < 4) break;
    uint32_t length = res.u32be();
    if (length > res.remaining()) break;
    auto body = res.bytes(length);
    if (length % 2 && !res.atEnd()) res.skip(1);
    if (id == 1047 && body.size() >= 2) transparentIndex = (body[0] << 8) | body[1];
    if (id == 1039 && iccProfile.empty())
      iccProfile.assign(body.begin(),
                        body.begin() + static_cast<std::ptrdiff_t>(std::min(body.size(), kMaxIccProfileBytes)));
  }
  return transparentIndex;
}

// The channels of the merged image, each a plane of rows, and their sample reads.
struct Planes {
  std::vector<std::vector<uint8_t>> data;
  size_t rowBytes = 0;
  int depth = 8;

  const uint8_t* row(int c, size_t y) const { return data[static_cast<size_t>(c)].data() + y * rowBytes; }
  // Sample c of pixel (x, y) as 0-255.
  uint8_t sample(int c, size_t x, size_t y) const {
    const uint8_t* r = row(c, y);
    return depth == 8 ? r[x] : scale16To8(static_cast<uint32_t>((r[2 * x] << 8) | r[2 * x + 1]));
  }
};

// Reads the first `used` channels of the merged image, raw or run-length encoded.
Planes readPlanes(ByteReader& r, std::span<const uint8_t> data, const Header& h, int used) {
  const int compression = r.u16be();
  if (compression > 1) throw Error("Photoshop composite images compressed with ZIP are not supported");
  const size_t w = h.width, rows = h.height;
  Planes planes;
  planes.depth = h.depth;
  planes.rowBytes = h.depth == 1 ? (w + 7) / 8 : w * static_cast<size_t>(h.depth / 8);
  const size_t rowBytes = planes.rowBytes;
  planes.data.resize(static_cast<size_t>(used));
  if (compression == 0) {
    if (r.remaining() / rowBytes / rows < static_cast<size_t>(used)) throw Error(kTruncated);
    for (auto& plane : planes.data) {
      auto bytes = r.bytes(rowBytes * rows);
      plane.assign(bytes.begin(), bytes.end());
    }
    return planes;
  }
  // Run-length: a byte count per row of every channel, then the rows.
  const size_t countSize = h.large ? 4 : 2;
  const size_t allRows = rows * static_cast<size_t>(h.channels);
  if (r.remaining() / countSize < allRows) throw Error(kTruncated);
  std::vector<uint32_t> counts(allRows);
  for (auto& count : counts) count = h.large ? r.u32be() : r.u16be();
  size_t offset = r.pos();
  // A run-length packet of two bytes gives at most 128: refuse rows the file cannot fill
  // before allocating for them.
  if ((data.size() - offset) / 2 / ((rowBytes + 127) / 128) / rows < static_cast<size_t>(used)) throw Error(kTruncated);
  for (int c = 0; c < used; ++c) {
    auto& plane = planes.data[static_cast<size_t>(c)];
    plane.assign(rowBytes * rows, 0);
    for (size_t y = 0; y < rows; ++y) {
      uint32_t count = counts[static_cast<size_t>(c) * rows + y];
      if (count > data.size() - offset) throw Error(kTruncated);
      unpackBits(data.subspan(offset, count), std::span<uint8_t>(plane.data() + y * rowBytes, rowBytes));
      offset += count;
    }
  }
  return planes;
}

// Bitmap mode: 1 bit per pixel, 1 is black.
void toOneBit(const Planes& planes, Bitmap& bm) {
  bm.palette() = {PaletteEntry{255, 255, 255, 0}, PaletteEntry{0, 0, 0, 0}};
  for (int y = 0; y < bm.height(); ++y)
    std::memcpy(bm.scanLine(y), planes.row(0, static_cast<size_t>(y)), planes.rowBytes);
}

// One channel without transparency: 8 bits with the file's palette or a grey one.
void toEightBit(const Planes& planes, int mode, const std::array<PaletteEntry, 256>& palette, int transparentIndex,
                Bitmap& bm) {
  if (mode == kIndexed) {
    setPalette256(bm, palette);
    if (transparentIndex >= 0 && transparentIndex < 256) {
      const PaletteEntry& e = palette[static_cast<size_t>(transparentIndex)];
      bm.setTransparentColor(Bgr{e.b, e.g, e.r});
    }
  } else {
    bm.setGreyPalette();
  }
  for (int y = 0; y < bm.height(); ++y) {
    uint8_t* dst = bm.scanLine(y);
    for (size_t x = 0; x < static_cast<size_t>(bm.width()); ++x) dst[x] = planes.sample(0, x, static_cast<size_t>(y));
  }
}

// The colour of pixel (x, y) as blue, green, red.
void colourAt(const Planes& planes, int mode, const std::array<PaletteEntry, 256>& palette, size_t x, size_t y,
              uint8_t* d) {
  switch (mode) {
    case kRgb:
      d[2] = planes.sample(0, x, y);
      d[1] = planes.sample(1, x, y);
      d[0] = planes.sample(2, x, y);
      break;
    case kCmyk: {
      // Stored as 255 minus the ink.
      unsigned k = planes.sample(3, x, y);
      d[2] = static_cast<uint8_t>((planes.sample(0, x, y) * k + 127) / 255);
      d[1] = static_cast<uint8_t>((planes.sample(1, x, y) * k + 127) / 255);
      d[0] = static_cast<uint8_t>((planes.sample(2, x, y) * k + 127) / 255);
      break;
    }
    case kLab: {
      const uint8_t* row0 = planes.row(0, y);
      const uint8_t* row1 = planes.row(1, y);
      const uint8_t* row2 = planes.row(2, y);
      double l, a, b;
      if (planes.depth == 8) {
        l = row0[x] * 100.0 / 255;
        a = row1[x] - 128.0;
        b = row2[x] - 128.0;
      } else {
        l = ((row0[2 * x] << 8) | row0[2 * x + 1]) * 100.0 / 65535;
        a = ((row1[2 * x] << 8) | row1[2 * x + 1]) / 257.0 - 128;
        b = ((row2[2 * x] << 8) | row2[2 * x + 1]) / 257.0 - 128;
      }
      labToBgr(l, a, b, d);
      break;
    }
    case kIndexed: {
      const PaletteEntry& e = palette[planes.sample(0, x, y)];
      d[0] = e.b, d[1] = e.g, d[2] = e.r;
      break;
    }
    default: d[0] = d[1] = d[2] = planes.sample(0, x, y);
  }
}

// Every other image: 24 bits, or 32 with straight alpha from the channel after the colours.
void toTrueColour(const Planes& planes, const Header& h, const std::array<PaletteEntry, 256>& palette,
                  bool transparency, Bitmap& bm) {
  if (transparency) bm.setAlphaMode(AlphaMode::kStraight);
  const size_t px = transparency ? 4 : 3;
  for (int y = 0; y < bm.height(); ++y) {
    const auto sy = static_cast<size_t>(y);
    uint8_t* dst = bm.scanLine(y);
    for (size_t x = 0; x < static_cast<size_t>(bm.width()); ++x) {
      uint8_t* d = dst + x * px;
      colourAt(planes, h.mode, palette, x, sy, d);
      if (!transparency) continue;
      // The merged image is matted with white where it is partly transparent: take the white
      // back out so that the colour is the straight colour again.
      unsigned a = planes.sample(h.baseChannels, x, sy);
      d[3] = static_cast<uint8_t>(a);
      if (a > 0 && a < 255)
        for (int k = 0; k < 3; ++k) {
          int c = d[k] + static_cast<int>(a) - 255;
          d[k] =
              c <= 0 ? 0 : static_cast<uint8_t>(std::min<unsigned>(255, (static_cast<unsigned>(c) * 255 + a / 2) / a));
        }
    }
  }
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  ByteReader r(data, kTruncated);
  const Header h = readHeader(r, data);
  const std::array<PaletteEntry, 256> palette = readColourModeData(r, h.mode);
  DecodedImage out;
  const int transparentIndex = readImageResources(r, out.iccProfile);
  const bool transparency = mergedTransparency(r, h.large) && h.channels > h.baseChannels;
  const Planes planes = readPlanes(r, data, h, h.baseChannels + (transparency ? 1 : 0));

  Bitmap& bm = out.bitmap;
  const int iw = static_cast<int>(h.width), ih = static_cast<int>(h.height);
  if (h.mode == kBitmapMode) {
    bm.reset(iw, ih, 1);
    toOneBit(planes, bm);
  } else if (h.baseChannels == 1 && !transparency) {
    bm.reset(iw, ih, 8);
    toEightBit(planes, h.mode, palette, transparentIndex, bm);
  } else {
    bm.reset(iw, ih, transparency ? 32 : 24);
    toTrueColour(planes, h, palette, transparency, bm);
  }
  return out;
}

}  // namespace

const CodecDescriptor kPsdCodec{"Photoshop images", &decode};

}  // namespace brevane::codecs
