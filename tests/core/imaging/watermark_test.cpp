// The image watermark: placement, clipping, straight alpha, transparent colour, failures.
#include "imaging/watermark.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "codecs/encoders.h"
#include "support/test_support.h"

namespace brevane::imaging {
namespace {

using codecs::DecodedImage;
using codecs::DecodedKind;

Bitmap solid(int w, int h, Bgr c, int bpp = 24) {
  Bitmap b(w, h, bpp);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = b.scanLine(y) + x * (bpp / 8);
      p[0] = c.b, p[1] = c.g, p[2] = c.r;
      if (bpp == 32) p[3] = 255;
    }
  return b;
}

std::string writeBmp(const Bitmap& b, const std::string& name) {
  std::string path = test::makeTempDir("wm") + name;
  test::writeBytes(path, codecs::encodeBmp(b));
  return path;
}

// A PNG logo as the PNG reader delivers it: 32 bits, straight alpha rising from 0 at the left
// edge to 255 at the right.
DecodedImage softLogo(int w, int h, Bgr c) {
  DecodedImage d;
  d.kind = DecodedKind::kPng;
  d.pngColorType = 6;
  d.bitmap = solid(w, h, c, 32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) d.bitmap.scanLine(y)[4 * x + 3] = static_cast<uint8_t>(x * 255 / (w - 1));
  d.width = w, d.height = h;
  return d;
}

TEST(WatermarkTest, DefaultPositionPutsA200By100MarkAt590And490) {
  const Bgr grey{50, 50, 50}, mark{10, 200, 30};
  Bitmap image = solid(800, 600, grey);
  drawWatermark(image, {writeBmp(solid(200, 100, mark), "mark.bmp"), 6});
  EXPECT_EQ(image.pixel(590, 490), mark);
  EXPECT_EQ(image.pixel(789, 589), mark);
  EXPECT_EQ(image.pixel(589, 490), grey);
  EXPECT_EQ(image.pixel(590, 489), grey);
  EXPECT_EQ(image.pixel(790, 589), grey);
  EXPECT_EQ(image.pixel(789, 590), grey);
}

TEST(WatermarkTest, ALargerMarkAtTheCentreShowsItsMiddle) {
  Bitmap picture = test::patternImage(50, 40, 24, 5);
  Bitmap image = solid(30, 20, {0, 0, 0});
  drawWatermark(image, {writeBmp(picture, "big.bmp"), 3});
  // Corner (15 - 25, 10 - 20) = (-10, -10).
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(image.pixel(x, y), picture.pixel(x + 10, y + 10)) << x << "," << y;
}

TEST(WatermarkTest, SoftEdgesBlendWithStraightAlphaWhereA24BitCopyCoversAll) {
  const Bgr white{255, 255, 255};
  DecodedImage logo = softLogo(52, 4, white);
  Bitmap image = solid(100, 30, {0, 0, 0});
  drawWatermarkImage(image, logo, 0);
  for (int x = 0; x < 52; ++x) {
    int a = x * 255 / 51;  // white over black: the result is the alpha itself
    EXPECT_EQ(image.pixel(10 + x, 11).g, a) << x;
  }
  EXPECT_EQ(image.pixel(10, 11).g, 0);    // fully transparent edge
  EXPECT_EQ(image.pixel(61, 11).g, 255);  // opaque edge

  // The same logo flattened into a 24-bit bitmap covers its whole rectangle.
  Bitmap flat = logo.bitmap;
  flat.convertTo24();
  Bitmap covered = solid(100, 30, {0, 0, 0});
  drawWatermark(covered, {writeBmp(flat, "flat.bmp"), 0});
  for (int x = 0; x < 52; ++x) EXPECT_EQ(covered.pixel(10 + x, 11), white) << x;
}

TEST(WatermarkTest, APngLogoFileKeepsItsSoftEdges) {
  // The logo written as a PNG of colour type 6 (colours and an alpha plane) and read back
  // through the registry blends exactly like the decoded logo itself.
  DecodedImage logo = softLogo(52, 6, {40, 180, 250});
  Bitmap colours = logo.bitmap, alpha(52, 6, 24);
  colours.convertTo24();
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 52; ++x) alpha.scanLine(y)[3 * x + 2] = logo.bitmap.scanLine(y)[4 * x + 3];
  std::string path = test::makeTempDir("wm") + "logo.png";
  test::writeBytes(path, codecs::encodePng(colours, &alpha, {}));

