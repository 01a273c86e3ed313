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

// Draws a 32-bit decoded image with alpha onto transparent white (alpha byte 0 everywhere).
void drawOverTransparentWhite(const DecodedImage& decoded, Bitmap& work) {
  const Bitmap& src = decoded.bitmap;
  bool pngFormula = decoded.kind == DecodedKind::kPng;
  AlphaMode mode = src.alphaMode();
  for (int y = 0; y < src.height(); ++y) {
    const uint8_t* s = src.scanLine(y);
    uint8_t* d = work.scanLine(y);
    for (int x = 0; x < src.width(); ++x, s += 4, d += 4) {
      unsigned a = s[3];
      if (!pngFormula && mode == AlphaMode::kUnmarked) {
        d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = s[3];
        continue;
      }
      if (!pngFormula && mode == AlphaMode::kPremultiplied) {
        for (int c = 0; c < 3; ++c) {
          unsigned v = s[c] + ((255 * (255 - a) + 127) / 255);
          d[c] = static_cast<uint8_t>(v > 255 ? 255 : v);
        }
        d[3] = static_cast<uint8_t>(a);
        continue;
      }
      // Colour over the working image: (d * (255 - a) + c * a + 127) div 255; alpha
      // 255 - ((255 - a) * (255 - e) + 127) div 255. Straight alpha uses the same blend.
      unsigned e = d[3];
      for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>((d[c] * (255 - a) + s[c] * a + 127) / 255);
      d[3] = static_cast<uint8_t>(255 - ((255 - a) * (255 - e) + 127) / 255);
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
  const Bitmap& src = decoded.bitmap;
  w.image.reset(src.width(), src.height(), 32);
  for (int y = 0; y < src.height(); ++y) {
    uint8_t* row = w.image.scanLine(y);
    for (int x = 0; x < src.width(); ++x) row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = 255;
  }
  w.image.setTransparentAuto();
  drawOverTransparentWhite(decoded, w.image);
  w.alpha.reset(src.width(), src.height(), 24);
  for (int y = 0; y < src.height(); ++y) {
    const uint8_t* s = w.image.scanLine(y);
    uint8_t* a = w.alpha.scanLine(y);
    for (int x = 0; x < src.width(); ++x) a[3 * x + 2] = s[4 * x + 3];
  }
  return w;
}

}  // namespace brevane
