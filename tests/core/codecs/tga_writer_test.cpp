// Targa writer: header bytes, packet layout, alpha from the alpha plane, round trips.
#include <gtest/gtest.h>

#include "base/error.h"
#include "core/codecs/reference_decoders.h"
#include "codecs/encoders.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

using test::readTga;

Bitmap rowOf(const std::vector<Bgr>& pixels) {
  Bitmap b(static_cast<int>(pixels.size()), 1, 24);
  for (size_t i = 0; i < pixels.size(); ++i) {
    b.scanLine(0)[3 * i] = pixels[i].b, b.scanLine(0)[3 * i + 1] = pixels[i].g, b.scanLine(0)[3 * i + 2] = pixels[i].r;
  }
  return b;
}

TEST(TgaWriter, HeaderIsTheFixedEighteenBytes) {
  Bitmap img(300, 2, 24);
  std::vector<uint8_t> f = encodeTga(img, nullptr);
  const std::vector<uint8_t> want = {0, 0, 10, 0, 0, 0, 1, 24, 0, 0, 0, 0, 0x2C, 0x01, 2, 0, 24, 0x20};
  EXPECT_EQ(std::vector<uint8_t>(f.begin(), f.begin() + 18), want);

  Bitmap alpha(300, 2, 24);
  EXPECT_EQ(encodeTga(img, &alpha)[16], 32);
  EXPECT_EQ(encodeTga(img, &alpha)[17], 0x20);  // no attribute bits even with alpha
}

TEST(TgaWriter, PacketsAreByteExact) {
  const Bgr a{1, 2, 3}, b{4, 5, 6}, c{7, 8, 9};
  auto body = [](const Bitmap& img) {
    std::vector<uint8_t> f = encodeTga(img, nullptr);
    return std::vector<uint8_t>(f.begin() + 18, f.end());
  };
  // Three equal pixels: one run packet and one pixel.
  EXPECT_EQ(body(rowOf({a, a, a})), (std::vector<uint8_t>{0x82, 1, 2, 3}));
  // Distinct pixels: one raw packet.
  EXPECT_EQ(body(rowOf({a, b, c})), (std::vector<uint8_t>{0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  // Raw, then run, then raw.
  EXPECT_EQ(body(rowOf({a, b, b, b, c})), (std::vector<uint8_t>{0x00, 1, 2, 3, 0x82, 4, 5, 6, 0x00, 7, 8, 9}));
  // 300 equal pixels: runs of 128, 128 and 44.
  EXPECT_EQ(body(rowOf(std::vector<Bgr>(300, a))),
            (std::vector<uint8_t>{0xFF, 1, 2, 3, 0xFF, 1, 2, 3, 0xAB, 1, 2, 3}));
}

TEST(TgaWriter, RawPacketsStopAt128AndRowsArePackedApart) {
  Bitmap img = test::patternImage(200, 3, 24, 5);
  for (int x = 0; x < 200; ++x) img.scanLine(0)[3 * x] = static_cast<uint8_t>(x);  // row 0: all distinct
  std::vector<uint8_t> f = encodeTga(img, nullptr);
  EXPECT_EQ(f[18], 0x7F);  // 128 raw pixels first
  EXPECT_EQ(f[18 + 1 + 128 * 3], 0x47);  // then the other 72

  // A uniform image: one run packet per row, never one across rows.
  Bitmap flat(10, 4, 24);
  flat.fill(0x33);
  test::TgaRead r = readTga(encodeTga(flat, nullptr));
  EXPECT_EQ(r.packets, 4);
}

TEST(TgaWriter, RoundTripsLayoutsAndAlpha) {
  for (int bpp : {24, 32}) {
    Bitmap img = test::patternImage(37, 23, bpp, 3);
    // Some runs so that both packet kinds occur.
    for (int x = 5; x < 30; ++x) std::memcpy(img.scanLine(4) + x * bpp / 8, img.scanLine(4) + 5 * bpp / 8, bpp / 8);
    test::TgaRead r = readTga(encodeTga(img, nullptr));
    Bitmap want = img;
    want.convertTo24();
    EXPECT_TRUE(test::samePixels(r.image, want)) << bpp;
  }
  // With an alpha plane: 32 bits, the alpha byte from the plane's third byte.
  Bitmap img = test::patternImage(19, 7, 24, 9);
  Bitmap alpha(19, 7, 24);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 19; ++x) alpha.scanLine(y)[3 * x + 2] = static_cast<uint8_t>(x * 13 + y);
  test::TgaRead r = readTga(encodeTga(img, &alpha));
  ASSERT_EQ(r.image.bitsPerPixel(), 32);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 19; ++x) {
      ASSERT_EQ(r.image.pixel(x, y), img.pixel(x, y));
      ASSERT_EQ(r.image.scanLine(y)[4 * x + 3], x * 13 + y);
    }
  // A palette image is written as its colours.
  Bitmap pal(5, 2, 8);
  pal.setGreyPalette();
  pal.scanLine(1)[3] = 200;
  test::TgaRead p = readTga(encodeTga(pal, nullptr));
  EXPECT_EQ(p.image.pixel(3, 1), (Bgr{200, 200, 200}));
}

TEST(TgaWriter, RefusesSizesTheHeaderCannotHold) {
  Bitmap wide(70000, 1, 24);
  EXPECT_THROW(encodeTga(wide, nullptr), Error);
  Bitmap img(4, 4, 24), smallAlpha(3, 4, 24);
  EXPECT_THROW(encodeTga(img, &smallAlpha), Error);
}

}  // namespace
}  // namespace brevane::codecs
