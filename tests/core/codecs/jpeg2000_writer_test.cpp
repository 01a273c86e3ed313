// JPEG 2000 writer: the rate formula, OpenJPEG reads lossless files back exactly and lossy ones
// within a PSNR bound; alpha is described as such.
#include <gtest/gtest.h>

#include <tuple>

#include "core/codecs/reference_decoders.h"
#include "codecs/encoders.h"
#include "codecs/jpeg2000_rate.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

using RateCase = std::tuple<int, int, int, int, float>;  // quality, components, width, height, rate
class Jpeg2000RateTest : public ::testing::TestWithParam<RateCase> {};

TEST_P(Jpeg2000RateTest, FollowsTheFloatSteps) {
  auto [q, c, w, h, want] = GetParam();
  EXPECT_NEAR(jpeg2000Rate(q, c, w, h), want, want * 1e-4);
}

INSTANTIATE_TEST_SUITE_P(Table, Jpeg2000RateTest,
                         ::testing::Values(RateCase{85, 3, 1000, 1000, 8.9775f}, RateCase{100, 3, 1000, 1000, 2.2486f},
                                           RateCase{1, 3, 1000, 1000, 125.43f},
                                           // 10 x 10 at Q 100: 550 dominates E, the rate drops below 1
                                           RateCase{100, 3, 10, 10, 300.0f / (300 * (100.0f / 225) + 834)},
                                           RateCase{50, 4, 64, 64, 16384.0f / (16384 * (100.0f / 4225) + 976)}));

TEST(Jpeg2000RateTest, StaysFiniteOutsideTheQualityRange) {
  EXPECT_NEAR(jpeg2000Rate(0, 3, 1000, 1000), jpeg2000Rate(1, 3, 1000, 1000), 1e-3);
  EXPECT_NEAR(jpeg2000Rate(115, 3, 1000, 1000), jpeg2000Rate(100, 3, 1000, 1000), 1e-3);
  EXPECT_LT(jpeg2000Rate(100, 3, 10, 10), 1.0f);
}

TEST(Jpeg2000Writer, LosslessIsExactWithAndWithoutAlpha) {
  for (int bpp : {24, 32}) {
    Bitmap img = test::patternImage(45, 31, bpp, 4);
    std::vector<uint8_t> file = encodeJpeg2000(img, 75, true);
    test::Jp2Read r = test::readJp2(file);
    EXPECT_TRUE(r.isJp2File);
    ASSERT_EQ(r.components, bpp / 8);
    EXPECT_EQ(r.alphaMarked, bpp == 32);
    EXPECT_TRUE(test::samePixels(r.image, img)) << bpp;
  }
  // Images smaller than the six levels need (32 pixels a side) are still written.
  for (auto [w, h] : {std::pair{1, 1}, std::pair{10, 10}, std::pair{31, 200}, std::pair{32, 32}}) {
    Bitmap small = test::patternImage(w, h, 24, 8);
    EXPECT_TRUE(test::samePixels(test::readJp2(encodeJpeg2000(small, 100, true)).image, small)) << w << "x" << h;
    EXPECT_EQ(test::readJp2(encodeJpeg2000(small, 100, false)).image.width(), w);
  }
  // A palette image is written as three components of its colours.
  Bitmap pal(9, 9, 8);
  pal.setGreyPalette();
  pal.scanLine(4)[4] = 77;
  test::Jp2Read r = test::readJp2(encodeJpeg2000(pal, 75, true));
  EXPECT_EQ(r.components, 3);
  EXPECT_EQ(r.image.pixel(4, 4), (Bgr{77, 77, 77}));
}

TEST(Jpeg2000Writer, LossyFollowsQuality) {
  Bitmap img = test::photoLike(128, 96, 4);
  std::vector<uint8_t> high = encodeJpeg2000(img, 90, false);
  std::vector<uint8_t> low = encodeJpeg2000(img, 20, false);
  EXPECT_LT(low.size(), high.size());
  // The rate bounds the size: about 3 * 128 * 96 / rate bytes plus the boxes.
  EXPECT_LT(high.size(), 3 * 128 * 96 / jpeg2000Rate(90, 3, 128, 96) * 1.1 + 400);
  EXPECT_GT(test::psnr(test::readJp2(high).image, img), 33.0);
  EXPECT_GT(test::psnr(test::readJp2(low).image, img), 24.0);
}

}  // namespace
}  // namespace brevane::codecs
