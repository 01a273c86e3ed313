// ResampleImage: byte-for-byte agreement with the literal reference, and the numeric corner cases.
#include "imaging/resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/imaging/resample_reference.h"
#include "support/test_support.h"

namespace brevane::imaging {
namespace {

using detail::ResampleIsa;

// Noise over blocks of black and white, so that ringing kernels overshoot both ends.
Bitmap testImage(int width, int height, uint32_t seed) {
  Bitmap b(width, height, 24);
  std::mt19937 rng(seed);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = b.scanLine(y);
    for (int x = 0; x < width; ++x) {
      bool block = ((x / 5) + (y / 3)) % 3 == 0;
      for (int c = 0; c < 3; ++c) {
        uint32_t v = rng();
        row[3 * x + c] = block ? ((x / 5 + c) % 2 ? 255 : 0) : static_cast<uint8_t>(v >> 24);
      }
    }
  }
  return b;
}

Bitmap resampled(const Bitmap& src, int w, int h, uint8_t kernel, float radius, ResampleIsa isa) {
  Bitmap s = src, d(w, h, 24);
  detail::resampleImageWith(s, d, kernel, radius, isa);
  return d;
}

Bitmap referenceResampled(const Bitmap& src, int w, int h, uint8_t kernel, float radius) {
  Bitmap s = src, d(w, h, 24);
  test::referenceResample(s, d, kernel, radius);
  return d;
}

::testing::AssertionResult sameBytes(const Bitmap& a, const Bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height() || a.bitsPerPixel() != 24 || b.bitsPerPixel() != 24)
    return ::testing::AssertionFailure() << "layout differs";
  for (int y = 0; y < a.height(); ++y)
    for (int i = 0; i < 3 * a.width(); ++i)
      if (a.scanLine(y)[i] != b.scanLine(y)[i])
        return ::testing::AssertionFailure() << "byte " << i << " of row " << y << ": " << int(a.scanLine(y)[i])
                                             << " vs reference " << int(b.scanLine(y)[i]);
  return ::testing::AssertionSuccess();
}

struct Shape {
  int sw, sh, dw, dh;
};
void PrintTo(const Shape& s, std::ostream* os) {
  *os << s.sw << "x" << s.sh << "->" << s.dw << "x" << s.dh;
}

class ResampleMatchesReference : public ::testing::TestWithParam<Shape> {};

