// PNG writer: pixel-exact round trips through libpng, the per-row filter choice, the chunk
// layout and the IDAT split.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <tuple>

#include "core/codecs/reference_decoders.h"
#include "codecs/encoders.h"
#include "codecs/png_filter.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

using png::FilterType;

Bitmap withAlphaPlane(const Bitmap& img, uint32_t seed) {
  Bitmap alpha(img.width(), img.height(), 24);
  std::mt19937 rng(seed);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) alpha.scanLine(y)[3 * x + 2] = static_cast<uint8_t>(rng());
  return alpha;
}

// The filter type byte of every row, from the file's own zlib stream.
std::vector<uint8_t> filterBytes(const std::vector<uint8_t>& file, int width, int height, int channels) {
  test::PngRead r = test::readPng(file);
  size_t rowBytes = static_cast<size_t>(width) * channels + 1;
  std::vector<uint8_t> raw(rowBytes * height);
  uLongf size = raw.size();
  EXPECT_EQ(uncompress(raw.data(), &size, r.zlibStream.data(), r.zlibStream.size()), Z_OK);
  EXPECT_EQ(size, raw.size());
  std::vector<uint8_t> types;
  for (int y = 0; y < height; ++y) types.push_back(raw[rowBytes * y]);
  return types;
}

// (width, height, bits per pixel, with alpha plane, interlace, all filters, level)
using RoundTrip = std::tuple<int, int, int, bool, bool, bool, int>;
class PngRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(PngRoundTrip, LibpngReadsBackTheExactPixels) {
  auto [w, h, bpp, withAlpha, interlace, filters, level] = GetParam();
  Bitmap img = test::patternImage(w, h, bpp == 8 ? 24 : bpp, 11);
  if (bpp == 8) {
    img = Bitmap(w, h, 8);
    img.palette().resize(256);
    for (int i = 0; i < 256; ++i) img.palette()[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) img.scanLine(y)[x] = static_cast<uint8_t>(x * 3 + y * 5);
  }
  Bitmap alpha = withAlphaPlane(img, 5);
  std::vector<uint8_t> file = encodePng(img, withAlpha ? &alpha : nullptr, {interlace, filters, level});
  test::PngRead r = test::readPng(file);
  EXPECT_EQ(r.colorType, withAlpha ? 6 : 2);
  EXPECT_EQ(r.interlace, interlace ? 1 : 0);
  ASSERT_EQ(r.image.width(), w);
  ASSERT_EQ(r.image.height(), h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      ASSERT_EQ(r.image.pixel(x, y), img.pixel(x, y)) << x << "," << y;
      if (withAlpha) {
        ASSERT_EQ(r.image.scanLine(y)[4 * x + 3], alpha.scanLine(y)[3 * x + 2]) << x << "," << y;
      }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PngRoundTrip,
                         ::testing::Values(RoundTrip{1, 1, 24, false, false, true, 9},
                                           RoundTrip{1, 1, 24, true, true, true, 9},
                                           RoundTrip{33, 17, 24, false, false, true, 6},
                                           RoundTrip{33, 17, 24, true, false, true, 9},
                                           RoundTrip{33, 17, 32, false, false, true, 9},  // alpha byte dropped
                                           RoundTrip{33, 17, 32, true, true, true, 1},
                                           RoundTrip{2, 9, 24, false, true, false, 0},     // empty Adam7 passes
                                           RoundTrip{9, 2, 24, true, true, true, 9},
                                           RoundTrip{31, 13, 16, false, false, false, 9},
                                           RoundTrip{31, 13, 8, false, true, true, 9},
                                           RoundTrip{31, 13, 8, true, false, true, 0}));

// Rows built so that one filter gives a constant byte sequence; the prior row is random.
struct CraftedRows {
  static constexpr int kBpp = 3;
  static constexpr size_t kLen = 48 * 3;
  std::vector<uint8_t> random, same, ramp, average, paeth, flat;

  CraftedRows() {
    std::mt19937 rng(3);
    random.resize(kLen);
    for (uint8_t& b : random) b = static_cast<uint8_t>(rng());
    same = random;  // Up and Paeth both all zero: the tie goes to Up
    ramp.resize(kLen);
    for (size_t i = 0; i < kLen; ++i) ramp[i] = static_cast<uint8_t>((i / 3) * 7 + (i % 3) * 50);
    average = build(ramp, [](int a, int b, int) { return (a + b) >> 1; });
    paeth = build(average, [](int a, int b, int c) {
      int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
      return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
    });
    flat.assign(kLen, 0x5A);
  }

