// The text stamp: size fitting, placement, and the opaque or semi-transparent drawing.
#include "imaging/text_stamp.h"

#include <algorithm>
#include <cmath>

#include "imaging/blend.h"
#include "imaging/fonts.h"

namespace brevane::imaging {

namespace {

int roundToInt(double v) { return static_cast<int>(std::nearbyint(v)); }

uint8_t alphaOf(double v) { return static_cast<uint8_t>(std::clamp(roundToInt(v), 0, 255)); }

// Opaque drawing: the glyphs' antialiased coverage blends the colour over the image; the
// image keeps its layout (anything below 24 bits becomes 24-bit).
void drawOpaqueText(Bitmap& image, const std::string& line, int x, int y, const FontSpec& font, int size) {
  LineRect window{-x, -y, image.width(), image.height()};
  Coverage mask = renderText(font, size, line, window);
  if (mask.empty()) return;
  Bgr colour = fontColor(font);
  Bitmap overlay(mask.width, mask.height, 32);
  for (int row = 0; row < mask.height; ++row) {
    uint8_t* d = overlay.scanLine(row);
    for (int col = 0; col < mask.width; ++col, d += 4) {
      d[0] = colour.b;
      d[1] = colour.g;
      d[2] = colour.r;
      d[3] = mask.at(col, row);
    }
  }
  BlendOverlay(image, overlay, x + mask.left, y + mask.top);
}

}  // namespace

StampAlphas stampAlphas(int opacity) {
  return {alphaOf(opacity / 100.0 * 75), alphaOf(opacity / 100.0 * 255)};
}

int fitFontSize(const FontSpec& font, const std::string& line, int imageWidth) {
  int s0 = font.size;
  if (s0 < kMinFittedSize) return s0;
  int limit = roundToInt(imageWidth * 0.35);
  for (int s = s0; s >= kMinFittedSize; --s)
    if (measureText(font, s, line).width <= limit) return s;
  return kMinFittedSize;
}

void stampText(Bitmap& image, bool hasAlphaPlane, const std::string& line, const TConversionSettings& settings) {
  if (image.empty()) return;
  const FontSpec& font = settings.Text_Font;
  int W = image.width(), H = image.height();
  int size = fitFontSize(font, line, W);
  TextExtent extent = measureText(font, size, line);
  Point at = OverlayOrigin(settings.Text_position, W, H, extent.width, extent.height);
  FontSpec black = font;
  black.color = 0;

  int p = settings.Text_opacity;
  if (p >= 100) {
    if (image.bitsPerPixel() < 24) image.convertTo24();
    if (settings.Text_Shadow) drawOpaqueText(image, line, at.x + 1, at.y + 1, black, size);
    drawOpaqueText(image, line, at.x, at.y, font, size);
    return;
  }
  StampAlphas alphas = stampAlphas(p);
  if (settings.Text_Shadow) DrawAlphaText(image, line, alphas.shadow, at.x + 2, at.y + 2, black, size);
  DrawAlphaText(image, line, alphas.text, at.x, at.y, font, size);
  if (!hasAlphaPlane) image.convertTo24();
}

}  // namespace brevane::imaging
