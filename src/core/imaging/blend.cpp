// Placement and alpha blending shared by the text stamp and the image watermark.
#include "imaging/blend.h"

#include <algorithm>
#include <cmath>

#include "imaging/fonts.h"

namespace brevane::imaging {

Point OverlayOrigin(int position, int W, int H, int w, int h) {
  constexpr int kMargin = 10;
  switch (position) {
    case 1: return {W / 2 - w / 2, kMargin};
    case 2: return {W - w - kMargin, kMargin};
    case 3: return {W / 2 - w / 2, H / 2 - h / 2};
    case 4: return {kMargin, H - h - kMargin};
    case 5: return {W / 2 - w / 2, H - h - kMargin};
    case 6: return {W - w - kMargin, H - h - kMargin};
    default: return {kMargin, kMargin};
  }
}

void BlendOverlay(Bitmap& image, const Bitmap& overlay, int x, int y) {
  if (overlay.bitsPerPixel() != 32 || overlay.empty() || image.empty()) return;
  int ow = overlay.width(), oh = overlay.height();
  int cw = image.width(), ch = image.height();
  // 64-bit sums: an overlay corner far outside the image must not overflow.
  if (y >= ch || x >= cw || int64_t{y} + oh - 1 < 0 || int64_t{x} + ow - 1 < 0) return;
  int skipX = x < 0 ? -x : 0, skipY = y < 0 ? -y : 0;
  int dx = std::max(x, 0), dy = std::max(y, 0);
  int w = static_cast<int>(std::min<int64_t>(int64_t{ow} - skipX, int64_t{cw} - dx));
  int h = static_cast<int>(std::min<int64_t>(int64_t{oh} - skipY, int64_t{ch} - dy));
  if (w <= 0 || h <= 0) return;
  if (image.bitsPerPixel() < 24) image.convertTo24();
  size_t step = static_cast<size_t>(image.bitsPerPixel() / 8);
  for (int row = 0; row < h; ++row) {
    const uint8_t* s = overlay.scanLine(skipY + row) + static_cast<size_t>(skipX) * 4;
    uint8_t* d = image.scanLine(dy + row) + static_cast<size_t>(dx) * step;
    for (int col = 0; col < w; ++col, s += 4, d += step) {
      unsigned a = s[3];
      if (a == 0) continue;  // f = 0 leaves the pixel exactly as it is
      double f = a / 255.0;
      for (int c = 0; c < 3; ++c) {
        double v = std::nearbyint((static_cast<double>(s[c]) - d[c]) * f + d[c]);
        d[c] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
      }
    }
  }
}

void DrawAlphaText(Bitmap& image, const std::string& text, uint8_t alpha, int x, int y, const FontChoice& font,
                   int sizePoints) {
  image.convertTo32();
  blendText(image, text, alpha, x, y, font, sizePoints);
}

void blendText(Bitmap& image, const std::string& text, uint8_t alpha, int x, int y, const FontChoice& font,
               int sizePoints) {
  if (image.empty()) return;
  // Only the part of the line that can land on the image is rendered.
  LineRect window{-x, -y, image.width(), image.height()};
  Coverage mask = renderText(font, sizePoints, text, window);
  if (mask.empty()) return;
  Bgr colour = fontColor(font);
  Bitmap overlay(mask.width, mask.height, 32);
  for (int row = 0; row < mask.height; ++row) {
    uint8_t* d = overlay.scanLine(row);
    for (int col = 0; col < mask.width; ++col, d += 4) {
      d[0] = colour.b;
      d[1] = colour.g;
      d[2] = colour.r;
      d[3] = static_cast<uint8_t>(std::nearbyint(mask.at(col, row) * alpha / 255.0));
    }
  }
  BlendOverlay(image, overlay, x + mask.left, y + mask.top);
}

}  // namespace brevane::imaging
