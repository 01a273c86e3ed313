// The overlay preview: full-size stamp and watermark, then shrunk into 800 x 600.
#include "imaging/overlay_preview.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "codecs/encoders.h"
#include "support/test_support.h"

namespace brevane::imaging {
namespace {

std::string writeBmp(const Bitmap& b, const std::string& dir, const std::string& name) {
  test::writeBytes(dir + name, codecs::encodeBmp(b));
  return dir + name;
}

Bitmap grey(int w, int h, uint8_t v) {
  Bitmap b(w, h, 24);
  b.fill(v);
  return b;
}

TEST(OverlayPreviewTest, ShrinksIntoTheBoxButNeverEnlarges) {
  std::string dir = test::makeTempDir("ovp");
  OverlayPreviewOptions s;
  Bitmap big = composeOverlayPreview(writeBmp(grey(1200, 900, 60), dir, "big.bmp"), s, "");
  EXPECT_EQ(big.width(), 800);
  EXPECT_EQ(big.height(), 600);
  EXPECT_EQ(big.bitsPerPixel(), 24);
  Bitmap tall = composeOverlayPreview(writeBmp(grey(300, 1200, 60), dir, "tall.bmp"), s, "");
  EXPECT_EQ(tall.width(), 150);
  EXPECT_EQ(tall.height(), 600);
  Bitmap small = composeOverlayPreview(writeBmp(grey(640, 480, 60), dir, "small.bmp"), s, "");
  EXPECT_EQ(small.width(), 640);
  EXPECT_EQ(small.height(), 480);
  EXPECT_EQ(small.pixel(320, 240), (Bgr{60, 60, 60}));
}

TEST(OverlayPreviewTest, TheWatermarkIsDrawnOverTheTextAndItsErrorsAreIgnored) {
  std::string dir = test::makeTempDir("ovp");
  std::string source = writeBmp(grey(640, 480, 40), dir, "photo.bmp");
  Bitmap mark = test::patternImage(300, 120, 24, 7);
  OverlayPreviewOptions s;
  s.text = TextStampOptions{};
  s.text->position = 3;
  s.text->opacity = 100;
  const WatermarkOptions watermark{writeBmp(mark, dir, "mark.bmp"), 3};

  // Text alone shows in the middle of the picture.
  Bitmap textOnly = composeOverlayPreview(source, s, "Sample");
  int inked = 0;
  for (int y = 180; y < 300; ++y)
    for (int x = 170; x < 470; ++x) inked += textOnly.pixel(x, y) != Bgr{40, 40, 40};
  EXPECT_GT(inked, 50);

  // With the watermark at the same place, the watermark covers the text completely.
  s.watermark = watermark;
  Bitmap both = composeOverlayPreview(source, s, "Sample");
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 300; ++x) ASSERT_EQ(both.pixel(170 + x, 180 + y), mark.pixel(x, y)) << x << "," << y;

  // A missing watermark file leaves the text preview as it was.
  s.watermark->path = dir + "missing.png";
  Bitmap missing = composeOverlayPreview(source, s, "Sample");
  EXPECT_TRUE(test::samePixels(missing, textOnly));
}

TEST(OverlayPreviewTest, SourceFailuresAreThrown) {
  std::string dir = test::makeTempDir("ovp");
  test::writeBytes(dir + "bad.bmp", {'B', 'M', 0});
  OverlayPreviewOptions s;
  EXPECT_THROW(composeOverlayPreview(dir + "bad.bmp", s, "x"), Error);
  EXPECT_THROW(composeOverlayPreview(dir + "none.bmp", s, "x"), Error);
}

}  // namespace
}  // namespace brevane::imaging
