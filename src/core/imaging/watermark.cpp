// The image watermark: decoded per image through the registry and drawn at its position.
#include "imaging/watermark.h"

#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "codecs/registry.h"
#include "imaging/blend.h"

namespace brevane::imaging {

namespace {

// The clipped rectangle where a w x h picture at (x, y) meets the image.
struct Span {
  int skipX = 0, skipY = 0, dx = 0, dy = 0, w = 0, h = 0;
};

Span clipTo(const Bitmap& image, int x, int y, int w, int h) {
  Span s;
  s.skipX = x < 0 ? static_cast<int>(std::min<int64_t>(-int64_t{x}, w)) : 0;
  s.skipY = y < 0 ? static_cast<int>(std::min<int64_t>(-int64_t{y}, h)) : 0;
  s.dx = std::max(x, 0);
  s.dy = std::max(y, 0);
  s.w = static_cast<int>(std::max<int64_t>(0, std::min<int64_t>(int64_t{w} - s.skipX, int64_t{image.width()} - s.dx)));
  s.h = static_cast<int>(std::max<int64_t>(0, std::min<int64_t>(int64_t{h} - s.skipY, int64_t{image.height()} - s.dy)));
  return s;
}

// Copies the picture's colours, leaving out the transparent colour when `keyed` is set.
void copyPicture(Bitmap& image, const Bitmap& picture, Point at, bool keyed) {
  Span s = clipTo(image, at.x, at.y, picture.width(), picture.height());
  if (s.w <= 0 || s.h <= 0) return;
  Bgr key = keyed ? picture.transparentColor() : Bgr{};
  size_t step = static_cast<size_t>(image.bitsPerPixel() / 8);
  for (int row = 0; row < s.h; ++row) {
    uint8_t* d = image.scanLine(s.dy + row) + static_cast<size_t>(s.dx) * step;
    for (int col = 0; col < s.w; ++col, d += step) {
      Bgr c = picture.pixel(s.skipX + col, s.skipY + row);
      if (keyed && c == key) continue;
      d[0] = c.b;
      d[1] = c.g;
      d[2] = c.r;
    }
  }
}

// A premultiplied picture as straight alpha, so that one blend serves both.
Bitmap straightened(const Bitmap& picture) {
  Bitmap out = picture;
  for (int y = 0; y < out.height(); ++y) {
    uint8_t* p = out.scanLine(y);
    for (int x = 0; x < out.width(); ++x, p += 4) {
      unsigned a = p[3];
      for (int c = 0; c < 3; ++c)
        p[c] = a == 0 ? 0 : static_cast<uint8_t>(std::min(255.0, std::nearbyint(p[c] * 255.0 / a)));
    }
  }
  out.setAlphaMode(AlphaMode::kStraight);
  return out;
}

}  // namespace

void drawWatermarkImage(Bitmap& image, const codecs::DecodedImage& watermark, int position) {
  const Bitmap& picture = watermark.bitmap;
  if (watermark.kind == codecs::DecodedKind::kMetafile || picture.empty())
    throw Error("The watermark picture has no pixels to draw");
  if (image.empty()) return;
  if (image.bitsPerPixel() < 24) image.convertTo24();
  Point at = OverlayOrigin(position, image.width(), image.height(), picture.width(), picture.height());
  bool is32 = picture.bitsPerPixel() == 32;
  if (is32 && watermark.kind == codecs::DecodedKind::kPng && watermark.pngColorType == 6) {
    BlendOverlay(image, picture, at.x, at.y);
  } else if (is32 && picture.alphaMode() == AlphaMode::kStraight) {
    BlendOverlay(image, picture, at.x, at.y);
  } else if (is32 && picture.alphaMode() == AlphaMode::kPremultiplied) {
    BlendOverlay(image, straightened(picture), at.x, at.y);
  } else {
    copyPicture(image, picture, at, picture.transparent());
  }
}

void drawWatermark(Bitmap& image, const WatermarkOptions& options) {
  codecs::DecodedImage watermark = codecs::loadImage(options.path);
  drawWatermarkImage(image, watermark, options.position);
}

}  // namespace brevane::imaging
