// The PNG reader: the layout of every colour type, transparency rules, depth reduction and
// damaged files.
#include <gtest/gtest.h>

#include "base/error.h"
#include "core/codecs/codec_test_support.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

using test::bgraAt;
using test::decodeAs;
using test::makePng;

TEST(PngReader, TruecolourWithAlphaKeepsStraightAlpha) {
  auto img = decodeAs("png", makePng(2, 1, 6, 8, {{255, 0, 0, 128, 1, 2, 3, 255}}));
  EXPECT_EQ(img.kind, DecodedKind::kPng);
  EXPECT_EQ(img.pngColorType, 6);
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 32);
  EXPECT_EQ(bgraAt(img.bitmap, 0, 0), (test::Bgra{0, 0, 255, 128}));
  EXPECT_EQ(bgraAt(img.bitmap, 1, 0), (test::Bgra{3, 2, 1, 255}));
}

TEST(PngReader, TruecolourIsBlueGreenRedWith16BitsReduced) {
  auto img = decodeAs("png", makePng(1, 2, 2, 16, {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}, {0, 0, 0, 0, 0xFF, 0xFF}}));
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 24);
  EXPECT_EQ(img.bitmap.pixel(0, 0), (Bgr{0x9A, 0x56, 0x12}));
  EXPECT_EQ(img.bitmap.pixel(0, 1), (Bgr{0xFF, 0, 0}));
  EXPECT_FALSE(img.bitmap.transparent());
}

TEST(PngReader, LowDepthGreyIsScaledToEightBits) {
  // 2-bit grey: 0, 1, 2, 3 -> 0, 85, 170, 255.
  auto img = decodeAs("png", makePng(4, 1, 0, 2, {{0b00011011}}));
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 8);
  EXPECT_EQ(img.bitmap.pixel(0, 0), (Bgr{0, 0, 0}));
  EXPECT_EQ(img.bitmap.pixel(1, 0), (Bgr{85, 85, 85}));
  EXPECT_EQ(img.bitmap.pixel(3, 0), (Bgr{255, 255, 255}));
}

TEST(PngReader, OneTransparentColourBecomesTheMark) {
  // Grey 4-bit with key 5 -> grey 85; RGB with a key.
  auto grey = decodeAs("png", makePng(2, 1, 0, 4, {{0x50}}, {}, {0, 5}));
  ASSERT_TRUE(grey.bitmap.transparent());
  EXPECT_EQ(grey.bitmap.transparentColor(), (Bgr{85, 85, 85}));
  auto rgb = decodeAs("png", makePng(1, 1, 2, 8, {{10, 20, 30}}, {}, {0, 10, 0, 20, 0, 30}));
  ASSERT_TRUE(rgb.bitmap.transparent());
  EXPECT_EQ(rgb.bitmap.transparentColor(), (Bgr{30, 20, 10}));
  EXPECT_EQ(rgb.pngColorType, 2);
}

TEST(PngReader, PaletteStaysEightBitWithItsPalette) {
  auto img = decodeAs("png", makePng(3, 1, 3, 8, {{0, 1, 2}}, {10, 20, 30, 40, 50, 60, 70, 80, 90}));
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 8);
  EXPECT_EQ(img.bitmap.pixel(2, 0), (Bgr{90, 80, 70}));
  EXPECT_FALSE(img.bitmap.transparent());
}

TEST(PngReader, PaletteWithFullyTransparentEntriesGivesOneMark) {
  // Entries 1 and 2 are both fully transparent: both become entry 1, which carries the mark.
  auto img = decodeAs("png", makePng(3, 1, 3, 8, {{0, 1, 2}}, {10, 20, 30, 40, 50, 60, 70, 80, 90}, {255, 0, 0}));
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 8);
  ASSERT_TRUE(img.bitmap.transparent());
  EXPECT_EQ(img.bitmap.transparentColor(), (Bgr{60, 50, 40}));
  EXPECT_EQ(img.bitmap.scanLine(0)[2], 1);
  EXPECT_EQ(img.bitmap.pixel(0, 0), (Bgr{30, 20, 10}));
}

TEST(PngReader, PartialTransparencyIsCompositedOverBlack) {
  // Palette entry 0 at alpha 128; grey-with-alpha 200 at alpha 51.
  auto pal = decodeAs("png", makePng(1, 1, 3, 8, {{0}}, {200, 100, 0}, {128}));
  ASSERT_EQ(pal.bitmap.bitsPerPixel(), 32);
  EXPECT_EQ(bgraAt(pal.bitmap, 0, 0), (test::Bgra{0, 50, 100, 255}));
  EXPECT_EQ(pal.pngColorType, 3);
  auto ga = decodeAs("png", makePng(1, 1, 4, 8, {{200, 51}}));
  ASSERT_EQ(ga.bitmap.bitsPerPixel(), 32);
  EXPECT_EQ(bgraAt(ga.bitmap, 0, 0), (test::Bgra{40, 40, 40, 255}));
  EXPECT_EQ(ga.pngColorType, 4);
}

TEST(PngReader, DamagedFilesFailWithAMessage) {
  std::vector<uint8_t> good = makePng(2, 2, 2, 8, {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}});
  auto expectInvalid = [](const std::vector<uint8_t>& bytes) {
    try {
      decodeAs("png", bytes);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()).rfind("PNG image is not valid", 0), 0u) << e.what();
    }
  };
  expectInvalid({});
  expectInvalid(std::vector<uint8_t>(good.begin(), good.begin() + 40));  // cut inside IDAT
  std::vector<uint8_t> crc = good;
  crc[20] ^= 1;  // IHDR data no longer matches its CRC
  expectInvalid(crc);
  // A palette image without PLTE, and a declared size far beyond the limit.
  expectInvalid(makePng(1, 1, 3, 8, {{0}}));
  std::vector<uint8_t> huge = makePng(1, 1, 0, 8, {{0}});
  huge[16] = 0x00, huge[17] = 0x0F;  // width 983041: the IHDR CRC is wrong as well
  EXPECT_THROW(decodeAs("png", huge), Error);
}

}  // namespace
}  // namespace brevane::codecs
