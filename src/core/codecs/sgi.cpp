// SGI image reader (.sgi, .rgba, .rgb, .bw): verbatim and run-length, 1-4 channels, 8 and 16
// bits per channel, the fourth channel (or the second of two) as alpha.
#include <algorithm>
#include <vector>

#include "base/byte_reader.h"
#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/extra_util.h"

namespace brevane::codecs {
namespace {

constexpr const char* kTruncated = "SGI image data is truncated";
constexpr size_t kHeaderSize = 512;

// Decodes one run-length row of 8- or 16-bit units into `row` (width samples). A run past the
// row's end is clipped; a row that stops early leaves the rest zero.
void decodeRleRow(std::span<const uint8_t> in, int bytesPerSample, std::span<uint16_t> row) {
  size_t i = 0, o = 0;
  auto unit = [&](bool& ok) -> uint16_t {
    if (i + static_cast<size_t>(bytesPerSample) > in.size()) {
      ok = false;
      return 0;
    }
    uint16_t v = bytesPerSample == 1 ? in[i] : static_cast<uint16_t>((in[i] << 8) | in[i + 1]);
    i += static_cast<size_t>(bytesPerSample);
    return v;
  };
  bool ok = true;
  while (o < row.size()) {
    uint16_t control = unit(ok);
    if (!ok) break;
    size_t count = control & 0x7F;
    if (count == 0) break;
    if (control & 0x80) {
      for (size_t k = 0; k < count; ++k) {
        uint16_t v = unit(ok);
        if (!ok) return;
        if (o < row.size()) row[o++] = v;
      }
    } else {
      uint16_t v = unit(ok);
      if (!ok) return;
      for (size_t k = 0; k < count && o < row.size(); ++k) row[o++] = v;
    }
  }
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  ByteReader r(data, kTruncated);
  if (data.size() < kHeaderSize) throw Error("SGI header is truncated");
  if (r.u16be() != 474) throw Error("Not an SGI image file");
  int storage = r.u8();
  int bytesPerSample = r.u8();
  int dimension = r.u16be();
  int width = r.u16be(), height = r.u16be(), channels = r.u16be();
  r.skip(4 + 4 + 4 + 80);  // pixmin, pixmax, dummy, name
  uint32_t colormap = r.u32be();
  if (storage > 1) throw Error("SGI file has an unknown storage type");
  if (bytesPerSample != 1 && bytesPerSample != 2) throw Error("SGI file has an unsupported sample size");
  if (colormap != 0) throw Error("SGI colour-map and dithered images are not supported");
  if (dimension == 1)
    height = channels = 1;
  else if (dimension == 2)
    channels = 1;
  else if (dimension != 3)
    throw Error("SGI file has an invalid dimension count");
  if (channels < 1) throw Error("SGI file has no channels");
  checkImageSize(width, height);
  // Channels beyond the fourth carry nothing a picture shows.
  const int used = std::min(channels, 4);
  const size_t w = static_cast<size_t>(width);

  if (storage == 0) {
    uint64_t need = uint64_t{w} * height * channels * bytesPerSample;
    if (data.size() - kHeaderSize < need) throw Error(kTruncated);
  } else {
    uint64_t tables = uint64_t{8} * height * channels;
    if (data.size() - kHeaderSize < tables) throw Error(kTruncated);
  }

  DecodedImage out;
  Bitmap& bm = out.bitmap;
  if (used == 1) {
    bm.reset(width, height, 8);
    bm.setGreyPalette();
  } else {
    bm.reset(width, height, used == 3 ? 24 : 32);
    if (used != 3) bm.setAlphaMode(AlphaMode::kStraight);
  }
  const size_t px = static_cast<size_t>(bm.bitsPerPixel() / 8);
  // Byte position of each file channel in a pixel: grey (+alpha), or red, green, blue (+alpha).
  const int position[2][4] = {{0, 3, 0, 0}, {2, 1, 0, 3}};
  std::vector<uint16_t> row(w);
  for (int c = 0; c < used; ++c) {
    int pos = position[used <= 2 ? 0 : 1][c];
    for (int y = 0; y < height; ++y) {
      // Rows are stored from the bottom up.
      uint8_t* dst = bm.scanLine(height - 1 - y);
      if (storage == 0) {
        size_t offset = kHeaderSize + ((static_cast<size_t>(c) * height + y) * w) * bytesPerSample;
        const uint8_t* p = data.data() + offset;
        for (size_t x = 0; x < w; ++x)
          row[x] = bytesPerSample == 1 ? p[x] : static_cast<uint16_t>((p[2 * x] << 8) | p[2 * x + 1]);
      } else {
        std::fill(row.begin(), row.end(), 0);
        size_t index = static_cast<size_t>(c) * height + y;
        r.seek(kHeaderSize + 4 * index);
        uint32_t start = r.u32be();
        r.seek(kHeaderSize + 4 * (static_cast<size_t>(height) * channels + index));
        uint32_t length = r.u32be();
        if (start > data.size() || length > data.size() - start) throw Error(kTruncated);
        decodeRleRow(data.subspan(start, length), bytesPerSample, row);
      }
      for (size_t x = 0; x < w; ++x) {
        uint8_t v = bytesPerSample == 1 ? static_cast<uint8_t>(row[x]) : scale16To8(row[x]);
        uint8_t* d = dst + x * px;
        d[pos] = v;
        if (used == 2 && c == 0) d[1] = d[2] = v;
      }
    }
  }
  return out;
}

}  // namespace

const CodecDescriptor kSgiCodec{"SGI images", &decode};

}  // namespace brevane::codecs
