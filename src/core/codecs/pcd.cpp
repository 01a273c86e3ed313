// Kodak Photo CD reader (.pcd): the base image (768 by 512) of an image pac, PhotoYCC 4:2:0
// converted to RGB and turned upright as the file's orientation says.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/error.h"
#include "codecs/codec.h"

namespace brevane::codecs {
namespace {

constexpr size_t kSector = 2048;
constexpr size_t kInfoOffset = kSector;        // "PCD_IPI" image pac information
constexpr size_t kOrientationOffset = 0x0E02;  // low two bits: quarter turns counter-clockwise
constexpr size_t kBaseOffset = 96 * kSector;   // the base image: 768 x 512
constexpr int kWidth = 768, kHeight = 512;

uint8_t clamp8(double v) {
  return static_cast<uint8_t>(std::clamp(std::nearbyint(v), 0.0, 255.0));
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  if (data.size() < kInfoOffset + 7 || std::memcmp(data.data() + kInfoOffset, "PCD_IPI", 7) != 0)
    throw Error("Not a Kodak Photo CD image pac");
  const size_t baseBytes = size_t{kWidth} * kHeight * 3 / 2;
  if (data.size() < kBaseOffset + baseBytes) throw Error("Photo CD file is truncated (no base image)");
  int turns = data[kOrientationOffset] & 3;

  // Stored as pairs of rows: two luma rows of 768 bytes, then one row each of the two chroma
  // planes at half resolution (384 bytes).
  Bitmap upright(kWidth, kHeight, 24);
  const uint8_t* base = data.data() + kBaseOffset;
  for (int pair = 0; pair < kHeight / 2; ++pair) {
    const uint8_t* block = base + static_cast<size_t>(pair) * (kWidth * 3);
    const uint8_t* c1Row = block + 2 * kWidth;
    const uint8_t* c2Row = c1Row + kWidth / 2;
    for (int k = 0; k < 2; ++k) {
      const uint8_t* yRow = block + k * kWidth;
      uint8_t* dst = upright.scanLine(2 * pair + k);
      for (int x = 0; x < kWidth; ++x) {
        // PhotoYCC to RGB, with luma and chroma rescaled from their 8-bit coding.
        double luma = 1.3584 * yRow[x];
        double c1 = 2.2179 * (c1Row[x / 2] - 156.0);
        double c2 = 1.8215 * (c2Row[x / 2] - 137.0);
        dst[3 * x + 2] = clamp8(luma + c2);
        dst[3 * x + 1] = clamp8(luma - 0.194 * c1 - 0.509 * c2);
        dst[3 * x + 0] = clamp8(luma + c1);
      }
    }
  }
  DecodedImage out;
  if (turns == 0) {
    out.bitmap = std::move(upright);
    return out;
  }
  // 1: a quarter turn counter-clockwise, 2: a half turn, 3: a quarter turn clockwise.
  bool quarter = turns != 2;
  Bitmap& bm = out.bitmap;
  bm.reset(quarter ? kHeight : kWidth, quarter ? kWidth : kHeight, 24);
  for (int y = 0; y < bm.height(); ++y) {
    uint8_t* dst = bm.scanLine(y);
    for (int x = 0; x < bm.width(); ++x) {
      int sx, sy;
      if (turns == 1)
        sx = kWidth - 1 - y, sy = x;
      else if (turns == 3)
        sx = y, sy = kHeight - 1 - x;
      else
        sx = kWidth - 1 - x, sy = kHeight - 1 - y;
      std::memcpy(dst + 3 * x, upright.scanLine(sy) + 3 * sx, 3);
    }
  }
  return out;
}

}  // namespace

const CodecDescriptor kPcdCodec{"Kodak Photo-CD images", &decode};

}  // namespace brevane::codecs
