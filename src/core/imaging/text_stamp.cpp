// The text stamp: size fitting, placement, and the opaque or semi-transparent drawing.
#include "imaging/text_stamp.h"

#include <algorithm>
#include <cmath>

#include "imaging/blend.h"
#include "imaging/fonts.h"

namespace brevane::imaging {

namespace {

int roundToInt(double v) {
  return static_cast<int>(std::nearbyint(v));
}

uint8_t alphaOf(double v) {
  return static_cast<uint8_t>(std::clamp(roundToInt(v), 0, 255));
}

}  // namespace

StampAlphas stampAlphas(int opacity) {
  return {alphaOf(opacity / 100.0 * 75), alphaOf(opacity / 100.0 * 255)};
}

int fitFontSize(const FontChoice& font, const std::string& line, int imageWidth) {
  int s0 = font.size;
  if (s0 < kMinFittedSize) return s0;
  int limit = roundToInt(imageWidth * 0.35);
  // Sizes the renderer cannot draw are skipped as if they were too wide.
  for (int s = std::min(s0, kMaxFontPoints); s >= kMinFittedSize; --s)
    if (measureText(font, s, line).width <= limit) return s;
  return kMinFittedSize;
}

void stampText(Bitmap& image, bool hasAlphaPlane, const std::string& line, const TextStampOptions& options) {
  if (image.empty() || line.empty()) return;  // an empty line draws nothing
  const FontChoice& font = options.font;
  int W = image.width(), H = image.height();
  int size = fitFontSize(font, line, W);
  TextExtent extent = measureText(font, size, line);
  Point at = OverlayOrigin(options.position, W, H, extent.width, extent.height);
  FontChoice black = font;
  black.color = 0;

  int p = options.opacity;
  if (p >= 100) {
    if (image.bitsPerPixel() < 24) image.convertTo24();
    // Opaque text: the glyphs' antialiased coverage blends the colour over the image.
    if (options.shadow) blendText(image, line, 255, at.x + 1, at.y + 1, black, size);
    blendText(image, line, 255, at.x, at.y, font, size);
    return;
  }
  StampAlphas alphas = stampAlphas(p);
  // A 24-bit image that ends 24-bit is blended in place: the same colours as the round trip
  // through 32 bits, without converting every pixel of a large photo twice.
  auto draw = hasAlphaPlane || image.bitsPerPixel() != 24 ? &DrawAlphaText : &blendText;
  if (options.shadow) draw(image, line, alphas.shadow, at.x + 2, at.y + 2, black, size);
  draw(image, line, alphas.text, at.x, at.y, font, size);
  if (!hasAlphaPlane) image.convertTo24();
}

}  // namespace brevane::imaging
