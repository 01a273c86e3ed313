// Turning an image upright by its Exif orientation.
#include "imaging/orientation.h"

#include <algorithm>
#include <cstring>

namespace brevane::imaging {

namespace {

// Palette indexes of a 1- or 4-bit image spread to one byte each, with the same palette.
Bitmap unpackIndexes(const Bitmap& image) {
  Bitmap out(image.width(), image.height(), 8);
  out.palette() = image.palette();
  const int bpp = image.bitsPerPixel();
  const unsigned mask = (1u << bpp) - 1;
  for (int y = 0; y < image.height(); ++y) {
    const uint8_t* s = image.scanLine(y);
    uint8_t* d = out.scanLine(y);
    for (int x = 0; x < image.width(); ++x) {
      size_t bit = static_cast<size_t>(x) * bpp;
      d[x] = static_cast<uint8_t>((s[bit / 8] >> (8 - bpp - bit % 8)) & mask);
    }
  }
  return out;
}

// Where destination pixel (x, y) comes from in a w x h source.
struct SourceOf {
  int orientation, w, h;
  void operator()(int x, int y, int& sx, int& sy) const {
    switch (orientation) {
      case 2: sx = w - 1 - x, sy = y; break;
      case 3: sx = w - 1 - x, sy = h - 1 - y; break;
      case 4: sx = x, sy = h - 1 - y; break;
      case 5: sx = y, sy = x; break;
      case 6: sx = y, sy = h - 1 - x; break;
      case 7: sx = w - 1 - y, sy = h - 1 - x; break;
      case 8: sx = w - 1 - y, sy = x; break;
      default: sx = x, sy = y; break;
    }
  }
};

template <size_t N>
void copyTurned(const Bitmap& src, Bitmap& dst, const SourceOf& from) {
  // In tiles, so that the source's rows stay in the cache while a turn walks down its columns.
  constexpr int kTile = 64;
  for (int ty = 0; ty < dst.height(); ty += kTile) {
    for (int tx = 0; tx < dst.width(); tx += kTile) {
      const int yEnd = std::min(ty + kTile, dst.height()), xEnd = std::min(tx + kTile, dst.width());
      for (int y = ty; y < yEnd; ++y) {
        uint8_t* d = dst.scanLine(y) + static_cast<size_t>(tx) * N;
        for (int x = tx; x < xEnd; ++x, d += N) {
          int sx, sy;
          from(x, y, sx, sy);
          std::memcpy(d, src.scanLine(sy) + static_cast<size_t>(sx) * N, N);
        }
      }
    }
  }
}

}  // namespace

Bitmap orientBitmap(const Bitmap& image, int orientation) {
  if (orientation < 2 || orientation > 8 || image.empty()) return image;
  Bitmap unpacked;
  const Bitmap* src = &image;
  if (image.bitsPerPixel() < 8) {
    unpacked = unpackIndexes(image);
    src = &unpacked;
  }
  const bool swap = swapsSides(orientation);
  Bitmap out(swap ? src->height() : src->width(), swap ? src->width() : src->height(), src->bitsPerPixel());
  out.palette() = src->palette();
  out.setAlphaMode(src->alphaMode());
  if (image.transparentAuto())
    out.setTransparentAuto();
  else if (image.transparent())
    out.setTransparentColor(image.transparentColor());
  const SourceOf from{orientation, src->width(), src->height()};
  switch (src->bitsPerPixel()) {
    case 8: copyTurned<1>(*src, out, from); break;
    case 16: copyTurned<2>(*src, out, from); break;
    case 24: copyTurned<3>(*src, out, from); break;
    default: copyTurned<4>(*src, out, from); break;
  }
  return out;
}

}  // namespace brevane::imaging
