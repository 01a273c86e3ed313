// The Targa reader on files written here: origins, depths, colour maps, RLE, alpha reporting.
#include <gtest/gtest.h>

#include <cstring>

#include "base/bytes.h"
#include "base/error.h"
#include "core/codecs/codec_test_support.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

using test::bgraAt;
using test::decodeAs;

struct TgaLayout {
  int type = 2, width = 2, height = 2, depth = 24, descriptor = 0;
  int mapFirst = 0, mapLength = 0, mapBits = 0;
  std::vector<uint8_t> id, map, pixels;
  int extensionAlphaType = -1;  // writes a TGA 2.0 extension area and footer when >= 0
};

std::vector<uint8_t> makeTga(const TgaLayout& s) {
  std::vector<uint8_t> f = {static_cast<uint8_t>(s.id.size()), static_cast<uint8_t>(s.mapLength ? 1 : 0),
                            static_cast<uint8_t>(s.type)};
  appendLe16(f, s.mapFirst);
  appendLe16(f, s.mapLength);
  f.push_back(static_cast<uint8_t>(s.mapBits));
  appendLe16(f, 0);
  appendLe16(f, 0);
  appendLe16(f, s.width);
  appendLe16(f, s.height);
  f.push_back(static_cast<uint8_t>(s.depth));
  f.push_back(static_cast<uint8_t>(s.descriptor));
  f.insert(f.end(), s.id.begin(), s.id.end());
  f.insert(f.end(), s.map.begin(), s.map.end());
  f.insert(f.end(), s.pixels.begin(), s.pixels.end());
  if (s.extensionAlphaType >= 0) {
    size_t offset = f.size();
    std::vector<uint8_t> ext(495, 0);
    ext[0] = 0xEF, ext[1] = 0x01;  // size 495
    ext[494] = static_cast<uint8_t>(s.extensionAlphaType);
    f.insert(f.end(), ext.begin(), ext.end());
    for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(offset >> (8 * i)));
    for (int i = 0; i < 4; ++i) f.push_back(0);
    const char sig[] = "TRUEVISION-XFILE.";
    f.insert(f.end(), sig, sig + 18);
  }
  return f;
}

// Four 24-bit pixels in storage order: A, B, C, D.
const std::vector<uint8_t> kFourPixels = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};

struct OriginCase {
  int descriptor;
  uint8_t topLeft, topRight, bottomLeft;
};

class TgaOrigin : public ::testing::TestWithParam<OriginCase> {};

TEST_P(TgaOrigin, PlacesStoredRowsAndColumns) {
  TgaLayout s;
  s.descriptor = GetParam().descriptor;
  s.pixels = kFourPixels;
  auto img = decodeAs("tga", makeTga(s));
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 24);
  EXPECT_EQ(img.bitmap.pixel(0, 0).b, GetParam().topLeft);
  EXPECT_EQ(img.bitmap.pixel(1, 0).b, GetParam().topRight);
  EXPECT_EQ(img.bitmap.pixel(0, 1).b, GetParam().bottomLeft);
}

INSTANTIATE_TEST_SUITE_P(AllFour, TgaOrigin,
                         ::testing::Values(OriginCase{0x00, 3, 4, 1},   // bottom-left
                                           OriginCase{0x10, 4, 3, 2},   // bottom-right
                                           OriginCase{0x20, 1, 2, 3},   // top-left
                                           OriginCase{0x30, 2, 1, 4}));  // top-right

struct AlphaCase {
  const char* name;
  int type, depth, descriptor, extensionAlphaType;
  std::vector<uint8_t> pixel;  // one stored pixel
  int bpp;
  bool reportsAlpha;
  test::Bgra expected;  // alpha 0 in 24-bit results
};

class TgaAlpha : public ::testing::TestWithParam<AlphaCase> {};

