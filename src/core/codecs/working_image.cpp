// The working image: the has-alpha rule and the drawing onto transparent white.
#include "codecs/working_image.h"

#include "base/error.h"

namespace brevane {

using codecs::DecodedImage;
using codecs::DecodedKind;

bool decodedHasAlpha(const DecodedImage& decoded) {
  switch (decoded.kind) {
    case DecodedKind::kPng: return decoded.pngColorType == 6;
    case DecodedKind::kBitmap: return decoded.reportsAlpha || decoded.bitmap.bitsPerPixel() == 32;
    default: return false;
  }
}

namespace {

// Draws a 32-bit decoded image with alpha onto transparent white (255, 255, 255 with alpha 0),
// within its own memory: each result pixel depends on its source pixel alone.
void drawOverTransparentWhite(Bitmap& image, bool pngFormula) {
  const AlphaMode mode = image.alphaMode();
  if (!pngFormula && mode == AlphaMode::kUnmarked) return;  // copied byte for byte, alpha included
  for (int y = 0; y < image.height(); ++y) {
    uint8_t* p = image.scanLine(y);
    for (int x = 0; x < image.width(); ++x, p += 4) {
      const unsigned a = p[3];
      if (!pngFormula && mode == AlphaMode::kPremultiplied) {
        for (int c = 0; c < 3; ++c) {
          unsigned v = p[c] + ((255 * (255 - a) + 127) / 255);
          p[c] = static_cast<uint8_t>(v > 255 ? 255 : v);
        }
        continue;
      }
      // Colour over white: (255 * (255 - a) + c * a + 127) div 255; the alpha byte,
      // 255 - ((255 - a) * (255 - 0) + 127) div 255, is a itself. Straight alpha uses the same
      // blend.
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>((255 * (255 - a) + p[c] * a + 127) / 255);
    }
  }
}

}  // namespace

WorkingImage buildWorkingImage(DecodedImage&& decoded) {
  if (decoded.kind == DecodedKind::kMetafile) throw Error("Metafile pictures cannot be converted");
  WorkingImage w;
  w.hasAlpha = decodedHasAlpha(decoded);
  if (!w.hasAlpha) {
    w.image = std::move(decoded.bitmap);
    return w;
  }
  if (decoded.bitmap.bitsPerPixel() != 32) {
    AlphaMode mode = decoded.bitmap.alphaMode();
    decoded.bitmap.convertTo32();
    decoded.bitmap.setAlphaMode(mode);
  }
  // The decoded pixels become the working image in place.
  w.image = std::move(decoded.bitmap);
  drawOverTransparentWhite(w.image, decoded.kind == DecodedKind::kPng);
  w.image.palette().clear();
  w.image.setAlphaMode(AlphaMode::kUnmarked);
  w.image.setTransparentAuto();
  const int width = w.image.width(), height = w.image.height();
  w.alpha.resetForOverwrite(width, height, 24);
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = w.image.scanLine(y);
    uint8_t* a = w.alpha.scanLine(y);
    for (int x = 0; x < width; ++x) {
      a[3 * x] = a[3 * x + 1] = 0;
      a[3 * x + 2] = s[4 * x + 3];
    }
  }
  return w;
}

}  // namespace brevane
