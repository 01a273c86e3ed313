// The icon reader (first image drawn over black) and the metafile header reader.
#include <gtest/gtest.h>

#include "base/bytes.h"
#include "base/error.h"
#include "core/codecs/codec_test_support.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

using test::bgraAt;
using test::decodeAs;

// A DIB icon image: header with twice the height, palette, colour rows bottom-up, AND mask.
std::vector<uint8_t> dibImage(int w, int h, int bpp, const std::vector<uint8_t>& rows,
                              const std::vector<uint8_t>& palette = {}) {
  std::vector<uint8_t> d;
  appendLe32(d, 40);
  appendLe32(d, static_cast<uint32_t>(w));
  appendLe32(d, static_cast<uint32_t>(2 * h));
  appendLe16(d, 1);
  appendLe16(d, static_cast<uint32_t>(bpp));
  for (int i = 0; i < 6; ++i) appendLe32(d, 0);
  d.insert(d.end(), palette.begin(), palette.end());
  d.insert(d.end(), rows.begin(), rows.end());
  size_t maskStride = ((static_cast<size_t>(w) + 31) / 32) * 4;
  d.insert(d.end(), maskStride * static_cast<size_t>(h), 0xFF);  // every pixel masked
  return d;
}

std::vector<uint8_t> makeIco(const std::vector<std::vector<uint8_t>>& images, uint16_t type = 1) {
  std::vector<uint8_t> f;
  appendLe16(f, 0);
  appendLe16(f, type);
  appendLe16(f, static_cast<uint32_t>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (const auto& img : images) {
    f.insert(f.end(), {0, 0, 0, 0});
    appendLe16(f, 1);
    appendLe16(f, 32);
    appendLe32(f, static_cast<uint32_t>(img.size()));
    appendLe32(f, offset);
    offset += static_cast<uint32_t>(img.size());
  }
  for (const auto& img : images) f.insert(f.end(), img.begin(), img.end());
  return f;
}

TEST(IcoReader, ThirtyTwoBitAlphaIsDrawnOverBlack) {
  auto img = decodeAs("ico", makeIco({dibImage(1, 1, 32, {200, 100, 50, 128})}));
  EXPECT_EQ(img.kind, DecodedKind::kIcon);
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 32);
  EXPECT_EQ(bgraAt(img.bitmap, 0, 0), (test::Bgra{100, 50, 25, 255}));
}

TEST(IcoReader, MaskOnlyIconsShowTheirColoursOverBlack) {
  // All fourth bytes zero: the AND mask applies, and over black a masked pixel keeps its colour.
  auto img32 = decodeAs("ico", makeIco({dibImage(1, 1, 32, {200, 100, 50, 0})}));
  EXPECT_EQ(bgraAt(img32.bitmap, 0, 0), (test::Bgra{200, 100, 50, 255}));
  // 1-bit, 2 x 1: palette black and white; bits 01; rows padded to 4 bytes.
  auto img1 = decodeAs("ico", makeIco({dibImage(2, 1, 1, {0x40, 0, 0, 0}, {0, 0, 0, 0, 255, 255, 255, 0})}));
  ASSERT_EQ(img1.bitmap.width(), 2);
  ASSERT_EQ(img1.bitmap.height(), 1);
  EXPECT_EQ(bgraAt(img1.bitmap, 0, 0), (test::Bgra{0, 0, 0, 255}));
  EXPECT_EQ(bgraAt(img1.bitmap, 1, 0), (test::Bgra{255, 255, 255, 255}));
}

TEST(IcoReader, TheFirstImageIsUsedAndPngEntriesWork) {
  std::vector<uint8_t> png = test::makePng(2, 1, 6, 8, {{0, 0, 255, 51, 9, 9, 9, 255}});
  auto img = decodeAs("ico", makeIco({png, dibImage(3, 3, 24, std::vector<uint8_t>(36, 7))}));
  ASSERT_EQ(img.bitmap.width(), 2);
  EXPECT_EQ(bgraAt(img.bitmap, 0, 0), (test::Bgra{51, 0, 0, 255}));
  EXPECT_EQ(bgraAt(img.bitmap, 1, 0), (test::Bgra{9, 9, 9, 255}));
  // Cursors have the same layout.
  auto cur = decodeAs("ico", makeIco({dibImage(3, 3, 24, std::vector<uint8_t>(36, 7))}, 2));
  EXPECT_EQ(cur.bitmap.width(), 3);
}

