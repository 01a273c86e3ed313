// The bitmap type: layouts, conversions, rectangles, the transparent-colour mark, size limits.
#include "base/bitmap.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "support/test_support.h"

namespace brevane {
namespace {

TEST(Bitmap, StrideIsPaddedToFourBytes) {
  EXPECT_EQ(dibStride(1, 1), 4u);
  EXPECT_EQ(dibStride(33, 1), 8u);
  EXPECT_EQ(dibStride(3, 4), 4u);
  EXPECT_EQ(dibStride(5, 8), 8u);
  EXPECT_EQ(dibStride(3, 16), 8u);
  EXPECT_EQ(dibStride(5, 24), 16u);
  EXPECT_EQ(dibStride(3, 32), 12u);
  Bitmap b(5, 3, 24);
  EXPECT_EQ(b.stride(), 16u);
  EXPECT_EQ(b.byteSize(), 48u);
}

TEST(Bitmap, RefusesBadDepthsAndHugeSizes) {
  EXPECT_THROW(Bitmap(2, 2, 12), Error);
  EXPECT_THROW(Bitmap(-1, 2, 24), Error);
  EXPECT_THROW(Bitmap(1 << 20, 1 << 20, 24), Error);
  EXPECT_NO_THROW(Bitmap(0, 0, 24));
  EXPECT_THROW(checkImageSize(0, 10), Error);
  EXPECT_THROW(checkImageSize(70000, 70000), Error);
  EXPECT_NO_THROW(checkImageSize(16000, 16000));
}

TEST(Bitmap, PalettedPixelsResolveThroughThePalette) {
  Bitmap b1(10, 1, 1);
  b1.palette() = {{0, 0, 0, 0}, {10, 20, 30, 0}};
  b1.scanLine(0)[0] = 0x40;  // pixel 1 set
  EXPECT_EQ(b1.pixel(1, 0), (Bgr{10, 20, 30}));
  EXPECT_EQ(b1.pixel(0, 0), (Bgr{0, 0, 0}));

  Bitmap b4(3, 1, 4);
  b4.palette().resize(16);
  b4.palette()[5] = {1, 2, 3, 0};
  b4.palette()[9] = {4, 5, 6, 0};
  b4.scanLine(0)[0] = 0x59;
  b4.scanLine(0)[1] = 0xF0;  // index 15: beyond no entry set, reads black
  EXPECT_EQ(b4.pixel(0, 0), (Bgr{1, 2, 3}));
  EXPECT_EQ(b4.pixel(1, 0), (Bgr{4, 5, 6}));

  Bitmap b8(2, 1, 8);
  b8.palette().resize(3);
  b8.scanLine(0)[1] = 200;  // index outside a short palette reads black
  EXPECT_EQ(b8.pixel(1, 0), (Bgr{0, 0, 0}));
}

TEST(Bitmap, SixteenBitIsFiveFiveFive) {
  Bitmap b(1, 1, 16);
  uint16_t v = (31 << 10) | (0 << 5) | 16;  // red max, green 0, blue 16
  b.scanLine(0)[0] = v & 0xFF;
  b.scanLine(0)[1] = v >> 8;
  Bgr c = b.pixel(0, 0);
  EXPECT_EQ(c.r, 255);
  EXPECT_EQ(c.g, 0);
  EXPECT_EQ(c.b, (16 << 3) | (16 >> 2));
}

TEST(Bitmap, ConversionsKeepColoursAndMarks) {
  Bitmap b(3, 2, 8);
  b.setGreyPalette();
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) b.scanLine(y)[x] = static_cast<uint8_t>(10 * x + 100 * y);
  b.setTransparentColor({1, 2, 3});
  Bitmap c = b;
  c.convertTo24();
  EXPECT_EQ(c.bitsPerPixel(), 24);
  EXPECT_EQ(c.pixel(2, 1), (Bgr{120, 120, 120}));
  EXPECT_TRUE(c.transparent());
  EXPECT_EQ(c.transparentColor(), (Bgr{1, 2, 3}));

  c.convertTo32();
  EXPECT_EQ(c.bitsPerPixel(), 32);
  EXPECT_EQ(c.scanLine(1)[4 * 2 + 3], 255);
  EXPECT_EQ(c.pixel(1, 0), (Bgr{10, 10, 10}));
  c.convertTo24();
  EXPECT_TRUE(test::samePixels(b, c));
}

TEST(Bitmap, ThirtyTwoToTwentyFourBitsWithinItsMemoryKeepsPixelsAndZeroPadding) {
  // Every width modulo 4, so that the 24-bit rows have each amount of padding.
  for (int w = 1; w <= 9; ++w) {
    Bitmap b(w, 5, 32, Bitmap::kForOverwrite);
    for (int y = 0; y < 5; ++y) {
      for (size_t i = 4 * static_cast<size_t>(w); i < b.stride(); ++i) ASSERT_EQ(b.scanLine(y)[i], 0);
      for (int i = 0; i < 4 * w; ++i) b.scanLine(y)[i] = static_cast<uint8_t>(i * 37 + y * 101 + w);
    }
    b.setAlphaMode(AlphaMode::kStraight);
    const Bitmap before = b;
    b.convertTo24();
    ASSERT_EQ(b.bitsPerPixel(), 24);
    EXPECT_EQ(b.stride(), dibStride(w, 24));
    EXPECT_EQ(b.byteSize(), b.stride() * 5);
    EXPECT_EQ(b.alphaMode(), AlphaMode::kUnmarked);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < w; ++x) ASSERT_EQ(b.pixel(x, y), before.pixel(x, y)) << w << ": " << x << "," << y;
      for (size_t i = 3 * static_cast<size_t>(w); i < b.stride(); ++i) ASSERT_EQ(b.scanLine(y)[i], 0) << w;
    }
  }
}

TEST(Bitmap, AutomaticTransparentColourIsTheBottomLeftPixelWhenUsed) {
  Bitmap b(2, 2, 24);
  b.setTransparentAuto();
  b.scanLine(1)[0] = 7;
  EXPECT_EQ(b.transparentColor(), (Bgr{7, 0, 0}));
  b.scanLine(1)[0] = 9;  // read at the moment of use, not when marked
  EXPECT_EQ(b.transparentColor(), (Bgr{9, 0, 0}));
}

TEST(Bitmap, CopyRectInEveryLayout) {
  for (int bpp : {1, 4, 8, 16, 24, 32}) {
    Bitmap src(13, 7, bpp);
    if (bpp <= 8) {
      src.palette().resize(size_t{1} << bpp);
      for (size_t i = 0; i < src.palette().size(); ++i)
        src.palette()[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i * 3), static_cast<uint8_t>(i * 7), 0};
    }
    for (int y = 0; y < 7; ++y)
      for (size_t i = 0; i < src.stride(); ++i) src.scanLine(y)[i] = static_cast<uint8_t>(i * 31 + y * 17);
    Bitmap part = src.copyRect(3, 2, 7, 4);
    ASSERT_EQ(part.width(), 7);
    ASSERT_EQ(part.height(), 4);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 7; ++x) EXPECT_EQ(part.pixel(x, y), src.pixel(x + 3, y + 2)) << bpp << " bpp";
  }
  Bitmap b(4, 4, 24);
  EXPECT_THROW(b.copyRect(2, 2, 3, 1), Error);
}

}  // namespace
}  // namespace brevane
