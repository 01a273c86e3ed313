// The BMP reader on files the tests write (every depth, RLE, bit fields, OS/2, top-down),
// damaged files, and the writer's round trip.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "base/bytes.h"
#include "base/error.h"
#include "codecs/bmp.h"
#include "codecs/encoders.h"
#include "codecs/registry.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

struct BmpSpec {
  int width = 4;
  int height = 2;  // negative: top-down
  int bpp = 24;
  uint32_t compression = 0;
  bool core = false;  // 12-byte OS/2 header, 3-byte palette entries
  std::vector<PaletteEntry> palette;
  std::vector<uint32_t> masks;  // written after a 40-byte header
  std::vector<uint8_t> pixels;  // in file order
  uint32_t colorsUsed = 0;
};

std::vector<uint8_t> makeBmp(const BmpSpec& s) {
  std::vector<uint8_t> info;
  if (s.core) {
    appendLe32(info, 12);
    appendLe16(info, s.width);
    appendLe16(info, static_cast<uint16_t>(s.height));
    appendLe16(info, 1);
    appendLe16(info, s.bpp);
  } else {
    appendLe32(info, 40);
    appendLe32(info, s.width);
    appendLe32(info, static_cast<uint32_t>(s.height));
    appendLe16(info, 1);
    appendLe16(info, s.bpp);
    appendLe32(info, s.compression);
    appendLe32(info, static_cast<uint32_t>(s.pixels.size()));
    appendLe32(info, 2835);
    appendLe32(info, 2835);
    appendLe32(info, s.colorsUsed ? s.colorsUsed : static_cast<uint32_t>(s.palette.size()));
    appendLe32(info, 0);
    for (uint32_t m : s.masks) appendLe32(info, m);
  }
  for (const PaletteEntry& e : s.palette) {
    info.push_back(e.b);
    info.push_back(e.g);
    info.push_back(e.r);
    if (!s.core) info.push_back(0);
  }
  std::vector<uint8_t> out = {'B', 'M'};
  appendLe32(out, static_cast<uint32_t>(14 + info.size() + s.pixels.size()));
  appendLe32(out, 0);
  appendLe32(out, static_cast<uint32_t>(14 + info.size()));
  out.insert(out.end(), info.begin(), info.end());
  out.insert(out.end(), s.pixels.begin(), s.pixels.end());
  return out;
}

std::vector<PaletteEntry> ramp(int n) {
  std::vector<PaletteEntry> p(n);
  for (int i = 0; i < n; ++i) p[i] = {static_cast<uint8_t>(i * 10), static_cast<uint8_t>(i * 20), static_cast<uint8_t>(255 - i), 0};
  return p;
}

TEST(BmpReader, PalettedDepthsBottomUpAndTopDown) {
  // 1-bit, 3x2: bottom row (first in the file) 1,0,1; top row 0,1,0.
  BmpSpec s;
  s.width = 3;
  s.bpp = 1;
  s.palette = ramp(2);
  s.pixels = {0xA0, 0, 0, 0, 0x40, 0, 0, 0};
  Bitmap b = readBmp(makeBmp(s));
  ASSERT_EQ(b.bitsPerPixel(), 1);
  EXPECT_EQ(b.pixel(0, 1), (Bgr{10, 20, 254}));
  EXPECT_EQ(b.pixel(1, 0), (Bgr{10, 20, 254}));
  EXPECT_EQ(b.pixel(0, 0), (Bgr{0, 0, 255}));

  s.height = -2;  // top-down: the first file row is the top
  b = readBmp(makeBmp(s));
  EXPECT_EQ(b.pixel(0, 0), (Bgr{10, 20, 254}));
  EXPECT_EQ(b.pixel(1, 1), (Bgr{10, 20, 254}));

  BmpSpec s4;
  s4.width = 3;
  s4.height = 1;
  s4.bpp = 4;
  s4.palette = ramp(16);
  s4.pixels = {0x1F, 0x70, 0, 0};
  b = readBmp(makeBmp(s4));
  EXPECT_EQ(b.pixel(0, 0), (Bgr{10, 20, 254}));
  EXPECT_EQ(b.pixel(1, 0), (Bgr{150, 44, 240}));  // 15 * 20 wraps at 8 bits
  EXPECT_EQ(b.pixel(2, 0), (Bgr{70, 140, 248}));
}