TEST(IcoReader, DamagedFilesFail) {
  std::vector<uint8_t> good = makeIco({dibImage(1, 1, 24, {1, 2, 3, 0})});
  EXPECT_THROW(decodeAs("ico", makeIco({})), Error);               // no images
  EXPECT_THROW(decodeAs("ico", makeIco({{1, 2, 3}})), Error);      // a 3-byte image
  std::vector<uint8_t> reserved = good;
  reserved[0] = 1;
  EXPECT_THROW(decodeAs("ico", reserved), Error);
  std::vector<uint8_t> offset = good;
  offset[18] = 0xFF, offset[19] = 0xFF;
  EXPECT_THROW(decodeAs("ico", offset), Error);
  std::vector<uint8_t> hugeHeader = dibImage(1, 1, 24, {});
  hugeHeader[4] = 0x60, hugeHeader[5] = 0xEA;  // width 60000
  hugeHeader[8] = 0xC0, hugeHeader[9] = 0xD4;  // height 2 x 27200
  std::vector<uint8_t> huge = makeIco({hugeHeader});
  EXPECT_THROW(decodeAs("ico", huge), Error);
  EXPECT_THROW(decodeAs("ico", std::vector<uint8_t>(good.begin(), good.begin() + 30)), Error);
}

TEST(MetafileReader, PlaceableWmfSizeIsScaledTo96Dpi) {
  std::vector<uint8_t> f;
  appendLe32(f, 0x9AC6CDD7);
  appendLe16(f, 0);
  for (int v : {-100, 50, 1340, 770}) appendLe16(f, static_cast<uint16_t>(static_cast<int16_t>(v)));
  appendLe16(f, 1440);  // twips
  f.resize(40, 0);
  auto img = decodeAs("wmf", f);
  EXPECT_EQ(img.kind, DecodedKind::kMetafile);
  EXPECT_TRUE(img.bitmap.empty());
  EXPECT_EQ(img.width, 96);   // 1440 twips
  EXPECT_EQ(img.height, 48);  // 720 twips
}

TEST(MetafileReader, PlainWmfTakesItsWindowExtent) {
  std::vector<uint8_t> f;
  appendLe16(f, 1);
  appendLe16(f, 9);
  appendLe16(f, 0x300);
  f.resize(18, 0);
  appendLe32(f, 5);  // SetWindowOrg (0x020B): skipped
  appendLe16(f, 0x020B);
  appendLe16(f, 0);
  appendLe16(f, 0);
  appendLe32(f, 5);
  appendLe16(f, 0x020C);
  appendLe16(f, 300);  // height
  appendLe16(f, 400);  // width
  appendLe32(f, 3);
  appendLe16(f, 0);
  auto img = decodeAs("wmf", f);
  EXPECT_EQ(img.width, 400);
  EXPECT_EQ(img.height, 300);
}

TEST(MetafileReader, EmfSizeFromFrameAndReferenceDevice) {
  std::vector<uint8_t> f;
  appendLe32(f, 1);
  appendLe32(f, 108);
  for (int v : {0, 0, 99, 49}) appendLe32(f, static_cast<uint32_t>(v));      // bounds
  for (int v : {0, 0, 2000, 1000}) appendLe32(f, static_cast<uint32_t>(v));  // frame, 0.01 mm
  appendLe32(f, 0x464D4520);
  f.resize(72, 0);
  for (int v : {1920, 1080, 480, 270}) appendLe32(f, static_cast<uint32_t>(v));  // 4 pixels per mm
  f.resize(108, 0);
  auto img = decodeAs("emf", f);
  EXPECT_EQ(img.width, 80);
  EXPECT_EQ(img.height, 40);
  // Without a usable reference device the bounds give the size.
  std::fill(f.begin() + 72, f.begin() + 88, 0);
  img = decodeAs("emf", f);
  EXPECT_EQ(img.width, 100);
  EXPECT_EQ(img.height, 50);
}

TEST(MetafileReader, OtherDataFails) {
  for (const std::vector<uint8_t>& bad :
       {std::vector<uint8_t>{}, std::vector<uint8_t>{1, 0}, std::vector<uint8_t>(40, 0xAB),
        std::vector<uint8_t>{0xD7, 0xCD, 0xC6, 0x9A, 0, 0}}) {
    try {
      decodeAs("emf", bad);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "Metafile is not valid");
    }
  }
}

}  // namespace
}  // namespace brevane::codecs
