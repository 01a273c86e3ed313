// JPEG writer: libjpeg reads the output back within a PSNR bound; frame kind, sampling, JFIF.
#include <gtest/gtest.h>

#include "core/codecs/reference_decoders.h"
#include "codecs/encoders.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

// A smooth image with light noise at quality 90 stays above 34 dB; at quality 20 above 26 dB.
TEST(JpegWriter, DecodesCloseToTheSourceAtEveryLayout) {
  Bitmap img = test::photoLike(161, 97, 3);
  Bitmap wide = img, grey(161, 97, 8);
  wide.convertTo32();
  grey.setGreyPalette();
  for (int y = 0; y < 97; ++y)
    for (int x = 0; x < 161; ++x) grey.scanLine(y)[x] = img.pixel(x, y).g;
  for (const Bitmap* src : {&img, &wide, &grey}) {
    test::JpegRead r = test::readJpeg(encodeJpeg(*src, 90, false));
    ASSERT_EQ(r.image.width(), 161);
    ASSERT_EQ(r.image.height(), 97);
    EXPECT_GT(test::psnr(r.image, *src), 34.0) << src->bitsPerPixel();
  }
  EXPECT_GT(test::psnr(test::readJpeg(encodeJpeg(img, 20, false)).image, img), 26.0);
}

TEST(JpegWriter, LibraryDefaultsAndProgression) {
  Bitmap img = test::photoLike(64, 48, 4);
  test::JpegRead base = test::readJpeg(encodeJpeg(img, 85, false));
  EXPECT_FALSE(base.progressive);
  EXPECT_TRUE(base.jfif);
  EXPECT_EQ(base.lumaH, 2);
  EXPECT_EQ(base.lumaV, 2);
  std::vector<uint8_t> prog = encodeJpeg(img, 85, true);
  test::JpegRead p = test::readJpeg(prog);
  EXPECT_TRUE(p.progressive);
  EXPECT_GT(test::psnr(p.image, base.image), 45.0);  // the same coefficients in other scans
  EXPECT_LT(encodeJpeg(img, 30, false).size(), encodeJpeg(img, 95, false).size());
}

TEST(JpegWriter, OnePixelAndExtremeQualities) {
  Bitmap dot(1, 1, 24);
  dot.scanLine(0)[2] = 200;
  for (int q : {1, 100}) {
    test::JpegRead r = test::readJpeg(encodeJpeg(dot, q, false));
    EXPECT_NEAR(r.image.pixel(0, 0).r, 200, q == 100 ? 3 : 40);
  }
}

}  // namespace
}  // namespace brevane::codecs