  const Bitmap background = test::patternImage(90, 40, 24, 8);
  Bitmap fromFile = background, fromMemory = background;
  drawWatermark(fromFile, {path, 5});
  drawWatermarkImage(fromMemory, logo, 5);
  EXPECT_TRUE(test::samePixels(fromFile, fromMemory));
  EXPECT_FALSE(test::samePixels(fromFile, background));
  EXPECT_EQ(fromFile.pixel(19, 28), background.pixel(19, 28));  // alpha 0 column at x 19
}

TEST(WatermarkTest, TransparentColourIsLeftOutAndMarkedAlphaBlends) {
  Bitmap picture = solid(4, 1, {0, 255, 0});
  picture.scanLine(0)[3] = 255, picture.scanLine(0)[4] = 0, picture.scanLine(0)[5] = 255;  // magenta at x 1
  picture.setTransparentColor({255, 0, 255});
  DecodedImage keyed;
  keyed.bitmap = picture;
  Bitmap image = solid(30, 30, {9, 9, 9});
  drawWatermarkImage(image, keyed, 0);
  EXPECT_EQ(image.pixel(10, 10), (Bgr{0, 255, 0}));
  EXPECT_EQ(image.pixel(11, 10), (Bgr{9, 9, 9}));
  EXPECT_EQ(image.pixel(12, 10), (Bgr{0, 255, 0}));

  // A 32-bit bitmap without an alpha mark is copied opaquely, whatever its fourth byte.
  DecodedImage plain;
  plain.bitmap = solid(2, 1, {200, 200, 200}, 32);
  plain.bitmap.scanLine(0)[3] = 0;
  drawWatermarkImage(image, plain, 0);
  EXPECT_EQ(image.pixel(10, 10), (Bgr{200, 200, 200}));

  // Premultiplied alpha: half of 200 over 9.
  DecodedImage pre;
  pre.bitmap = solid(1, 1, {100, 100, 100}, 32);
  pre.bitmap.scanLine(0)[3] = 128;
  pre.bitmap.setAlphaMode(AlphaMode::kPremultiplied);
  Bitmap dark = solid(21, 21, {0, 0, 0});
  drawWatermarkImage(dark, pre, 0);
  EXPECT_NEAR(dark.pixel(10, 10).g, 100, 1);
}

TEST(WatermarkTest, LeavesTheAlphaByteOfA32BitImage) {
  Bitmap image = solid(40, 30, {1, 2, 3}, 32);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) image.scanLine(y)[4 * x + 3] = 33;
  drawWatermarkImage(image, softLogo(20, 10, {255, 255, 255}), 3);
  drawWatermark(image, {writeBmp(solid(8, 8, {90, 90, 90}), "m.bmp"), 0});
  EXPECT_EQ(image.pixel(10, 10), (Bgr{90, 90, 90}));
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(image.scanLine(y)[4 * x + 3], 33);
}

TEST(WatermarkTest, FailuresThrowAndLeaveTheImage) {
  const Bitmap original = test::patternImage(30, 20, 24, 2);
  std::string dir = test::makeTempDir("wmfail");
  test::writeBytes(dir + "broken.bmp", {'B', 'M', 1, 2, 3});
  test::writeBytes(dir + "mark.xyz", {1, 2, 3});
  for (const std::string& path : {dir + "missing.bmp", dir + "broken.bmp", dir + "mark.xyz", dir}) {
    Bitmap image = original;
    EXPECT_THROW(drawWatermark(image, {path, 6}), Error) << path;
    EXPECT_TRUE(test::samePixels(image, original)) << path;
  }
  DecodedImage metafile;
  metafile.kind = DecodedKind::kMetafile;
  metafile.width = metafile.height = 10;
  Bitmap image = original;
  EXPECT_THROW(drawWatermarkImage(image, metafile, 0), Error);
}

}  // namespace
}  // namespace brevane::imaging
