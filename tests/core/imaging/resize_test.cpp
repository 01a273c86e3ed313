// The resize policy: fitting, smart crop, percent, and the modes of the resize step.
#include "imaging/resize.h"

#include <gtest/gtest.h>

#include "imaging/resampler.h"
#include "support/test_support.h"

namespace brevane::imaging {
namespace {

struct FitCase {
  int w, h, tw, th;
  bool enlarge;
  Size expected;
};
void PrintTo(const FitCase& c, std::ostream* os) {
  *os << c.w << "x" << c.h << " into " << c.tw << "x" << c.th << (c.enlarge ? " enlarge" : "");
}

class FitTable : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitTable, Fits) {
  const FitCase& c = GetParam();
  EXPECT_EQ(Fit(c.w, c.h, c.tw, c.th, c.enlarge), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitTable,
    ::testing::Values(FitCase{4000, 3000, 800, 600, false, {800, 600}},
                      FitCase{4000, 3000, 800, 800, false, {800, 600}},
                      FitCase{3000, 4000, 800, 600, false, {450, 600}}, FitCase{500, 400, 800, 600, false, {500, 400}},
                      FitCase{500, 400, 800, 600, true, {750, 600}}, FitCase{1000, 1000, 800, 600, false, {600, 600}},
                      FitCase{4000, 1, 800, 600, false, {800, 1}}, FitCase{1, 4000, 800, 600, false, {1, 600}},
                      FitCase{1001, 1000, 3, 3, false, {3, 3}}, FitCase{0, 0, 800, 600, true, {800, 600}}));

struct CropCase {
  int w, h, tw, th;
  bool enlarge;
  std::optional<CropRect> expected;
};
void PrintTo(const CropCase& c, std::ostream* os) {
  *os << c.w << "x" << c.h << " for " << c.tw << "x" << c.th << (c.enlarge ? " enlarge" : "");
}

class SmartCropTable : public ::testing::TestWithParam<CropCase> {};

TEST_P(SmartCropTable, Rectangle) {
  const CropCase& c = GetParam();
  EXPECT_EQ(smartCropRect(c.w, c.h, c.tw, c.th, c.enlarge), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SmartCropTable,
                         ::testing::Values(CropCase{1000, 500, 800, 600, true, CropRect{166, 0, 667, 500}},
                                           CropCase{1000, 500, 800, 600, false, std::nullopt},
                                           CropCase{600, 800, 300, 800, true, CropRect{150, 0, 300, 800}},
                                           CropCase{600, 800, 300, 800, false, std::nullopt},
                                           CropCase{4000, 3000, 1080, 1920, false, CropRect{1156, 0, 1688, 3000}},
                                           CropCase{3000, 4000, 800, 600, false, CropRect{0, 875, 3000, 2250}},
                                           CropCase{800, 600, 800, 600, true, std::nullopt},
                                           // 7x3 has the ratio 2.3; a 5-high image only allows 12x5 (2.4): no crop.
                                           CropCase{12, 5, 7, 3, true, std::nullopt},
                                           // Extreme target: the crop width would round to 0.
                                           CropCase{1000, 1, 1, 1000, true, std::nullopt}));

struct PercentCase {
  int w, h, percent;
  Size expected;
};

class PercentTable : public ::testing::TestWithParam<PercentCase> {};

TEST_P(PercentTable, Size) {
  const PercentCase& c = GetParam();
  EXPECT_EQ(percentSize(c.w, c.h, c.percent), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PercentTable,
                         ::testing::Values(PercentCase{300, 200, 1, {4, 4}}, PercentCase{300, 200, 200, {600, 400}},
                                           PercentCase{300, 200, 100, {300, 200}},
                                           PercentCase{301, 201, 50, {150, 100}},
                                           // 100 percent keeps every size, also where 53 / 100 * 100 in
                                           // floating point falls just below 53.
                                           PercentCase{29, 53, 100, {29, 53}},
                                           PercentCase{3, 5, 150, {4, 7}}, PercentCase{4001, 3, 33, {1320, 4}}));

// An image whose alpha plane carries the image's red channel, so alignment can be checked.
struct Subject {
  Bitmap image, alpha;
};
Subject subject(int w, int h) {
  Subject s{test::patternImage(w, h, 24, 9), Bitmap(w, h, 24)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) s.alpha.scanLine(y)[3 * x + 2] = s.image.scanLine(y)[3 * x + 2];
  return s;
}
void expectAligned(const Subject& s) {
  ASSERT_EQ(s.alpha.width(), s.image.width());
  ASSERT_EQ(s.alpha.height(), s.image.height());
  for (int y = 0; y < s.image.height(); ++y)
    for (int x = 0; x < s.image.width(); ++x)
      ASSERT_EQ(s.alpha.scanLine(y)[3 * x + 2], s.image.scanLine(y)[3 * x + 2]) << x << "," << y;
}

ResizeOptions widthHeight(int tw, int th, bool proportional, bool enlarge, bool crop) {
  ResizeOptions o;
  o.mode = ResizeMode::kWidthHeight;
  o.width = tw;
  o.height = th;
  o.proportional = proportional;
  o.enlarge = enlarge;
  o.smartCrop = crop;
  return o;
}

ResizeOptions percent(int p) {
  ResizeOptions o;
  o.mode = ResizeMode::kPercent;
  o.percent = p;
  return o;
}

// mode 0 none, 1 width and height (tw, th, flags), 2 percent (tw is the percentage).
struct StepCase {
  const char* name;
  int mode, tw, th;
  bool proportional, enlarge, crop;
  int w, h;
  Size expected;
};
void PrintTo(const StepCase& c, std::ostream* os) {
  *os << c.name;
}

class ResizeStepTable : public ::testing::TestWithParam<StepCase> {};

TEST_P(ResizeStepTable, SizeAndAlignedAlpha) {
  const StepCase& c = GetParam();
  ResizeOptions options = c.mode == 2 ? percent(c.tw) : widthHeight(c.tw, c.th, c.proportional, c.enlarge, c.crop);
  options.mode = static_cast<ResizeMode>(c.mode);
  Subject s = subject(c.w, c.h);
  resizeStep(s.image, &s.alpha, options);
  EXPECT_EQ((Size{s.image.width(), s.image.height()}), c.expected);
  expectAligned(s);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ResizeStepTable,
    ::testing::Values(StepCase{"none", 0, 80, 60, true, true, true, 40, 30, {40, 30}},
                      StepCase{"fit", 1, 80, 60, true, false, false, 400, 300, {80, 60}},
                      StepCase{"fit_square_target", 1, 80, 80, true, false, false, 400, 300, {80, 60}},
                      StepCase{"fit_small_stays", 1, 80, 60, true, false, false, 50, 40, {50, 40}},
                      StepCase{"fit_small_enlarged", 1, 80, 60, true, true, false, 50, 40, {75, 60}},
                      StepCase{"stretch", 1, 80, 80, false, true, true, 400, 300, {80, 80}},
                      StepCase{"crop_enlarge", 1, 80, 60, true, true, true, 100, 50, {80, 60}},
                      StepCase{"crop_enlarge_full_size", 1, 800, 600, true, true, true, 1000, 500, {800, 600}},
                      StepCase{"crop_not_larger", 1, 80, 60, true, false, true, 100, 50, {80, 40}},
                      StepCase{"crop_portrait", 1, 30, 80, true, true, true, 60, 80, {30, 80}},
                      StepCase{"crop_portrait_off", 1, 30, 80, true, false, true, 60, 80, {30, 40}},
                      StepCase{"percent_floor", 2, 1, 0, true, false, false, 300, 200, {4, 4}},
                      StepCase{"percent_double", 2, 200, 0, true, false, false, 30, 20, {60, 40}}));

TEST(ResizeStep, SmartCropTakesTheCentreBeforeScaling) {
  // 1000x500 for 800x600: the crop 667x500 at x 166; at the crop's own size nearest
  // neighbour copies it, so the result is exactly the cut-out.
  Subject s = subject(1000, 500);
  const Bitmap expected = s.image.copyRect(166, 0, 667, 500);
  ResizeOptions options = widthHeight(667, 500, true, true, true);
  options.kernel = kNearestNeighbour;
  // Target 667x500 has the ratio 1.334 (1.3), the same crop as 800x600.
  resizeStep(s.image, &s.alpha, options);
  EXPECT_TRUE(test::samePixels(s.image, expected));
  expectAligned(s);
}

TEST(ResizeStep, FailuresOfStretchAndPercentAreThrownAndLeaveTheImage) {
  Subject s = subject(20, 10);
  const Bitmap original = s.image;
  EXPECT_THROW(resizeStep(s.image, &s.alpha, widthHeight(99999, 99999, false, false, false)), std::exception);
  ResizeOptions huge = percent(200000);  // 40000 x 20000: above the image limit
  EXPECT_THROW(resizeStep(s.image, &s.alpha, huge), std::exception);
  EXPECT_TRUE(test::samePixels(s.image, original));
  expectAligned(s);
}

TEST(ResizeStep, KeepProportionsFailureIsThrown) {
  Subject s = subject(2, 1);
  EXPECT_THROW(resizeStep(s.image, &s.alpha, widthHeight(99999, 99999, true, true, false)), std::exception);
  EXPECT_EQ(s.image.width(), 2);
  expectAligned(s);
}

}  // namespace
}  // namespace brevane::imaging
