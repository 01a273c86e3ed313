// Windows metafile and enhanced metafile reader: the header's picture size, no pixels.
#include <cmath>
#include <cstdlib>

#include "base/byte_reader.h"
#include "base/error.h"
#include "codecs/codec.h"

namespace brevane::codecs {
namespace {

constexpr const char* kInvalid = "Metafile is not valid";
constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr double kScreenDpi = 96.0;
// Records looked at when a plain WMF is searched for its window extent.
constexpr int kMaxRecords = 100000;

[[noreturn]] void invalid() { throw Error(kInvalid); }

int clampSize(double v) {
  if (!(v >= 0)) return 0;
  return v > 1e9 ? 1000000000 : static_cast<int>(std::lround(v));
}

// Placeable WMF: bounding box in logical units and the units per inch.
void placeable(ByteReader& r, DecodedImage& image) {
  r.skip(2);  // handle
  int left = r.s16le(), top = r.s16le(), right = r.s16le(), bottom = r.s16le();
  unsigned inch = r.u16le();
  if (inch == 0) inch = 1440;
  image.width = clampSize(std::abs(right - left) * kScreenDpi / inch);
  image.height = clampSize(std::abs(bottom - top) * kScreenDpi / inch);
}

// Plain WMF: the standard header, then records; the size is the first SetWindowExt.
void plainWmf(ByteReader& r, DecodedImage& image) {
  uint16_t type = r.u16le();
  uint16_t headerWords = r.u16le();
  uint16_t version = r.u16le();
  if ((type != 1 && type != 2) || headerWords != 9 || (version != 0x0100 && version != 0x0300)) invalid();
  r.seek(18);
  for (int i = 0; i < kMaxRecords && r.remaining() >= 6; ++i) {
    size_t start = r.pos();
    uint32_t words = r.u32le();
    uint16_t function = r.u16le();
    if (function == 0 || words < 3) break;  // end of file record, or a broken size
    if (function == 0x020C && words >= 5) {  // SetWindowExt: height, width
      int h = r.s16le(), w = r.s16le();
      image.width = std::abs(w);
      image.height = std::abs(h);
      return;
    }
    if (static_cast<uint64_t>(words) * 2 > r.size() - start) break;
    r.seek(start + static_cast<size_t>(words) * 2);
  }
}

// EMF: the header's frame (0.01 mm) scaled by the reference device's pixels per millimetre.
void emf(ByteReader& r, DecodedImage& image) {
  r.seek(0);
  if (r.u32le() != 1) invalid();
  uint32_t headerSize = r.u32le();
  if (headerSize < 88 || headerSize > r.size()) invalid();
  int32_t bounds[4], frame[4];
  for (int32_t& v : bounds) v = r.s32le();
  for (int32_t& v : frame) v = r.s32le();
  if (r.u32le() != kEmfSignature) invalid();
  r.seek(72);
  int32_t deviceX = r.s32le(), deviceY = r.s32le(), mmX = r.s32le(), mmY = r.s32le();
  double fw = static_cast<double>(frame[2]) - frame[0], fh = static_cast<double>(frame[3]) - frame[1];
  if (deviceX > 0 && deviceY > 0 && mmX > 0 && mmY > 0 && fw > 0 && fh > 0) {
    image.width = clampSize(fw * deviceX / (mmX * 100.0));
    image.height = clampSize(fh * deviceY / (mmY * 100.0));
  } else {
    image.width = clampSize(static_cast<double>(bounds[2]) - bounds[0] + 1);
    image.height = clampSize(static_cast<double>(bounds[3]) - bounds[1] + 1);
  }
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  ByteReader r(data, kInvalid);
  DecodedImage image;
  image.kind = DecodedKind::kMetafile;
  uint32_t first = r.u32le();
  if (first == kPlaceableKey) {
    placeable(r, image);
  } else if (first == 1 && data.size() >= 44 && (data[40] | (data[41] << 8) | (data[42] << 16) |
                                                 (static_cast<uint32_t>(data[43]) << 24)) == kEmfSignature) {
    emf(r, image);
  } else {
    r.seek(0);
    plainWmf(r, image);
  }
  return image;
}

}  // namespace

const CodecDescriptor kMetafileCodec{"Windows metafiles", &decode};

}  // namespace brevane::codecs
