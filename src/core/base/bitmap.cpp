// The image buffer: allocation, pixel access and layout conversions.
#include "base/bitmap.h"

#include <cstdarg>
#include <cstdio>

#include "base/error.h"
#include "base/memory_budget.h"

namespace brevane {

std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(out.data(), out.size() + 1, fmt, args);
  va_end(args);
  return out;
}

void checkImageSize(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) throw Error(format("Invalid image size %lldx%lld", (long long)width, (long long)height));
  if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kMaxImagePixels)
    throw Error(format("Image is too large (%lldx%lld pixels)", (long long)width, (long long)height));
  claimImageMemory(width, height);
}

size_t dibStride(int width, int bitsPerPixel) {
  return ((static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel) + 31) / 32) * 4;
}

Bitmap::Bitmap(int width, int height, int bitsPerPixel) { reset(width, height, bitsPerPixel); }

Bitmap::Bitmap(int width, int height, int bitsPerPixel, ForOverwrite) {
  resetForOverwrite(width, height, bitsPerPixel);
}

void Bitmap::allocate(int width, int height, int bitsPerPixel) {
  switch (bitsPerPixel) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: throw Error(format("Unsupported bitmap depth %d", bitsPerPixel));
  }
  if (width < 0 || height < 0) throw Error("Invalid image size");
  if (width != 0 && height != 0) checkImageSize(width, height);
  const size_t stride = dibStride(width, bitsPerPixel);
  m_data.allocate(stride * static_cast<size_t>(height));
  m_width = width;
  m_height = height;
  m_bpp = bitsPerPixel;
  m_stride = stride;
  m_palette.clear();
  m_alphaMode = AlphaMode::kUnmarked;
  clearTransparent();
}

void Bitmap::reset(int width, int height, int bitsPerPixel) {
  allocate(width, height, bitsPerPixel);
  fill(0);
}

void Bitmap::resetForOverwrite(int width, int height, int bitsPerPixel) {
  allocate(width, height, bitsPerPixel);
  const size_t used = (static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel) + 7) / 8;
  if (m_stride > used)
    for (int y = 0; y < height; ++y) std::memset(scanLine(y) + used, 0, m_stride - used);
}

void Bitmap::setGreyPalette() {
  m_palette.resize(256);
  for (int i = 0; i < 256; ++i) {
    auto v = static_cast<uint8_t>(i);
    m_palette[i] = {v, v, v, 0};
  }
}

Bgr Bitmap::pixel(int x, int y) const {
  const uint8_t* row = scanLine(y);
  auto lookup = [this](unsigned index) -> Bgr {
    if (index >= m_palette.size()) return {};
    const PaletteEntry& e = m_palette[index];
    return {e.b, e.g, e.r};
  };
  switch (m_bpp) {
    case 1: return lookup((row[x >> 3] >> (7 - (x & 7))) & 1);
    case 4: return lookup((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15);
    case 8: return lookup(row[x]);
    case 16: {
      unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
      auto expand = [](unsigned c) { return static_cast<uint8_t>((c << 3) | (c >> 2)); };
      return {expand(v & 31), expand((v >> 5) & 31), expand((v >> 10) & 31)};
    }
    case 24: return {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
    default: return {row[4 * x], row[4 * x + 1], row[4 * x + 2]};
  }
}

void Bitmap::convertTo24() {
  if (m_bpp == 24) return;
  if (m_bpp == 32) {
    // Within the same memory: row y of 24 bits starts at or before row y of 32 bits, and each
    // pixel is read before anything is written over it.
    const size_t stride = dibStride(m_width, 24);
    for (int y = 0; y < m_height; ++y) {
      const uint8_t* src = scanLine(y);
      uint8_t* dst = m_data.data() + static_cast<size_t>(y) * stride;
      for (int x = 0; x < m_width; ++x) {
        const uint8_t b = src[4 * x], g = src[4 * x + 1], r = src[4 * x + 2];
        dst[3 * x] = b;
        dst[3 * x + 1] = g;
        dst[3 * x + 2] = r;
      }
      std::memset(dst + 3 * static_cast<size_t>(m_width), 0, stride - 3 * static_cast<size_t>(m_width));
    }
    m_bpp = 24;
    m_stride = stride;
    m_data.truncate(stride * static_cast<size_t>(m_height));
    m_palette.clear();
    m_alphaMode = AlphaMode::kUnmarked;
    return;
  }
  Bitmap out(m_width, m_height, 24, kForOverwrite);
  for (int y = 0; y < m_height; ++y) {
    uint8_t* dst = out.scanLine(y);
    for (int x = 0; x < m_width; ++x) {
      Bgr c = pixel(x, y);
      dst[3 * x] = c.b;
      dst[3 * x + 1] = c.g;
      dst[3 * x + 2] = c.r;
    }
  }
  out.m_transparent = m_transparent;
  out.m_transparentAuto = m_transparentAuto;
  out.m_transparentColor = m_transparentColor;
  *this = std::move(out);
}

void Bitmap::convertTo32() {
  if (m_bpp == 32) return;
  Bitmap out(m_width, m_height, 32, kForOverwrite);
  for (int y = 0; y < m_height; ++y) {
    uint8_t* dst = out.scanLine(y);
    for (int x = 0; x < m_width; ++x) {
      Bgr c = pixel(x, y);
      dst[4 * x] = c.b;
      dst[4 * x + 1] = c.g;
      dst[4 * x + 2] = c.r;
      dst[4 * x + 3] = 255;
    }
  }
  out.m_transparent = m_transparent;
  out.m_transparentAuto = m_transparentAuto;
  out.m_transparentColor = m_transparentColor;
  *this = std::move(out);
}

Bitmap Bitmap::copyRect(int x, int y, int w, int h) const {
  if (x < 0 || y < 0 || w < 0 || h < 0 || x + w > m_width || y + h > m_height)
    throw Error("Rectangle outside the bitmap");
  Bitmap out = m_bpp >= 8 ? Bitmap(w, h, m_bpp, kForOverwrite) : Bitmap(w, h, m_bpp);
  out.m_palette = m_palette;
  out.m_alphaMode = m_alphaMode;
  for (int row = 0; row < h; ++row) {
    const uint8_t* src = scanLine(y + row);
    uint8_t* dst = out.scanLine(row);
    if (m_bpp >= 8) {
      size_t bpp = static_cast<size_t>(m_bpp / 8);
      std::memcpy(dst, src + static_cast<size_t>(x) * bpp, static_cast<size_t>(w) * bpp);
    } else {
      int per = 8 / m_bpp;
      unsigned mask = (1u << m_bpp) - 1;
      for (int i = 0; i < w; ++i) {
        int sx = x + i;
        unsigned v = (src[sx / per] >> ((per - 1 - sx % per) * m_bpp)) & mask;
        dst[i / per] |= static_cast<uint8_t>(v << ((per - 1 - i % per) * m_bpp));
      }
    }
  }
  return out;
}

const Bitmap& trueColour(const Bitmap& image, Bitmap& storage) {
  if (image.bitsPerPixel() == 24 || image.bitsPerPixel() == 32) return image;
  storage = image;
  storage.convertTo24();
  return storage;
}

Bgr Bitmap::transparentColor() const {
  if (!m_transparentAuto) return m_transparentColor;
  if (empty()) return {};
  return pixel(0, m_height - 1);
}

}  // namespace brevane