TEST_P(TgaAlpha, ReportsAlphaFromAttributeBitsAndExtensionArea) {
  const AlphaCase& c = GetParam();
  TgaLayout s;
  s.width = s.height = 1;
  s.type = c.type;
  s.depth = c.depth;
  s.descriptor = c.descriptor;
  s.extensionAlphaType = c.extensionAlphaType;
  s.pixels = c.pixel;
  auto img = decodeAs("tga", makeTga(s));
  EXPECT_EQ(img.kind, DecodedKind::kBitmap);
  ASSERT_EQ(img.bitmap.bitsPerPixel(), c.bpp);
  EXPECT_EQ(img.reportsAlpha, c.reportsAlpha);
  Bgr colour = img.bitmap.pixel(0, 0);
  test::Bgra got{colour.b, colour.g, colour.r, c.bpp == 32 ? img.bitmap.scanLine(0)[3] : uint8_t{0}};
  EXPECT_EQ(got, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, TgaAlpha,
    ::testing::Values(AlphaCase{"rgba32", 2, 32, 8, -1, {10, 20, 30, 40}, 32, true, {10, 20, 30, 40}},
                      AlphaCase{"rgb32NoBits", 2, 32, 0, -1, {10, 20, 30, 40}, 24, false, {10, 20, 30, 0}},
                      AlphaCase{"rgba32ExtNone", 2, 32, 8, 0, {10, 20, 30, 40}, 24, false, {10, 20, 30, 0}},
                      AlphaCase{"rgba32ExtRetain", 2, 32, 8, 2, {10, 20, 30, 40}, 32, true, {10, 20, 30, 40}},
                      // x RRRRR GGGGG BBBBB: red 31, green 0, blue 1, top bit 0.
                      AlphaCase{"argb1555", 2, 16, 1, -1, {0x01, 0x7C}, 32, true, {8, 0, 255, 0}},
                      AlphaCase{"rgb555", 2, 16, 0, -1, {0x01, 0xFC}, 24, false, {8, 0, 255, 0}},
                      AlphaCase{"greyAlpha", 3, 16, 8, -1, {90, 200}, 32, true, {90, 90, 90, 200}},
                      AlphaCase{"grey", 3, 8, 0, -1, {77}, 8, false, {77, 77, 77, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TgaReader, PremultipliedAlphaTypeMarksTheBitmap) {
  TgaLayout s;
  s.width = s.height = 1;
  s.depth = 32;
  s.descriptor = 8;
  s.extensionAlphaType = 4;
  s.pixels = {5, 5, 5, 10};
  EXPECT_EQ(decodeAs("tga", makeTga(s)).bitmap.alphaMode(), AlphaMode::kPremultiplied);
  s.extensionAlphaType = 3;
  EXPECT_EQ(decodeAs("tga", makeTga(s)).bitmap.alphaMode(), AlphaMode::kUnmarked);
}

TEST(TgaReader, ColourMapWithFirstEntryOffset) {
  TgaLayout s;
  s.type = 1, s.depth = 8, s.width = 3, s.height = 1, s.descriptor = 0x20;
  s.id = {'i', 'd'};
  s.mapFirst = 1, s.mapLength = 2, s.mapBits = 24;
  s.map = {10, 20, 30, 40, 50, 60};
  s.pixels = {1, 2, 0};  // index 0 lies before the map: black
  auto img = decodeAs("tga", makeTga(s));
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 8);
  EXPECT_EQ(img.bitmap.pixel(0, 0), (Bgr{10, 20, 30}));
  EXPECT_EQ(img.bitmap.pixel(1, 0), (Bgr{40, 50, 60}));
  EXPECT_EQ(img.bitmap.pixel(2, 0), (Bgr{0, 0, 0}));
}

TEST(TgaReader, ColourMapWithAlphaEntriesGives32Bits) {
  TgaLayout s;
  s.type = 9, s.depth = 8, s.width = 2, s.height = 1, s.descriptor = 0x28;
  s.mapLength = 1, s.mapBits = 32;
  s.map = {1, 2, 3, 100};
  s.pixels = {0x81, 0};  // run of two
  auto img = decodeAs("tga", makeTga(s));
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 32);
  EXPECT_TRUE(img.reportsAlpha);
  EXPECT_EQ(bgraAt(img.bitmap, 1, 0), (test::Bgra{1, 2, 3, 100}));
}

TEST(TgaReader, RunsCrossScanLinesAndStopAtTheLastPixel) {
  TgaLayout s;
  s.type = 10, s.width = 3, s.height = 2, s.descriptor = 0x20;
  // A run of 4 (crosses into row 2), a literal packet of 1, then a run of 5 of which only 1 fits.
  s.pixels = {0x83, 9, 9, 9, 0x00, 7, 7, 7, 0x84, 5, 5, 5};
  auto img = decodeAs("tga", makeTga(s));
  EXPECT_EQ(img.bitmap.pixel(2, 0).b, 9);
  EXPECT_EQ(img.bitmap.pixel(0, 1).b, 9);
  EXPECT_EQ(img.bitmap.pixel(1, 1).b, 7);
  EXPECT_EQ(img.bitmap.pixel(2, 1).b, 5);
}

TEST(TgaReader, DamagedFilesFail) {
  TgaLayout rle;
  rle.type = 10;
  rle.pixels = {0x83, 1, 2};  // the run's value is cut off
  EXPECT_THROW(decodeAs("tga", makeTga(rle)), Error);
  TgaLayout raw;
  raw.pixels = {1, 2, 3};  // three of four pixels missing
  EXPECT_THROW(decodeAs("tga", makeTga(raw)), Error);
  for (int type : {0, 4, 32, 12}) {
    TgaLayout bad;
    bad.type = type;
    bad.pixels = kFourPixels;
    EXPECT_THROW(decodeAs("tga", makeTga(bad)), Error) << type;
  }
  TgaLayout depth;
  depth.depth = 12;
  EXPECT_THROW(decodeAs("tga", makeTga(depth)), Error);
  TgaLayout mapless;
  mapless.type = 1, mapless.depth = 8;
  EXPECT_THROW(decodeAs("tga", makeTga(mapless)), Error);
  TgaLayout empty;
  empty.width = 0;
  EXPECT_THROW(decodeAs("tga", makeTga(empty)), Error);
  EXPECT_THROW(decodeAs("tga", std::vector<uint8_t>(10, 0)), Error);
}

}  // namespace
}  // namespace brevane::codecs
