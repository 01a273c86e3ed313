// Encapsulated PostScript reader (.eps): the embedded preview image, either the TIFF preview of
// a DOS EPS binary header (decoded by the TIFF reader) or an EPSI hex preview in the PostScript.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/byte_reader.h"
#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/extra_util.h"
#include "codecs/registry.h"

namespace brevane::codecs {
namespace {

constexpr uint8_t kDosMagic[4] = {0xC5, 0xD0, 0xD3, 0xC6};
constexpr const char* kNoPreview = "EPS file has no preview image";

int hexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The next line of the PostScript (without its CR/LF end); false at the end of the data.
bool nextLine(std::span<const uint8_t> ps, size_t& pos, std::string_view& line) {
  if (pos >= ps.size()) return false;
  size_t start = pos;
  while (pos < ps.size() && ps[pos] != '\r' && ps[pos] != '\n') ++pos;
  line = std::string_view(reinterpret_cast<const char*>(ps.data()) + start, pos - start);
  if (pos < ps.size() && ps[pos] == '\r') ++pos;
  if (pos < ps.size() && ps[pos] == '\n') ++pos;
  return true;
}

// An EPSI preview: "%%BeginPreview: width height depth lines", then comment lines of hex
// samples (rows padded to whole bytes, most significant bits first, 0 white), up to
// "%%EndPreview". Returns false when the PostScript has none.
bool decodeEpsi(std::span<const uint8_t> ps, DecodedImage& out) {
  constexpr std::string_view kBegin = "%%BeginPreview:";
  size_t pos = 0;
  std::string_view line;
  bool found = false;
  while (nextLine(ps, pos, line)) {
    if (line.substr(0, kBegin.size()) == kBegin) {
      found = true;
      break;
    }
  }
  if (!found) return false;
  std::string header(line.substr(kBegin.size()));
  long width = 0, height = 0, depth = 0;
  if (std::sscanf(header.c_str(), "%ld %ld %ld", &width, &height, &depth) != 3)
    throw Error("EPS preview header is not valid");
  if (depth != 1 && depth != 2 && depth != 4 && depth != 8)
    throw Error(format("EPS previews of %ld bits per sample are not supported", depth));
  checkImageSize(width, height);
  const size_t rowBytes = (static_cast<size_t>(width) * static_cast<size_t>(depth) + 7) / 8;
  const size_t total = rowBytes * static_cast<size_t>(height);
  // Two hex digits per byte: refuse a preview the file cannot hold before allocating for it.
  if (total > (ps.size() - pos) / 2) throw Error("EPS preview data is truncated");

  std::vector<uint8_t> bytes;
  bytes.reserve(total);
  int high = -1;
  while (bytes.size() < total && nextLine(ps, pos, line)) {
    if (line.substr(0, 2) == "%%") {
      if (line.substr(0, 12) == "%%EndPreview") break;
      continue;
    }
    if (line.empty() || line[0] != '%') continue;
    for (size_t i = 1; i < line.size() && bytes.size() < total; ++i) {
      int v = hexValue(static_cast<uint8_t>(line[i]));
      if (v < 0) continue;  // white space between the digits
      if (high < 0) {
        high = v;
      } else {
        bytes.push_back(static_cast<uint8_t>(high << 4 | v));
        high = -1;
      }
    }
  }
  if (bytes.size() < total) throw Error("EPS preview data is truncated");

  Bitmap& bm = out.bitmap;
  const int w = static_cast<int>(width), h = static_cast<int>(height);
  bm.reset(w, h, 8);
  // 0 is white and the largest value black.
  setGreyRamp(bm, 1 << depth);
  std::reverse(bm.palette().begin(), bm.palette().end());
  const unsigned mask = (1u << depth) - 1;
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = bytes.data() + static_cast<size_t>(y) * rowBytes;
    uint8_t* dst = bm.scanLine(y);
    for (int x = 0; x < w; ++x) {
      size_t bit = static_cast<size_t>(x) * static_cast<size_t>(depth);
      dst[x] = static_cast<uint8_t>((src[bit / 8] >> (8 - depth - bit % 8)) & mask);
    }
  }
  if (depth < 8) bm.palette().resize(256);
  return true;
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  DecodedImage out;
  std::span<const uint8_t> ps = data;
  if (data.size() >= 4 && std::memcmp(data.data(), kDosMagic, 4) == 0) {
    ByteReader r(data, "EPS binary header is truncated");
    r.skip(4);
    uint32_t psOffset = r.u32le(), psLength = r.u32le();
    uint32_t wmfOffset = r.u32le(), wmfLength = r.u32le();
    uint32_t tiffOffset = r.u32le(), tiffLength = r.u32le();
    (void)wmfOffset;
    if (tiffLength > 0) {
      if (tiffOffset > data.size() || tiffLength > data.size() - tiffOffset)
        throw Error("EPS TIFF preview is truncated");
      DecodedImage tiff = decodeBytes("preview.tif", data.subspan(tiffOffset, tiffLength));
      if (tiff.kind != DecodedKind::kBitmap) throw Error("EPS TIFF preview did not decode to a bitmap");
      return tiff;
    }
    if (psOffset > data.size()) throw Error("EPS binary header is not valid");
    ps = data.subspan(psOffset, std::min<size_t>(psLength, data.size() - psOffset));
    if (decodeEpsi(ps, out)) return out;
    if (wmfLength > 0) throw Error("EPS files with only a Windows metafile preview are not supported");
    throw Error(kNoPreview);
  }
  if (data.size() < 2 || data[0] != '%' || data[1] != '!') throw Error("Not an Encapsulated PostScript file");
  if (decodeEpsi(ps, out)) return out;
  throw Error(kNoPreview);
}

}  // namespace

const CodecDescriptor kEpsCodec{"Encapsulated Postscript images", &decode};

}  // namespace brevane::codecs