TEST(BmpReader, ShortPaletteAndIndexesBeyondIt) {
  BmpSpec s;
  s.width = 2;
  s.height = 1;
  s.bpp = 8;
  s.palette = ramp(3);
  s.pixels = {2, 250, 0, 0};
  Bitmap b = readBmp(makeBmp(s));
  EXPECT_EQ(b.palette().size(), 3u);
  EXPECT_EQ(b.pixel(0, 0), (Bgr{20, 40, 253}));
  EXPECT_EQ(b.pixel(1, 0), (Bgr{0, 0, 0}));  // outside the palette: black, no read past it
}

TEST(BmpReader, Os2CoreHeaderWithThreeBytePalette) {
  BmpSpec s;
  s.core = true;
  s.width = 2;
  s.height = 1;
  s.bpp = 8;
  s.palette = ramp(256);
  s.pixels = {5, 7, 0, 0};
  Bitmap b = readBmp(makeBmp(s));
  EXPECT_EQ(b.pixel(0, 0), (Bgr{50, 100, 250}));
  EXPECT_EQ(b.pixel(1, 0), (Bgr{70, 140, 248}));
}

TEST(BmpReader, SixteenBitDefaultAndBitFields) {
  BmpSpec s;
  s.width = 1;
  s.height = 1;
  s.bpp = 16;
  s.pixels = {0x1F, 0x7C, 0, 0};  // 5-5-5: red 31, blue 31
  Bitmap b = readBmp(makeBmp(s));
  EXPECT_EQ(b.bitsPerPixel(), 16);
  EXPECT_EQ(b.pixel(0, 0), (Bgr{255, 0, 255}));

  s.compression = 3;  // 5-6-5 bit fields: expanded to 24 bits
  s.masks = {0xF800, 0x07E0, 0x001F};
  s.pixels = {0xE0, 0x07, 0, 0};  // green 63
  b = readBmp(makeBmp(s));
  EXPECT_EQ(b.bitsPerPixel(), 24);
  EXPECT_EQ(b.pixel(0, 0), (Bgr{0, 255, 0}));
}

TEST(BmpReader, ThirtyTwoBitKeepsTheFourthByteAndReadsBitFields) {
  BmpSpec s;
  s.width = 2;
  s.height = 1;
  s.bpp = 32;
  s.pixels = {1, 2, 3, 0, 4, 5, 6, 0};
  Bitmap b = readBmp(makeBmp(s));
  ASSERT_EQ(b.bitsPerPixel(), 32);
  EXPECT_EQ(b.scanLine(0)[3], 0);
  EXPECT_EQ(b.pixel(1, 0), (Bgr{4, 5, 6}));
  EXPECT_EQ(b.alphaMode(), AlphaMode::kUnmarked);

  s.compression = 3;  // red and blue swapped by the masks
  s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
  b = readBmp(makeBmp(s));
  EXPECT_EQ(b.pixel(0, 0), (Bgr{3, 2, 1}));
}

TEST(BmpReader, Rle8WithDeltaEndOfLineAndAbsoluteRuns) {
  BmpSpec s;
  s.width = 6;
  s.height = 3;
  s.bpp = 8;
  s.compression = 1;
  s.palette = ramp(16);
  s.pixels = {
      3, 1,                 // bottom row: three pixels of index 1
      0, 3, 4, 5, 6, 0,     // absolute run of 3 (padded to 16 bits)
      0, 0,                 // end of line
      0, 2, 2, 1,           // delta: 2 right, 1 up -> row 2 (top), x 2
      2, 9,                 // two pixels of index 9 at x 2, 3
      0, 1,                 // end of bitmap
  };
  Bitmap b = readBmp(makeBmp(s));
  auto idx = [&](int x, int y) { return b.scanLine(y)[x]; };
  EXPECT_EQ(idx(0, 2), 1);
  EXPECT_EQ(idx(2, 2), 1);
  EXPECT_EQ(idx(3, 2), 4);
  EXPECT_EQ(idx(5, 2), 6);
  EXPECT_EQ(idx(0, 1), 0);  // the delta skipped the middle row
  EXPECT_EQ(idx(2, 0), 9);
  EXPECT_EQ(idx(3, 0), 9);
  EXPECT_EQ(idx(4, 0), 0);
}

TEST(BmpReader, Rle4AndRunsPastTheRowAreClipped) {
  BmpSpec s;
  s.width = 3;
  s.height = 1;
  s.bpp = 4;
  s.compression = 2;
  s.palette = ramp(16);
  s.pixels = {5, 0x12, 0, 1};  // five pixels alternating 1, 2 into a 3-wide row
  Bitmap b = readBmp(makeBmp(s));
  EXPECT_EQ(b.pixel(0, 0), (Bgr{10, 20, 254}));
  EXPECT_EQ(b.pixel(1, 0), (Bgr{20, 40, 253}));
  EXPECT_EQ(b.pixel(2, 0), (Bgr{10, 20, 254}));
}

