// GIF writer and octree quantiser: giflib reads palettes and indexes back; transparency rule.
#include <gtest/gtest.h>

#include <set>

#include "core/codecs/reference_decoders.h"
#include "codecs/encoders.h"
#include "codecs/quantizer.h"
#include "engine/pipeline.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

Bgr colourAt(const test::GifRead& g, int x, int y) {
  const PaletteEntry& e = g.palette.at(g.indexes.at(static_cast<size_t>(y) * g.width + x));
  return {e.b, e.g, e.r};
}

TEST(GifWriter, PaletteImagesKeepPaletteAndIndexes) {
  for (int bpp : {1, 4, 8}) {
    Bitmap img(13, 5, bpp);
    int n = 1 << bpp;
    img.palette().resize(n);
    for (int i = 0; i < n; ++i) img.palette()[i] = {uint8_t(i * 3), uint8_t(i), uint8_t(255 - i), 0};
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 13; ++x) {
        int v = (x * 7 + y) % n;
        uint8_t* row = img.scanLine(y);
        int shift = 8 - bpp - (x * bpp) % 8;
        row[x * bpp / 8] = static_cast<uint8_t>(row[x * bpp / 8] | v << shift);
      }
    test::GifRead g = test::readGif(encodeGif(img));
    ASSERT_EQ(g.frames, 1);
    ASSERT_EQ(g.palette.size(), static_cast<size_t>(n));
    EXPECT_EQ(g.palette, img.palette()) << bpp;
    EXPECT_EQ(g.transparent, -1);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 13; ++x) ASSERT_EQ(g.indexes[y * 13 + x], (x * 7 + y) % n) << bpp;
  }
}

TEST(GifWriter, PaletteTransparencyUsesTheEntryOfTheColour) {
  Bitmap img(4, 2, 8);
  img.palette() = {{0, 0, 0, 0}, {9, 9, 9, 0}, {1, 2, 3, 0}, {9, 9, 9, 0}};  // entry 3 repeats entry 1
  img.scanLine(1)[0] = 3;  // bottom-left
  img.scanLine(0)[1] = 1;
  img.scanLine(0)[2] = 2;
  img.setTransparentAuto();
  test::GifRead g = test::readGif(encodeGif(img));
  EXPECT_EQ(g.transparent, 1);  // the first entry of that colour
  EXPECT_EQ(g.indexes[4], 1);   // the bottom-left pixel moved to it
  EXPECT_EQ(g.indexes[1], 1);
  EXPECT_EQ(g.indexes[2], 2);

  img.setTransparentColor({7, 7, 7});  // a colour the palette lacks: no transparency
  EXPECT_EQ(test::readGif(encodeGif(img)).transparent, -1);
}

TEST(GifWriter, FewColoursSurviveQuantisationExactly) {
  // 200 distinct colours fit the palette, so octree leaves are exact and diffusion adds nothing.
  Bitmap img(40, 25, 24);
  for (int y = 0; y < 25; ++y)
    for (int x = 0; x < 40; ++x) {
      int c = (x + y * 40) % 200;
      uint8_t* p = img.scanLine(y) + 3 * x;
      p[0] = static_cast<uint8_t>(c * 37), p[1] = static_cast<uint8_t>(c * 11 + 5), p[2] = static_cast<uint8_t>(c);
    }
  test::GifRead g = test::readGif(encodeGif(img));
  EXPECT_EQ(g.colorResolution, 8);
  EXPECT_LE(g.palette.size(), 256u);
  for (int y = 0; y < 25; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(colourAt(g, x, y), img.pixel(x, y)) << x << "," << y;
}

TEST(GifWriter, PhotosAreReducedTo256ColoursWithDiffusion) {
  Bitmap img = test::photoLike(120, 90, 8);
  QuantizedImage q = quantizeOctree(img, 256, nullptr);
  EXPECT_LE(q.palette.size(), 256u);
  EXPECT_GT(q.palette.size(), 128u);
  test::GifRead g = test::readGif(encodeGif(img));
  Bitmap back(120, 90, 24);
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 120; ++x) {
      Bgr c = colourAt(g, x, y);
      uint8_t* p = back.scanLine(y) + 3 * x;
      p[0] = c.b, p[1] = c.g, p[2] = c.r;
    }
  EXPECT_GT(test::psnr(back, img), 28.0);
  // Diffusion keeps the local mean: the average colour of the image moves by less than 2 levels.
  double sum[2] = {0, 0};
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 120; ++x) sum[0] += img.pixel(x, y).r, sum[1] += back.pixel(x, y).r;
  EXPECT_NEAR(sum[0] / (120 * 90), sum[1] / (120 * 90), 2.0);
  // One colour only: a palette of one entry, written with the smallest legal colour map.
  Bitmap flat(7, 7, 32);
  flat.fill(0x40);
  test::GifRead f = test::readGif(encodeGif(flat));
  EXPECT_EQ(f.palette.size(), 2u);
  EXPECT_EQ(colourAt(f, 6, 6), (Bgr{0x40, 0x40, 0x40}));
}

// A logo with alpha as the pipeline builds it: corners transparent, white inside a red disc.
TEST(GifWriter, LogoWithTransparentCornersHasItsWhitePixelsTransparent) {
  DecodedImage decoded;
  decoded.kind = DecodedKind::kPng;
  decoded.pngColorType = 6;
  decoded.bitmap = Bitmap(32, 32, 32);
  decoded.bitmap.setAlphaMode(AlphaMode::kStraight);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      uint8_t* p = decoded.bitmap.scanLine(y) + 4 * x;
      int dx = x - 16, dy = y - 16, d2 = dx * dx + dy * dy;
      if (d2 > 15 * 15) continue;                                           // transparent corner
      bool inner = d2 < 6 * 6;
      p[0] = inner ? 255 : 0, p[1] = inner ? 255 : 0, p[2] = 255, p[3] = 255;  // white centre, red ring
    }
  WorkingImage w = buildWorkingImage(std::move(decoded));
  test::GifRead g = test::readGif(encodeGif(w.image));
  ASSERT_GE(g.transparent, 0);
  int whites = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      bool white = w.image.pixel(x, y) == Bgr{255, 255, 255};
      whites += white;
      ASSERT_EQ(g.indexes[y * 32 + x] == g.transparent, white) << x << "," << y;
    }
  EXPECT_GT(whites, 32 * 4);
  // The red ring keeps its colour.
  EXPECT_EQ(colourAt(g, 16, 4), (Bgr{0, 0, 255}));

  // Without the mark nothing is transparent.
  w.image.clearTransparent();
  EXPECT_EQ(test::readGif(encodeGif(w.image)).transparent, -1);
}

}  // namespace
}  // namespace brevane::codecs
