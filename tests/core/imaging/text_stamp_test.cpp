// The text stamp: font matching and metrics, size fitting, alphas, the opaque and the
// semi-transparent paths, and rendered stamps compared with golden images.
#include "imaging/text_stamp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "base/error.h"
#include "codecs/encoders.h"
#include "codecs/registry.h"
#include "imaging/blend.h"
#include "imaging/fonts.h"
#include "support/test_support.h"

namespace brevane::imaging {
namespace {

// The metric stand-ins the goldens and the numbers below were made with.
bool liberationInstalled() {
  return matchFont(FontChoice{}).family == "Liberation Serif";
}

#define REQUIRE_LIBERATION()                                                          \
  do {                                                                                \
    if (!liberationInstalled()) GTEST_SKIP() << "fonts-liberation2 is not installed"; \
  } while (0)

Bitmap filled(int w, int h, int bpp, uint8_t value) {
  Bitmap b(w, h, bpp);
  b.fill(value);
  return b;
}

TextStampOptions stampSettings(int opacity, bool shadow, int position = 0) {
  TextStampOptions s;
  s.opacity = opacity;
  s.shadow = shadow;
  s.position = position;
  s.font.size = 16;
  return s;
}

TEST(FontsTest, PointsAndColoursAndLanguages) {
  EXPECT_EQ(pointsToPixels(26), 35);
  EXPECT_EQ(pointsToPixels(8), 11);  // 10.67
  EXPECT_EQ(pointsToPixels(6), 8);
  EXPECT_EQ(pointsToPixels(72), 96);
  FontChoice f;
  f.color = 0x00336699;  // 0x00BBGGRR
  EXPECT_EQ(fontColor(f), (Bgr{0x33, 0x66, 0x99}));
  f.color = static_cast<int32_t>(0x80000008);  // a system colour
  EXPECT_EQ(fontColor(f), (Bgr{0, 0, 0}));
  EXPECT_EQ(charsetLanguage(204), "ru");
  EXPECT_EQ(charsetLanguage(1), "");
}

TEST(FontsTest, MissingFacesAreSubstitutedAndStylesPickTheirFaces) {
  REQUIRE_LIBERATION();
  FontChoice f;  // "Times New Roman"
  EXPECT_EQ(matchFont(f).family, "Liberation Serif");
  f.style = 1;
  EXPECT_NE(matchFont(f).file.find("Bold"), std::string::npos) << matchFont(f).file;
  f.style = 2;
  EXPECT_NE(matchFont(f).file.find("Italic"), std::string::npos) << matchFont(f).file;
  f.name = "Arial";
  f.style = 0;
  EXPECT_EQ(matchFont(f).family, "Liberation Sans");
}

TEST(FontsTest, ExtentIsTheAdvanceAndTheLineHeight) {
  FontChoice f;
  TextExtent empty = measureText(f, 26, "");
  EXPECT_EQ(empty.width, 0);
  EXPECT_GT(empty.height, 35);  // ascender - descender exceeds the em of 35 pixels
  EXPECT_LT(empty.height, 50);
  TextExtent one = measureText(f, 26, "Stamp");
  TextExtent two = measureText(f, 26, "StampStamp");
  EXPECT_EQ(one.height, empty.height);
  EXPECT_GT(one.width, 40);
  EXPECT_NEAR(two.width, 2 * one.width, 1);
  EXPECT_GT(measureText(f, 52, "Stamp").width, one.width * 19 / 10);
  EXPECT_THROW(measureText(f, 100000, "x"), Error);
}

TEST(FontsTest, CharactersMissingFromTheFaceComeFromAFallbackFace) {
  REQUIRE_LIBERATION();
  if (matchFont(FontChoice{"DejaVu Serif"}).family != "DejaVu Serif")
    GTEST_SKIP() << "fonts-dejavu-core is not installed";
  FontChoice f;  // Liberation Serif has no Armenian
  LineRect all{-100, -100, 400, 400};
  Coverage armenian = renderText(f, 20, "\u0531", all);
  Coverage missing = renderText(f, 20, "\uE000", all);  // in no font: the empty-glyph box
  ASSERT_FALSE(armenian.empty());
  EXPECT_TRUE(armenian.data != missing.data || armenian.width != missing.width);
  // The line keeps the matched face's height, and the Latin part its own advance.
  EXPECT_EQ(measureText(f, 20, "A\u0531").height, measureText(f, 20, "A").height);
  EXPECT_NEAR(measureText(f, 20, "A\u0531").width, measureText(f, 20, "A").width + measureText(f, 20, "\u0531").width,
              1);
  // Malformed UTF-8 neither throws nor reads past the end.
  EXPECT_NO_THROW(renderText(f, 20, std::string("A\xE2\x82", 3), all));
  EXPECT_NO_THROW(measureText(f, 20, std::string("\xF0\x9F", 2)));
}

TEST(FontsTest, RenderingIsIdenticalAcrossThreads) {
  FontChoice f;
  LineRect all{-1000, -1000, 4000, 4000};
  Coverage reference = renderText(f, 20, "Parallel 0123", all);
  ASSERT_FALSE(reference.empty());
  std::vector<std::thread> threads;
  std::atomic<int> mismatches{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      FontChoice g = f;
      g.style = t & 1;  // two faces in use at once
      for (int i = 0; i < 20; ++i) {
        renderText(g, 12 + i, "other", all);
        Coverage c = renderText(f, 20, "Parallel 0123", all);
        if (c.data != reference.data || c.left != reference.left || c.width != reference.width) ++mismatches;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(mismatches, 0);
}

TEST(StampAlphasTest, ShadowAndTextAlphasRoundTiesToEven) {
  EXPECT_EQ(stampAlphas(99), (StampAlphas{74, 252}));  // 74.25, 252.45
  EXPECT_EQ(stampAlphas(1), (StampAlphas{1, 3}));      // 0.75, 2.55
  EXPECT_EQ(stampAlphas(50), (StampAlphas{38, 128}));  // 37.5, 127.5
  EXPECT_EQ(stampAlphas(75), (StampAlphas{56, 191}));  // 56.25, 191.25
  EXPECT_EQ(stampAlphas(0), (StampAlphas{0, 0}));
}

TEST(FitFontSizeTest, ShrinksToAThirdOfTheWidthButNotBelowEight) {
  FontChoice f;
  f.size = 72;
  const std::string line = "09.12.2026 - 12:34";
  ASSERT_GT(measureText(f, 72, line).width, 350);
  int s = fitFontSize(f, line, 1000);
  EXPECT_LT(s, 72);
  EXPECT_GE(s, kMinFittedSize);
  EXPECT_LE(measureText(f, s, line).width, 350);
  EXPECT_GT(measureText(f, s + 1, line).width, 350);

  // Nothing fits a narrow image: drawn at 8 points, wider than the limit.
  EXPECT_EQ(fitFontSize(f, line, 50), 8);
  // A line that fits keeps the font's own size.
  EXPECT_EQ(fitFontSize(f, "i", 1000), 72);
  // Sizes beyond what the renderer draws start the search at its largest size.
  f.size = 1000000;
  EXPECT_EQ(fitFontSize(f, "", 100), kMaxFontPoints);
  // Below 8 points the size is used as it is.
  f.size = 6;
  EXPECT_EQ(fitFontSize(f, line, 10), 6);
}

// Coverage of the line as drawn at `size` with its extent box at (0, 0).
Coverage coverageOf(const std::string& line, const FontChoice& f, int size) {
  return renderText(f, size, line, {-100, -100, 2000, 400});
}

int covAt(const Coverage& c, int x, int y) {
  int cx = x - c.left, cy = y - c.top;
  if (cx < 0 || cy < 0 || cx >= c.width || cy >= c.height) return 0;
  return c.at(cx, cy);
}

TEST(StampTextTest, OpaqueTextGetsAOnePixelBlackShadow) {
  TextStampOptions s = stampSettings(100, true);
  s.font.size = 40;
  const std::string line = "HIH";
  Bitmap image = filled(400, 60, 24, 128);
  stampText(image, false, line, s);
  ASSERT_EQ(image.bitsPerPixel(), 24);
  Coverage c = coverageOf(line, s.font, s.font.size);
  int text = 0, shadow = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 400; ++x) {
      int t = covAt(c, x - 10, y - 10), sh = covAt(c, x - 11, y - 11);
      if (t == 255) {
        EXPECT_EQ(image.pixel(x, y), (Bgr{255, 255, 255})) << x << "," << y;
        ++text;
      } else if (t == 0 && sh == 255) {
        EXPECT_EQ(image.pixel(x, y), (Bgr{0, 0, 0})) << x << "," << y;
        ++shadow;
      } else if (t == 0 && sh == 0) {
        EXPECT_EQ(image.pixel(x, y), (Bgr{128, 128, 128})) << x << "," << y;
      }
    }
  EXPECT_GT(text, 50);
  EXPECT_GT(shadow, 10);
}

TEST(StampTextTest, SemiTransparentTextBlendsWithItsAlphasAndATwoPixelShadow) {
  TextStampOptions s = stampSettings(50, true);  // shadow alpha 38, text alpha 128
  const std::string line = "HIH";
  Bitmap image = filled(300, 60, 24, 100);
  stampText(image, false, line, s);
  ASSERT_EQ(image.bitsPerPixel(), 24);  // back to 24 bits
  Coverage c = coverageOf(line, s.font, s.font.size);
  int checked = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 300; ++x) {
      int t = covAt(c, x - 10, y - 10), sh = covAt(c, x - 12, y - 12);
      int expected = -1;
      if (t == 255 && sh == 0) expected = 178;    // Round(155 * 128 / 255 + 100)
      if (t == 0 && sh == 255) expected = 85;     // Round(-100 * 38 / 255 + 100)
      if (t == 255 && sh == 255) expected = 170;  // Round(170 * 128 / 255 + 85)
      if (t == 0 && sh == 0) expected = 100;
      if (expected < 0) continue;
      ASSERT_EQ(image.pixel(x, y).g, expected) << x << "," << y;
      ++checked;
    }
  EXPECT_GT(checked, 1000);
}

TEST(StampTextTest, BlendingIn24BitsEqualsTheRoundTripThrough32Bits) {
  FontChoice f;
  f.color = 0x00C08040;
  f.style = 4;
  Bitmap direct = test::patternImage(120, 40, 24, 11);
  Bitmap viaAlpha = direct;
  blendText(direct, "Round trip", 150, -3, 5, f, 14);
  DrawAlphaText(viaAlpha, "Round trip", 150, -3, 5, f, 14);
  ASSERT_EQ(viaAlpha.bitsPerPixel(), 32);
  viaAlpha.convertTo24();
  EXPECT_TRUE(test::samePixels(direct, viaAlpha));
  EXPECT_FALSE(test::samePixels(direct, test::patternImage(120, 40, 24, 11)));
}

TEST(StampTextTest, AlphaPlaneImagesStay32BitWithTheirFourthByte) {
  TextStampOptions s = stampSettings(60, true);
  Bitmap image = filled(200, 50, 32, 77);
  stampText(image, true, "Alpha", s);
  ASSERT_EQ(image.bitsPerPixel(), 32);
  bool changed = false;
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 200; ++x) {
      ASSERT_EQ(image.scanLine(y)[4 * x + 3], 77);
      changed |= image.scanLine(y)[4 * x] != 77;
    }
  EXPECT_TRUE(changed);
}

TEST(StampTextTest, TextWiderThanTheImageIsClippedOnTheLeft) {
  for (int opacity : {40, 100}) {
    TextStampOptions s = stampSettings(opacity, false, 2);
    s.font.size = 6;  // no fitting: the line stays wider than the image
    const std::string line = "A long line that cannot fit into a small image at all, MMMM";
    Bitmap image = filled(60, 30, 24, 0);
    TextExtent e = measureText(s.font, 6, line);
    ASSERT_GT(e.width, 60);
    stampText(image, false, line, s);
    int x0 = 60 - e.width - 10;  // negative
    Coverage c = coverageOf(line, s.font, 6);
    bool leftInked = false;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 60; ++x) {
        // Faint edge coverage may round away at 40 %: only clear ink and clear background count.
        int cov = covAt(c, x - x0, y - 10);
        if (cov == 0) {
          EXPECT_EQ(image.pixel(x, y).g, 0) << opacity << "% at " << x << "," << y;
        } else if (cov >= 8) {
          EXPECT_GT(image.pixel(x, y).g, 0) << opacity << "% at " << x << "," << y;
        }
        leftInked |= x < 5 && cov >= 8;
      }
    EXPECT_TRUE(leftInked) << "the middle of the line reaches the left edge";
  }
}

