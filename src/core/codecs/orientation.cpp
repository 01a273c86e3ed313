// Image orientation as Exif numbers it, read from an Exif block or from a container's
// rotation and mirror properties.
#include "codecs/orientation.h"

#include <array>
#include <cstring>

#include "base/byte_reader.h"

namespace brevane::codecs {

int exifOrientation(std::span<const uint8_t> exif) {
  if (exif.size() >= 6 && std::memcmp(exif.data(), "Exif\0\0", 6) == 0) exif = exif.subspan(6);
  try {
    ByteReader r(exif);
    uint16_t order = r.u16le();
    bool little = order == 0x4949;
    if (!little && order != 0x4D4D) return 1;
    auto u16 = [&] { return little ? r.u16le() : r.u16be(); };
    auto u32 = [&] { return little ? r.u32le() : r.u32be(); };
    if (u16() != 42) return 1;
    r.seek(u32());
    uint16_t count = u16();
    for (uint16_t i = 0; i < count; ++i) {
      uint16_t tag = u16(), type = u16();
      uint32_t n = u32();
      if (tag != 0x0112) {
        r.skip(4);
        continue;
      }
      if (type != 3 || n < 1) return 1;  // SHORT, its value in the entry itself
      uint16_t v = u16();
      return v >= 1 && v <= 8 ? v : 1;
    }
  } catch (const Error&) {
  }
  return 1;
}

namespace {

// A turn or mirror as a 2 x 2 matrix on coordinates with x to the right and y upwards.
using Matrix = std::array<int, 4>;

Matrix multiply(const Matrix& a, const Matrix& b) {
  return {a[0] * b[0] + a[1] * b[2], a[0] * b[1] + a[1] * b[3], a[2] * b[0] + a[3] * b[2],
          a[2] * b[1] + a[3] * b[3]};
}

// What each Exif orientation does to the stored image to show it upright, indexed by value - 1:
// none, mirror left-right, half turn, mirror top-bottom, transpose, quarter turn clockwise,
// transverse, quarter turn anticlockwise.
constexpr std::array<Matrix, 8> kExifTransforms = {{{1, 0, 0, 1},
                                                    {-1, 0, 0, 1},
                                                    {-1, 0, 0, -1},
                                                    {1, 0, 0, -1},
                                                    {0, -1, -1, 0},
                                                    {0, 1, -1, 0},
                                                    {0, 1, 1, 0},
                                                    {0, -1, 1, 0}}};

}  // namespace

int orientationOf(int quarterTurns, Mirror mirror) {
  Matrix m = {1, 0, 0, 1};
  const Matrix anticlockwise = {0, -1, 1, 0};
  for (int i = 0; i < ((quarterTurns % 4) + 4) % 4; ++i) m = multiply(anticlockwise, m);
  if (mirror == Mirror::kLeftRight) m = multiply({-1, 0, 0, 1}, m);
  if (mirror == Mirror::kTopBottom) m = multiply({1, 0, 0, -1}, m);
  for (size_t i = 0; i < kExifTransforms.size(); ++i)
    if (kExifTransforms[i] == m) return static_cast<int>(i) + 1;
  return 1;
}

}  // namespace brevane::codecs
