// Small helpers shared by the extra-format readers.
#include "codecs/extra_util.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace brevane::codecs {

void setGreyRamp(Bitmap& bitmap, int count) {
  auto& pal = bitmap.palette();
  pal.assign(static_cast<size_t>(count), PaletteEntry{});
  for (int i = 0; i < count; ++i) {
    auto v = static_cast<uint8_t>(i * 255 / (count - 1));
    pal[static_cast<size_t>(i)] = PaletteEntry{v, v, v, 0};
  }
}

void setPalette256(Bitmap& bitmap, std::span<const PaletteEntry> entries) {
  auto& pal = bitmap.palette();
  pal.assign(256, PaletteEntry{});
  std::copy_n(entries.begin(), std::min<size_t>(entries.size(), 256), pal.begin());
}

size_t unpackBits(std::span<const uint8_t> in, std::span<uint8_t> out) {
  size_t i = 0, o = 0;
  while (i < in.size() && o < out.size()) {
    auto n = static_cast<int8_t>(in[i++]);
    if (n >= 0) {
      size_t count = static_cast<size_t>(n) + 1;
      count = std::min({count, in.size() - i, out.size() - o});
      std::memcpy(out.data() + o, in.data() + i, count);
      i += static_cast<size_t>(n) + 1;
      o += count;
    } else if (n != -128) {
      if (i >= in.size()) break;
      size_t count = std::min<size_t>(static_cast<size_t>(1 - n), out.size() - o);
      std::memset(out.data() + o, in[i++], count);
      o += count;
    }
  }
  return o;
}

std::vector<uint8_t> inflateZlib(std::span<const uint8_t> in, size_t minBytes, size_t maxBytes, const char* what) {
  // Grow the output as the stream delivers, so that a small damaged stream claiming a large
  // result never allocates that result up front.
  std::vector<uint8_t> out(std::min(maxBytes, in.size() * 4 + 4096));
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) throw Error(std::string(what) + ": zlib initialisation failed");
  size_t inPos = 0, outPos = 0;
  int rc = Z_OK;
  // Feed in slices so that sizes above 4 GiB never overflow zlib's 32-bit counters.
  constexpr size_t kSlice = std::numeric_limits<uInt>::max();
  while (rc == Z_OK && outPos < maxBytes) {
    if (outPos == out.size()) out.resize(std::min(maxBytes, out.size() * 2));
    size_t inChunk = std::min(in.size() - inPos, kSlice);
    size_t outChunk = std::min(out.size() - outPos, kSlice);
    zs.next_in = const_cast<Bytef*>(in.data() + inPos);
    zs.avail_in = static_cast<uInt>(inChunk);
    zs.next_out = out.data() + outPos;
    zs.avail_out = static_cast<uInt>(outChunk);
    rc = inflate(&zs, Z_NO_FLUSH);
    inPos += inChunk - zs.avail_in;
    outPos += outChunk - zs.avail_out;
  }
  inflateEnd(&zs);
  if (outPos < minBytes) throw Error(std::string(what) + ": compressed data is damaged or short");
  out.resize(outPos);
  return out;
}

}  // namespace brevane::codecs