TEST(StampTextTest, EmptyLineAndEmptyImageDrawNothing) {
  TextStampOptions s = stampSettings(100, true);
  Bitmap image = test::patternImage(40, 30, 24, 9);
  const Bitmap before = image;
  stampText(image, false, "", s);
  EXPECT_TRUE(test::samePixels(image, before));
  Bitmap none;
  EXPECT_NO_THROW(stampText(none, false, "x", s));
}

// --- Golden images: a stamp in each style over a gradient -------------------------------

struct GoldenCase {
  const char* name;
  int style;
  int opacity;
};

Bitmap gradient(int w, int h) {
  Bitmap b(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = b.scanLine(y) + 3 * x;
      p[0] = static_cast<uint8_t>(x * 255 / w);
      p[1] = 110;
      p[2] = static_cast<uint8_t>(y * 255 / h);
    }
  return b;
}

std::string goldenPath(const std::string& name) {
  return std::string(BREVANE_SOURCE_DIR) + "/tests/data/golden/stamp_" + name + ".bmp";
}

class GoldenStampTest : public ::testing::TestWithParam<GoldenCase> {};

// Set BREVANE_UPDATE_GOLDENS=1 to write the goldens anew (then look at them before committing).
TEST_P(GoldenStampTest, MatchesTheGoldenImage) {
  REQUIRE_LIBERATION();
  const GoldenCase& g = GetParam();
  TextStampOptions s = stampSettings(g.opacity, true, 3);
  s.font.size = 18;
  s.font.style = g.style;
  s.font.color = 0x0040E0FF;  // orange-yellow
  Bitmap image = gradient(480, 48);
  stampText(image, false, "Brevane 09.12.2026 - 12:34 Ёж", s);

  const std::string path = goldenPath(g.name);
  if (const char* update = std::getenv("BREVANE_UPDATE_GOLDENS"); update && *update == '1') {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    test::writeBytes(path, codecs::encodeBmp(image));
    GTEST_SKIP() << "golden written: " << path;
  }
  ASSERT_TRUE(std::filesystem::exists(path)) << path;
  Bitmap golden = codecs::loadImage(path).bitmap;
  golden.convertTo24();
  ASSERT_EQ(golden.width(), image.width());
  ASSERT_EQ(golden.height(), image.height());
  // Antialiasing may differ slightly between FreeType builds: a few grey levels everywhere,
  // and a larger difference on a handful of edge pixels.
  int64_t total = 0;
  int large = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width() * 3; ++x) {
      int d = std::abs(image.scanLine(y)[x] - golden.scanLine(y)[x]);
      total += d;
      if (d > 40) ++large;
    }
  double mean = static_cast<double>(total) / (image.width() * image.height() * 3);
  EXPECT_LT(mean, 0.5) << g.name;
  EXPECT_LT(large, image.width() * image.height() * 3 / 200) << g.name;
}

INSTANTIATE_TEST_SUITE_P(Styles, GoldenStampTest,
                         ::testing::Values(GoldenCase{"plain", 0, 100}, GoldenCase{"bold", 1, 100},
                                           GoldenCase{"italic", 2, 100}, GoldenCase{"underline", 4, 100},
                                           GoldenCase{"strikeout", 8, 100}, GoldenCase{"translucent", 0, 60}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brevane::imaging