  // A row whose bytes are predictor + 9 for the given predictor over `prior`.
  template <class Pred>
  static std::vector<uint8_t> build(const std::vector<uint8_t>& prior, Pred pred) {
    std::vector<uint8_t> row(kLen);
    for (size_t i = 0; i < kLen; ++i) {
      int a = i >= kBpp ? row[i - kBpp] : 0, b = prior[i], c = i >= kBpp ? prior[i - kBpp] : 0;
      row[i] = static_cast<uint8_t>(pred(a, b, c) + 9);
    }
    return row;
  }
};

TEST(PngFilterChoice, EachCraftedRowTakesTheFilterItFavours) {
  CraftedRows rows;
  png::RowFilter filter(CraftedRows::kLen, 3, true);
  EXPECT_EQ(filter.apply(rows.same.data(), rows.random.data()), png::kUp);
  EXPECT_EQ(filter.apply(rows.ramp.data(), rows.random.data()), png::kSub);
  EXPECT_EQ(filter.apply(rows.average.data(), rows.ramp.data()), png::kAverage);
  for (size_t i = 0; i < CraftedRows::kLen; ++i) ASSERT_EQ(filter.filtered()[i], 9);
  EXPECT_EQ(filter.apply(rows.paeth.data(), rows.average.data()), png::kPaeth);
  EXPECT_EQ(filter.apply(rows.flat.data(), rows.paeth.data()), png::kNone);

  // One pixel of three different bytes: every filter scores 0, so None.
  png::RowFilter one(3, 3, true);
  const uint8_t pixel[3] = {1, 2, 3};
  EXPECT_EQ(one.apply(pixel, nullptr), png::kNone);

  // Filters off: None whatever the row.
  png::RowFilter off(CraftedRows::kLen, 3, false);
  EXPECT_EQ(off.apply(rows.ramp.data(), rows.random.data()), png::kNone);
  EXPECT_EQ(off.filtered(), rows.ramp.data());
}

TEST(PngFilterChoice, TheFileCarriesTheChosenFilterOfEveryRow) {
  CraftedRows rows;
  const std::vector<const std::vector<uint8_t>*> order = {&rows.random,  &rows.same,  &rows.ramp,
                                                          &rows.average, &rows.paeth, &rows.flat};
  Bitmap img(48, static_cast<int>(order.size()), 24);
  for (size_t y = 0; y < order.size(); ++y)
    for (int x = 0; x < 48; ++x)  // the file holds R, G, B; the bitmap B, G, R
      for (int c = 0; c < 3; ++c) img.scanLine(static_cast<int>(y))[3 * x + 2 - c] = (*order[y])[3 * x + c];
  std::vector<uint8_t> types = filterBytes(encodePng(img, nullptr, {false, true, 9}), 48, 6, 3);
  EXPECT_EQ(types[1], png::kUp);
  EXPECT_EQ(types[2], png::kSub);
  EXPECT_EQ(types[3], png::kAverage);
  EXPECT_EQ(types[4], png::kPaeth);
  EXPECT_EQ(types[5], png::kNone);
  EXPECT_EQ(filterBytes(encodePng(img, nullptr, {false, false, 9}), 48, 6, 3), std::vector<uint8_t>(6, 0));
  EXPECT_TRUE(test::samePixels(test::readPng(encodePng(img, nullptr, {false, true, 9})).image, img));
}

TEST(PngWriter, ChunksAreIhdrIdatIendWithIdatOf65535Bytes) {
  // Noise at level 0 gives a stream of about 3 x 220 x 220 bytes, three IDAT chunks.
  Bitmap img(220, 220, 24);
  std::mt19937 rng(1);
  for (int y = 0; y < 220; ++y)
    for (size_t i = 0; i < 660; ++i) img.scanLine(y)[i] = static_cast<uint8_t>(rng());
  std::vector<uint8_t> file = encodePng(img, nullptr, {false, true, 0});
  test::PngRead r = test::readPng(file);
  ASSERT_GT(r.zlibStream.size(), 65535u * 2);
  ASSERT_EQ(r.chunks.front(), "IHDR");
  ASSERT_EQ(r.chunks.back(), "IEND");
  ASSERT_EQ(r.chunks.size(), r.idatSizes.size() + 2);
  for (size_t i = 0; i + 1 < r.idatSizes.size(); ++i) EXPECT_EQ(r.idatSizes[i], 65535u);
  EXPECT_LT(r.idatSizes.back(), 65535u);
  EXPECT_GT(r.idatSizes.back(), 0u);
  EXPECT_TRUE(test::samePixels(r.image, img));

  // A small image: one IDAT.
  test::PngRead small = test::readPng(encodePng(Bitmap(4, 4, 24), nullptr, {}));
  EXPECT_EQ(small.chunks, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
}

TEST(PngWriter, LevelIsHonoured) {
  Bitmap img = test::photoLike(200, 100, 3);
  size_t stored = encodePng(img, nullptr, {false, true, 0}).size();
  size_t best = encodePng(img, nullptr, {false, true, 9}).size();
  EXPECT_GT(stored, 200u * 100 * 3);
  EXPECT_LT(best, stored * 3 / 4);
}

}  // namespace
}  // namespace brevane::codecs
