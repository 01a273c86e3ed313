// The image buffer: a device-independent bitmap addressed by scan line.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "base/byte_buffer.h"

namespace brevane {

/// One palette entry, in the byte order of a Windows RGBQUAD.
struct PaletteEntry {
  uint8_t b = 0, g = 0, r = 0, reserved = 0;
  bool operator==(const PaletteEntry&) const = default;
};

/// How the fourth byte of a 32-bit bitmap is to be read when it is drawn.
enum class AlphaMode : uint8_t {
  kUnmarked,       // plain 32-bit bitmap: copied byte for byte
  kStraight,       // straight (not premultiplied) alpha
  kPremultiplied,  // colour already multiplied by alpha
};

/// A colour in the bitmap's byte order (blue, green, red).
struct Bgr {
  uint8_t b = 0, g = 0, r = 0;
  bool operator==(const Bgr&) const = default;
};

/// Largest image the engine accepts: 1 GiB of 32-bit working image. Checked against the
/// declared size of a file before anything is allocated for it.
inline constexpr uint64_t kMaxImagePixels = (uint64_t{1} << 30) / 4;

/// Throws brevane::Error when width x height is zero, negative or above kMaxImagePixels, or
/// when the memory claim active on this thread cannot cover it (base/memory_budget.h).
void checkImageSize(int64_t width, int64_t height);

/// A bitmap of 1, 4, 8, 16 (5-5-5), 24 or 32 bits per pixel. Rows are stored top row first;
/// each row is padded to a multiple of 4 bytes as in a DIB. Pixel bytes are blue, green, red
/// (and alpha for 32 bits); 1/4/8-bit pixels are palette indexes, most significant bits first.
class Bitmap {
 public:
  Bitmap() = default;
  /// A zero-filled bitmap. Sizes are validated with checkImageSize (0 x 0 is allowed: empty).
  Bitmap(int width, int height, int bitsPerPixel);
  /// Tag of the constructor for a bitmap whose pixels the caller writes at once.
  struct ForOverwrite {};
  static constexpr ForOverwrite kForOverwrite{};
  /// A bitmap whose pixel bytes are unspecified until written (row padding is zero).
  Bitmap(int width, int height, int bitsPerPixel, ForOverwrite);

  int width() const { return m_width; }
  int height() const { return m_height; }
  int bitsPerPixel() const { return m_bpp; }
  size_t stride() const { return m_stride; }
  bool empty() const { return m_width == 0 || m_height == 0; }

  uint8_t* scanLine(int y) { return m_data.data() + static_cast<size_t>(y) * m_stride; }
  const uint8_t* scanLine(int y) const { return m_data.data() + static_cast<size_t>(y) * m_stride; }
  uint8_t* data() { return m_data.data(); }
  const uint8_t* data() const { return m_data.data(); }
  size_t byteSize() const { return m_data.size(); }

  /// Re-allocates as a zero-filled bitmap; keeps nothing of the old pixels, palette or marks.
  void reset(int width, int height, int bitsPerPixel);
  /// As reset, but the pixel bytes are left unspecified for a caller that writes every one of
  /// them (a decoder's rows, a resampler's output); only the row padding is zeroed. Saves
  /// filling memory that is overwritten at once.
  void resetForOverwrite(int width, int height, int bitsPerPixel);
  /// Fills every byte of the pixel data with a value.
  void fill(uint8_t value) {
    if (!m_data.empty()) std::memset(m_data.data(), value, m_data.size());
  }

  std::vector<PaletteEntry>& palette() { return m_palette; }
  const std::vector<PaletteEntry>& palette() const { return m_palette; }
  /// Sets a 256-entry grey palette (entry i = i, i, i).
  void setGreyPalette();

  /// Colour of pixel (x, y) in any layout (palette looked up; a missing entry reads black).
  Bgr pixel(int x, int y) const;

  /// Converts to 24 bits per pixel (palette resolved, 5-5-5 expanded, alpha dropped); a
  /// 32-bit bitmap is converted within its own memory.
  void convertTo24();
  /// Converts in place to 32 bits per pixel; pixels that had no alpha get 255.
  void convertTo32();
  /// A new bitmap holding the rectangle (x, y, w, h), which must lie inside this one.
  Bitmap copyRect(int x, int y, int w, int h) const;

  AlphaMode alphaMode() const { return m_alphaMode; }
  void setAlphaMode(AlphaMode mode) { m_alphaMode = mode; }

  /// Transparent-colour mark: none, a fixed colour, or automatic (the bottom-left pixel
  /// at the moment it is used).
  bool transparent() const { return m_transparent; }
  bool transparentAuto() const { return m_transparentAuto; }
  void setTransparentColor(Bgr colour) {
    m_transparent = true;
    m_transparentAuto = false;
    m_transparentColor = colour;
  }
  void setTransparentAuto() {
    m_transparent = true;
    m_transparentAuto = true;
  }
  void clearTransparent() { m_transparent = m_transparentAuto = false; }
  /// The transparent colour now: the fixed colour, or the bottom-left pixel's colour.
  Bgr transparentColor() const;

 private:
  int m_width = 0;
  int m_height = 0;
  int m_bpp = 24;
  size_t m_stride = 0;
  // Sets the size fields and allocates the pixels without filling them.
  void allocate(int width, int height, int bitsPerPixel);

  ByteBuffer m_data;
  std::vector<PaletteEntry> m_palette;
  AlphaMode m_alphaMode = AlphaMode::kUnmarked;
  bool m_transparent = false;
  bool m_transparentAuto = false;
  Bgr m_transparentColor;
};

/// The image itself when it has 24 or 32 bits per pixel, otherwise a 24-bit copy kept in
/// `storage` (palette and 5-5-5 layouts resolved).
const Bitmap& trueColour(const Bitmap& image, Bitmap& storage);

/// Bytes of one row of `width` pixels at `bitsPerPixel`, padded to 4 bytes.
size_t dibStride(int width, int bitsPerPixel);

}  // namespace brevane
