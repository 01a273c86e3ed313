// OverlayOrigin placement and BlendOverlay's clipping and rounding.
#include "imaging/blend.h"

#include <gtest/gtest.h>

#include <climits>

#include "support/test_support.h"

namespace brevane::imaging {
namespace {

struct OriginCase {
  int position, W, H, w, h;
  Point expected;
};

class OverlayOriginTest : public ::testing::TestWithParam<OriginCase> {};

TEST_P(OverlayOriginTest, PlacesTheCorner) {
  const OriginCase& c = GetParam();
  EXPECT_EQ(OverlayOrigin(c.position, c.W, c.H, c.w, c.h), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, OverlayOriginTest,
    ::testing::Values(OriginCase{0, 800, 600, 200, 100, {10, 10}}, OriginCase{1, 800, 600, 200, 100, {300, 10}},
                      OriginCase{2, 800, 600, 200, 100, {590, 10}}, OriginCase{3, 800, 600, 200, 100, {300, 250}},
                      OriginCase{4, 800, 600, 200, 100, {10, 490}}, OriginCase{5, 800, 600, 200, 100, {300, 490}},
                      OriginCase{6, 800, 600, 200, 100, {590, 490}},
                      // Values outside 0-6 place like 0.
                      OriginCase{7, 800, 600, 200, 100, {10, 10}}, OriginCase{-1, 800, 600, 200, 100, {10, 10}},
                      // Integer halves truncate: 500 - 150.
                      OriginCase{3, 1000, 500, 301, 41, {350, 230}},
                      // Larger than the image: negative corners.
                      OriginCase{3, 100, 50, 301, 81, {-100, -15}}, OriginCase{2, 100, 50, 301, 20, {-211, 10}}));

// A 32-bit overlay of one colour and alpha.
Bitmap solidOverlay(int w, int h, Bgr c, uint8_t a) {
  Bitmap o(w, h, 32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = o.scanLine(y) + 4 * x;
      p[0] = c.b, p[1] = c.g, p[2] = c.r, p[3] = a;
    }
  return o;
}

struct BlendCase {
  uint8_t overlay, image, alpha, expected;
};

class BlendOverlayValueTest : public ::testing::TestWithParam<BlendCase> {};

TEST_P(BlendOverlayValueTest, RoundsTheDoubleBlend) {
  const BlendCase& c = GetParam();
  for (int bpp : {24, 32}) {
    Bitmap image(1, 1, bpp);
    image.fill(c.image);
    BlendOverlay(image, solidOverlay(1, 1, {c.overlay, c.overlay, c.overlay}, c.alpha), 0, 0);
    EXPECT_EQ(image.scanLine(0)[0], c.expected) << bpp << " bits";
    EXPECT_EQ(image.scanLine(0)[2], c.expected) << bpp << " bits";
  }
}

INSTANTIATE_TEST_SUITE_P(Values, BlendOverlayValueTest,
                         ::testing::Values(BlendCase{255, 0, 128, 128},    // 128.0
                                           BlendCase{0, 255, 128, 127},    // 126.99...+ rounds to 127
                                           BlendCase{200, 100, 1, 100},    // 100.39
                                           BlendCase{200, 100, 3, 101},    // 101.18
                                           BlendCase{0, 100, 38, 85},      // 85.10
                                           BlendCase{255, 100, 128, 178},  // 177.80
                                           BlendCase{37, 201, 255, 37},    // full alpha: the overlay
                                           BlendCase{37, 201, 0, 201}));   // zero alpha: the image

TEST(BlendOverlayTest, ClipsAtEveryEdge) {
  const Bitmap original = test::patternImage(6, 5, 24, 3);
  const Bgr red{0, 0, 255};
  struct Case {
    int x, y, ow, oh;
  };
  for (Case c : {Case{-2, -1, 4, 3}, Case{4, 3, 5, 5}, Case{-3, 2, 20, 1}, Case{1, -4, 2, 20}}) {
    Bitmap image = original;
    BlendOverlay(image, solidOverlay(c.ow, c.oh, red, 255), c.x, c.y);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 6; ++x) {
        bool inside = x >= c.x && x < c.x + c.ow && y >= c.y && y < c.y + c.oh;
        EXPECT_EQ(image.pixel(x, y), inside ? red : original.pixel(x, y))
            << "overlay at " << c.x << "," << c.y << " pixel " << x << "," << y;
      }
  }
}

TEST(BlendOverlayTest, OverlaysOutsideTheImageDrawNothing) {
  const Bitmap original = test::patternImage(6, 5, 24, 4);
  Bitmap overlay = solidOverlay(3, 3, {1, 2, 3}, 255);
  for (Point p : {Point{6, 0}, Point{0, 5}, Point{-3, 0}, Point{0, -3}, Point{INT_MIN / 2, INT_MIN / 2},
                  Point{INT_MAX - 1, 0}, Point{0, INT_MAX - 1}}) {
    Bitmap image = original;
    BlendOverlay(image, overlay, p.x, p.y);
    EXPECT_TRUE(test::samePixels(image, original)) << p.x << "," << p.y;
  }
}

TEST(BlendOverlayTest, KeepsTheImagesFourthByteAndIgnoresOtherOverlayDepths) {
  Bitmap image(2, 1, 32);
  image.fill(90);
  BlendOverlay(image, solidOverlay(2, 1, {250, 250, 250}, 255), 0, 0);
  EXPECT_EQ(image.scanLine(0)[0], 250);
  EXPECT_EQ(image.scanLine(0)[3], 90);
  EXPECT_EQ(image.scanLine(0)[7], 90);

  Bitmap plain(2, 1, 24);
  plain.fill(10);
  Bitmap overlay24(2, 1, 24);
  overlay24.fill(200);
  BlendOverlay(plain, overlay24, 0, 0);
  EXPECT_EQ(plain.scanLine(0)[0], 10);
}

TEST(BlendOverlayTest, PaletteImagesBecome24Bit) {
  Bitmap image(3, 2, 8);
  image.setGreyPalette();
  image.fill(40);
  BlendOverlay(image, solidOverlay(1, 1, {0, 0, 255}, 255), 1, 1);
  ASSERT_EQ(image.bitsPerPixel(), 24);
  EXPECT_EQ(image.pixel(0, 0), (Bgr{40, 40, 40}));
  EXPECT_EQ(image.pixel(1, 1), (Bgr{0, 0, 255}));
}

}  // namespace
}  // namespace brevane::imaging