TEST(BmpReader, DamagedFilesFailWithAMessage) {
  BmpSpec good;
  good.width = 4;
  good.height = 4;
  good.bpp = 24;
  good.pixels.assign(48, 7);
  std::vector<uint8_t> bytes = makeBmp(good);
  EXPECT_NO_THROW(readBmp(bytes));

  auto expectFails = [](std::vector<uint8_t> data, const char* what) {
    try {
      readBmp(data);
      ADD_FAILURE() << what << ": decoded";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()), "") << what;
    }
  };
  expectFails(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20), "truncated header");
  expectFails(std::vector<uint8_t>(bytes.begin(), bytes.end() - 13), "truncated pixels");
  expectFails({}, "empty file");
  BmpSpec huge = good;
  huge.width = 60000;
  huge.height = 60000;
  expectFails(makeBmp(huge), "huge declared size");
  BmpSpec zero = good;
  zero.width = 0;
  expectFails(makeBmp(zero), "zero width");
  BmpSpec depth = good;
  depth.bpp = 7;
  expectFails(makeBmp(depth), "bad depth");
  BmpSpec rle = good;
  rle.bpp = 8;
  rle.compression = 1;
  rle.palette = ramp(4);
  rle.pixels = {0, 5, 1};  // absolute run of 5 that the file does not hold
  expectFails(makeBmp(rle), "RLE run past the end");
}

TEST(BmpReader, ToleratesAMissingPadOnTheLastRow) {
  BmpSpec s;
  s.width = 3;
  s.height = 2;
  s.bpp = 8;
  s.palette = ramp(4);
  s.pixels = {1, 2, 3, 0, 3, 2, 1};  // last row's pad byte missing
  Bitmap b = readBmp(makeBmp(s));
  EXPECT_EQ(b.scanLine(0)[2], 1);
}

TEST(BmpWriter, RoundTripsEveryLayout) {
  for (int bpp : {1, 4, 8, 16, 24, 32}) {
    Bitmap src = test::patternImage(7, 5, bpp >= 24 ? bpp : 32, static_cast<uint32_t>(bpp));
    if (bpp < 24) {
      Bitmap paletted(7, 5, bpp);
      paletted.palette() = ramp(bpp == 16 ? 0 : (1 << std::min(bpp, 4)));
      for (int y = 0; y < 5; ++y)
        for (size_t i = 0; i < paletted.stride(); ++i) paletted.scanLine(y)[i] = src.scanLine(y)[i];
      src = paletted;
    }
    std::vector<uint8_t> bytes = encodeBmp(src);
    ASSERT_EQ(bytes[0], 'B');
    Bitmap back = readBmp(bytes);
    EXPECT_EQ(back.bitsPerPixel(), bpp);
    EXPECT_TRUE(test::samePixels(src, back)) << bpp;
    if (bpp == 32) {
      EXPECT_EQ(back.scanLine(4)[4 * 6 + 3], src.scanLine(4)[4 * 6 + 3]);
    }
  }
}

TEST(BmpWriter, WritesRowsBottomUpWithAFileHeader) {
  Bitmap b(1, 2, 24);
  b.scanLine(0)[0] = 0xAA;  // top
  b.scanLine(1)[0] = 0xBB;  // bottom
  std::vector<uint8_t> bytes = encodeBmp(b);
  ASSERT_EQ(bytes.size(), 14u + 40 + 8);
  uint32_t off = bytes[10] | (bytes[11] << 8);
  EXPECT_EQ(off, 54u);
  EXPECT_EQ(bytes[off], 0xBB);
  EXPECT_EQ(bytes[off + 4], 0xAA);
}

TEST(BmpReader, RegistryDecodesBmpRleAndDibByExtension) {
  std::string dir = test::makeTempDir("bmp");
  BmpSpec s;
  s.width = 2;
  s.height = 2;
  s.pixels.assign(16, 9);
  for (const char* name : {"a.bmp", "b.RLE", "c.dib"}) {
    test::writeBytes(dir + name, makeBmp(s));
    DecodedImage d = loadImage(dir + name);
    EXPECT_EQ(d.kind, DecodedKind::kBitmap);
    EXPECT_EQ(d.width, 2);
  }
  test::writeBytes(dir + "x.zzz", makeBmp(s));
  try {
    loadImage(dir + "x.zzz");
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Unknown picture file extension (.zzz)");
  }
}

}  // namespace
}  // namespace brevane::codecs