TEST_P(ResampleMatchesReference, EveryKernelBothLoopSets) {
  const Shape sh = GetParam();
  const Bitmap src = testImage(sh.sw, sh.sh, static_cast<uint32_t>(sh.sw * 131 + sh.sh * 7 + sh.dw));
  for (uint8_t kernel = 0; kernel < kResampleKernelCount; ++kernel) {
    SCOPED_TRACE(::testing::Message() << "kernel " << int(kernel));
    const Bitmap expected = referenceResampled(src, sh.dw, sh.dh, kernel, 0);
    EXPECT_TRUE(sameBytes(resampled(src, sh.dw, sh.dh, kernel, 0, ResampleIsa::kGeneric), expected));
    if (detail::resampleAvx2Available()) {
      EXPECT_TRUE(sameBytes(resampled(src, sh.dw, sh.dh, kernel, 0, ResampleIsa::kAvx2), expected));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, ResampleMatchesReference,
                         ::testing::Values(Shape{1, 1, 1, 1}, Shape{1, 1, 5, 3}, Shape{1, 7, 4, 1}, Shape{7, 1, 1, 9},
                                           Shape{2, 2, 2, 2}, Shape{2, 2, 7, 5}, Shape{3, 2, 2, 3},
                                           Shape{13, 17, 13, 17}, Shape{31, 7, 5, 29}, Shape{97, 61, 41, 23},
                                           Shape{41, 23, 97, 61}, Shape{11, 97, 61, 3}, Shape{40, 30, 1, 1},
                                           Shape{600, 3, 1, 3}, Shape{3, 600, 3, 1}, Shape{1025, 2, 2, 1},
                                           Shape{1030, 3, 2, 2}, Shape{300, 2, 1200, 3}, Shape{257, 199, 1024, 768},
                                           Shape{640, 480, 333, 251}, Shape{1283, 9, 7, 4},
                                           // Few destination rows reading many source rows: the
                                           // horizontal results go through a byte work image.
                                           Shape{1000, 101, 1000, 1}, Shape{1000, 150, 1001, 2}));

TEST(ResampleImage, MatchesReferenceWithExplicitRadius) {
  const Bitmap src = testImage(37, 29, 5);
  for (float radius : {0.5f, 1.7f, 4.0f}) {
    for (uint8_t kernel : {uint8_t{0}, uint8_t{5}, uint8_t{6}}) {
      SCOPED_TRACE(::testing::Message() << "kernel " << int(kernel) << " radius " << radius);
      const Bitmap expected = referenceResampled(src, 53, 11, kernel, radius);
      EXPECT_TRUE(sameBytes(resampled(src, 53, 11, kernel, radius, ResampleIsa::kAuto), expected));
      EXPECT_TRUE(sameBytes(resampled(src, 53, 11, kernel, radius, ResampleIsa::kGeneric), expected));
    }
  }
}

// Equal sizes: the weights of an inner pixel, and whether the image comes back unchanged.
struct EqualSizeCase {
  uint8_t kernel;
  std::vector<int32_t> weights;  // left neighbour, centre, right neighbour
};

class EqualSize : public ::testing::TestWithParam<EqualSizeCase> {};

TEST_P(EqualSize, InnerWeightsAndIdentity) {
  const EqualSizeCase& c = GetParam();
  TALContributorList list = buildContributorList(9, 9, resampleScale(9, 9), c.kernel, 0);
  ASSERT_EQ(list.size(), 9u);
  std::vector<int32_t> weights;
  for (int k = 0; k < list[4].N; ++k) {
    EXPECT_EQ(list[4].Contributors[k].Pixel, 4 - static_cast<int>(c.weights.size()) / 2 + k);
    weights.push_back(list[4].Contributors[k].Weight);
  }
  EXPECT_EQ(weights, c.weights);

  Bitmap src = testImage(9, 6, 3), dst(9, 6, 24);
  const Bitmap original = src;
  ResampleImage(src, dst, c.kernel, 0);
  EXPECT_EQ(sameBytes(dst, original), c.weights.size() == 1);
}

INSTANTIATE_TEST_SUITE_P(Kernels, EqualSize,
                         ::testing::Values(EqualSizeCase{kNearestNeighbour, {256}}, EqualSizeCase{kBilinear, {256}},
                                           EqualSizeCase{kHermite, {256}}, EqualSizeCase{kLanczos3, {256}},
                                           EqualSizeCase{kBell, {32, 192, 32}}, EqualSizeCase{kBSpline, {43, 171, 43}},
                                           EqualSizeCase{kMitchell, {14, 228, 14}}));

TEST(ResampleImage, EqualSizeSofteningMirrorsAtTheBorder) {
  // Bell at the left edge: pixel -1 mirrors to 1, so 32*v1 + 192*v0 + 32*v1.
  TALContributorList list = buildContributorList(5, 5, 1.0f, kBell, 0);
  ASSERT_EQ(list[0].N, 3);
  EXPECT_EQ(list[0].Contributors[0].Pixel, 1);
  // At the right edge pixel n mirrors to n - 1 itself.
  ASSERT_EQ(list[4].N, 3);
  EXPECT_EQ(list[4].Contributors[2].Pixel, 4);
}

Bitmap row(std::initializer_list<uint8_t> greys) {
  Bitmap b(static_cast<int>(greys.size()), 1, 24);
  int x = 0;
  for (uint8_t g : greys) {
    for (int c = 0; c < 3; ++c) b.scanLine(0)[3 * x + c] = g;
    ++x;
  }
  return b;
}

std::vector<int> greysOf(const Bitmap& b) {
  std::vector<int> out;
  for (int y = 0; y < b.height(); ++y)
    for (int x = 0; x < b.width(); ++x) out.push_back(b.scanLine(y)[3 * x + 1]);
  return out;
}

TEST(ResampleImage, BilinearMiddleOfTwoIsTruncated) {
  Bitmap src = row({0, 255}), dst(3, 1, 24);
  ResampleImage(src, dst, kBilinear, 0);
  EXPECT_EQ(greysOf(dst), (std::vector<int>{0, 127, 255}));
}

TEST(ResampleImage, NearestNeighbourHalfWayTakesLeftAndUpper) {
  Bitmap src = row({10, 200}), dst(3, 1, 24);
  ResampleImage(src, dst, kNearestNeighbour, 0);
  EXPECT_EQ(greysOf(dst), (std::vector<int>{10, 10, 200}));

  Bitmap column(1, 2, 24);
  column.scanLine(0)[1] = 10;
  column.scanLine(1)[1] = 200;
  Bitmap tall(1, 3, 24);
  ResampleImage(column, tall, kNearestNeighbour, 0.5f);
  EXPECT_EQ(greysOf(tall), (std::vector<int>{10, 10, 200}));
}

TEST(ResampleImage, OneWideDestinationAveragesFromTheFirstColumn) {
  // Scale 1/5: bilinear weights 51, 41, 31, 20, 10 at distances 0-4, the left side mirrored.
  TALContributorList list = buildContributorList(5, 1, resampleScale(5, 1), kBilinear, 0);
  ASSERT_EQ(list.size(), 1u);
  std::vector<int> perPixel(5, 0);
  for (int k = 0; k < list[0].N; ++k) perPixel[list[0].Contributors[k].Pixel] += list[0].Contributors[k].Weight;
  EXPECT_EQ(perPixel, (std::vector<int>{51, 82, 62, 40, 20}));

  Bitmap src = row({0, 0, 0, 0, 255}), dst(1, 1, 24);
  ResampleImage(src, dst, kBilinear, 0);
  EXPECT_EQ(greysOf(dst), (std::vector<int>{20}));  // 255 * 20 / 255
}

TEST(ResampleImage, ScaleOf1In512OrLessIsBlack) {
  for (uint8_t kernel = 0; kernel < kResampleKernelCount; ++kernel) {
    SCOPED_TRACE(int(kernel));
    for (int width : {512, 600}) {  // 1/512: the centre weight 0.5 rounds to even 0
      Bitmap white(width, 2, 24), dst(1, 2, 24);
      white.fill(255);
      ResampleImage(white, dst, kernel, 0);
      EXPECT_EQ(greysOf(dst), (std::vector<int>{0, 0}));
    }
  }
  Bitmap white(511, 2, 24), dst(1, 2, 24);  // 1/511: weight 1 at the centre
  white.fill(255);
  ResampleImage(white, dst, kNearestNeighbour, 0);
  EXPECT_EQ(greysOf(dst), (std::vector<int>{255, 255}));
}

TEST(ResampleImage, ZeroSidesAndAlphaSource) {
  Bitmap src = test::patternImage(8, 8, 32), empty(0, 5, 24);
  ResampleImage(src, empty, kLanczos3, 0);
  EXPECT_EQ(src.bitsPerPixel(), 24);
  EXPECT_EQ(empty.width(), 0);

  Bitmap none, dst(4, 3, 32);
  dst.fill(99);
  ResampleImage(none, dst, kBilinear, 0);
  EXPECT_EQ(dst.bitsPerPixel(), 24);
  EXPECT_EQ(dst.width(), 4);
  for (int v : greysOf(dst)) EXPECT_EQ(v, 0);
}

TEST(ResampleImage, OutOfRangeKernelAndRadiusFallBackToDefaults) {
  const Bitmap src = testImage(23, 17, 11);
  const Bitmap lanczos = resampled(src, 31, 9, kLanczos3, 0, ResampleIsa::kAuto);
  EXPECT_TRUE(sameBytes(resampled(src, 31, 9, 200, 0, ResampleIsa::kAuto), lanczos));
  EXPECT_TRUE(sameBytes(resampled(src, 31, 9, kLanczos3, -1.0f, ResampleIsa::kAuto), lanczos));
  EXPECT_TRUE(sameBytes(resampled(src, 31, 9, kLanczos3, std::nanf(""), ResampleIsa::kAuto), lanczos));
}

TEST(ResampleImage, UsedDestinationIsEmptiedFirst) {
  const Bitmap src = testImage(19, 13, 4);
  Bitmap used(7, 5, 24);  // 21 bytes a row: 3 bytes of padding
  used.fill(0xAB);
  used.setTransparentColor({1, 2, 3});
  used.setAlphaMode(AlphaMode::kStraight);
  Bitmap s = src;
  ResampleImage(s, used, kMitchell, 0);
  EXPECT_TRUE(sameBytes(used, referenceResampled(src, 7, 5, kMitchell, 0)));
  EXPECT_FALSE(used.transparent());
  EXPECT_EQ(used.alphaMode(), AlphaMode::kUnmarked);
  for (int y = 0; y < 5; ++y)
    for (size_t i = 21; i < used.stride(); ++i) EXPECT_EQ(used.scanLine(y)[i], 0);

  Bitmap empty;  // a zero-sized source leaves a used destination black
  used.fill(0xAB);
  ResampleImage(empty, used, kMitchell, 0);
  for (int v : greysOf(used)) EXPECT_EQ(v, 0);
}

TEST(ResampleImage, KernelValues) {
  EXPECT_EQ(resampleKernel(kNearestNeighbour, 0.5f), 1.0f);
  EXPECT_EQ(resampleKernel(kNearestNeighbour, -0.5f), 0.0f);
  // 3.1415 instead of pi: not quite zero at distance 1, and cut off beyond 3.
  EXPECT_NEAR(resampleKernel(kLanczos3, 1.0f), 2.4e-5f, 1e-5f);
  EXPECT_NE(resampleKernel(kLanczos3, 1.0f), 0.0f);
  EXPECT_EQ(resampleKernel(kLanczos3, 3.0f), 0.0f);
  EXPECT_EQ(resampleKernel(kMitchell, 2.0f), 0.0f);
  for (uint8_t k = 0; k < kResampleKernelCount; ++k)
    for (float x = -3.5f; x <= 3.5f; x += 0.01f) EXPECT_EQ(resampleKernel(k, x), test::referenceKernel(k, x));
}

TEST(ResampleImage, LanczosAgreesWithTheReferenceEverywhere) {
  // Random arguments, and arguments whose double-precision sinc lies next to a float midpoint.
  std::vector<float> xs = {0x1.121044p-6f, 0x1.c25eb8p-2f, 0x1.7e0896p+1f, 0x1.63ba44p+1f, 0x1.77da3ap-4f,
                           0x1.54e9a8p-2f, 1.0f,           2.0f,           1e-7f,          -2.9999998f};
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> dist(-3.0f, 3.0f);
  for (int i = 0; i < 200000; ++i) xs.push_back(dist(rng));
  int mismatches = 0;
  for (float x : xs) mismatches += resampleKernel(kLanczos3, x) != test::referenceKernel(kLanczos3, x);
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace brevane::imaging
