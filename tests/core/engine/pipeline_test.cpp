// The per-file pipeline: the working image and its alpha rule, the error lines, the counters
// and the safety of outputs.
#include "engine/pipeline.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/error.h"
#include "base/platform.h"
#include "codecs/bmp.h"
#include "codecs/encoders.h"
#include "engine_test_support.h"
#include "support/test_support.h"

namespace brevane {
namespace {

using codecs::DecodedImage;
using codecs::DecodedKind;

DecodedImage rgbaImage(DecodedKind kind, std::vector<std::array<uint8_t, 4>> pixels, AlphaMode mode = AlphaMode::kUnmarked) {
  DecodedImage d;
  d.kind = kind;
  d.pngColorType = kind == DecodedKind::kPng ? 6 : -1;
  d.bitmap.reset(static_cast<int>(pixels.size()), 1, 32);
  d.bitmap.setAlphaMode(mode);
  for (size_t i = 0; i < pixels.size(); ++i) std::memcpy(d.bitmap.scanLine(0) + 4 * i, pixels[i].data(), 4);
  return d;
}

std::array<uint8_t, 4> at(const Bitmap& b, int x) {
  const uint8_t* p = b.scanLine(0) + 4 * x;
  return {p[0], p[1], p[2], p[3]};
}

TEST(WorkingImage, PngAlphaIsCompositedOverTransparentWhite) {
  // BGRA: opaque blue, fully transparent black, half-transparent pure red.
  WorkingImage w = buildWorkingImage(rgbaImage(DecodedKind::kPng, {{{200, 10, 20, 255}}, {{0, 0, 0, 0}}, {{0, 0, 255, 128}}}));
  ASSERT_TRUE(w.hasAlpha);
  EXPECT_EQ(at(w.image, 0), (std::array<uint8_t, 4>{200, 10, 20, 255}));
  EXPECT_EQ(at(w.image, 1), (std::array<uint8_t, 4>{255, 255, 255, 0}));
  EXPECT_EQ(at(w.image, 2), (std::array<uint8_t, 4>{127, 127, 255, 128}));
  EXPECT_TRUE(w.image.transparent());
  EXPECT_TRUE(w.image.transparentAuto());
  ASSERT_EQ(w.alpha.bitsPerPixel(), 24);
  EXPECT_EQ(w.alpha.scanLine(0)[2], 255);
  EXPECT_EQ(w.alpha.scanLine(0)[5], 0);
  EXPECT_EQ(w.alpha.scanLine(0)[8], 128);
}

TEST(WorkingImage, ThirtyTwoBitBitmapCountsAsAlphaAndIsCopiedByteForByte) {
  WorkingImage w = buildWorkingImage(rgbaImage(DecodedKind::kBitmap, {{{1, 2, 3, 0}}, {{4, 5, 6, 0}}}));
  ASSERT_TRUE(w.hasAlpha);
  EXPECT_EQ(at(w.image, 0), (std::array<uint8_t, 4>{1, 2, 3, 0}));
  EXPECT_EQ(at(w.image, 1), (std::array<uint8_t, 4>{4, 5, 6, 0}));
  EXPECT_EQ(w.alpha.scanLine(0)[2], 0);
}

TEST(WorkingImage, StraightAndPremultipliedAlphaKeepTheirAlpha) {
  WorkingImage s = buildWorkingImage(rgbaImage(DecodedKind::kBitmap, {{{0, 0, 255, 128}}}, AlphaMode::kStraight));
  EXPECT_EQ(at(s.image, 0), (std::array<uint8_t, 4>{127, 127, 255, 128}));
  WorkingImage p = buildWorkingImage(rgbaImage(DecodedKind::kBitmap, {{{0, 0, 128, 128}}}, AlphaMode::kPremultiplied));
  EXPECT_EQ(at(p.image, 0), (std::array<uint8_t, 4>{127, 127, 255, 128}));
}

TEST(WorkingImage, KindsWithoutAlphaAreTakenOverAsTheyAre) {
  DecodedImage jpeg = rgbaImage(DecodedKind::kJpeg, {{{1, 2, 3, 4}}});  // four-component JPEG
  EXPECT_FALSE(decodedHasAlpha(jpeg));
  WorkingImage j = buildWorkingImage(std::move(jpeg));
  EXPECT_FALSE(j.hasAlpha);
  EXPECT_TRUE(j.alpha.empty());
  EXPECT_EQ(j.image.bitsPerPixel(), 32);

  DecodedImage png;
  png.kind = DecodedKind::kPng;
  png.pngColorType = 4;  // grey with alpha: already composited by the reader
  png.bitmap.reset(2, 2, 8);
  png.bitmap.setGreyPalette();
  png.bitmap.setTransparentColor({5, 5, 5});
  WorkingImage g = buildWorkingImage(std::move(png));
  EXPECT_FALSE(g.hasAlpha);
  EXPECT_EQ(g.image.bitsPerPixel(), 8);
  EXPECT_TRUE(g.image.transparent());

  DecodedImage tga;
  tga.kind = DecodedKind::kBitmap;
  tga.reportsAlpha = true;
  tga.bitmap.reset(1, 1, 24);
  EXPECT_TRUE(buildWorkingImage(std::move(tga)).hasAlpha);
}

TEST(WorkingImage, MetafilesCannotBecomeAWorkingImage) {
  DecodedImage meta;
  meta.kind = DecodedKind::kMetafile;
  meta.width = 100;
  meta.height = 50;
  try {
    buildWorkingImage(std::move(meta));
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Metafile pictures cannot be converted");
  }
}

TEST(PipelineNames, ReplaceExtension) {
  EXPECT_EQ(replaceExtension("/o/a.b.BMP", ".JPG"), "/o/a.b.JPG");
  EXPECT_EQ(replaceExtension("/o/001_photo", ".PNG"), "/o/001_photo.PNG");
  EXPECT_EQ(replaceExtension("/o.d/x", ".JPG"), "/o.d/x.JPG");
}

class PipelineRun : public ::testing::Test {
 protected:
  void SetUp() override {
    in = test::makeTempDir("in");
    out = test::makeTempDir("out");
    settings = test::testSettings(out);
  }
  std::string bmp(const std::string& name, int w = 16, int h = 8, int bpp = 24) {
    Bitmap b = test::patternImage(w, h, bpp, static_cast<uint32_t>(name.size()));
    test::writeBytes(in + name, codecs::encodeBmp(b));
    return in + name;
  }
  std::string in, out;
  TConversionSettings settings;
};

TEST_F(PipelineRun, ConvertsAndCountsInputAndOutput) {
  std::string src = bmp("big.bmp", 400, 300);
  LifetimeTotals totals;
  test::RunResult r = test::runJob(settings, {src}, &totals);
  EXPECT_TRUE(r.lines.empty()) << r.lines[0];
  EXPECT_EQ(r.processed, 1);
  EXPECT_EQ(r.processedbytes, fileSize(src) / 1024);
  EXPECT_EQ(r.outputbytes, fileSize(out + "big.BMP") / 1024);
  EXPECT_EQ(totals.allprocessedfiles, 1);
  EXPECT_EQ(totals.allprocessedbytes, fileSize(src) / 1024);
  Bitmap back = codecs::readBmp(test::readBytes(out + "big.BMP"));
  EXPECT_TRUE(test::samePixels(back, codecs::readBmp(test::readBytes(src))));
}

TEST_F(PipelineRun, UnreadableZeroByteAndFolderSourcesGiveOneAfoLineEach) {
  test::writeBytes(in + "empty.bmp", {});
  std::filesystem::create_directories(in + "dir.bmp");
  LifetimeTotals totals;
  test::RunResult r = test::runJob(settings, {in + "missing.bmp", in + "empty.bmp", in + "dir.bmp"}, &totals);
  ASSERT_EQ(r.lines.size(), 3u);
  EXPECT_EQ(r.lines[0].rfind("AFO:" + in + "missing.bmp: ", 0), 0u) << r.lines[0];
  EXPECT_EQ(r.lines[1].rfind("AFO:" + in + "empty.bmp: Bitmap image is not valid", 0), 0u) << r.lines[1];
  EXPECT_EQ(r.lines[2].rfind("AFO:" + in + "dir.bmp: ", 0), 0u) << r.lines[2];
  EXPECT_EQ(r.processed, 3);
  EXPECT_EQ(totals.allprocessedfiles, 0);
  EXPECT_TRUE(std::filesystem::is_empty(out));
}

TEST_F(PipelineRun, OverwriteGuardRefusesAnExistingProvisionalTarget) {
  std::string src = bmp("a.bmp");
  test::writeText(out + "a.BMP", "old");
  test::RunResult r = test::runJob(settings, {src});
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0], "AFO:" + src + ": File already exists");
  EXPECT_EQ(test::readBytes(out + "a.BMP").size(), 3u);

  settings.Overwrite = true;
  r = test::runJob(settings, {src});
  EXPECT_TRUE(r.lines.empty());
  EXPECT_GT(test::readBytes(out + "a.BMP").size(), 3u);
}

TEST_F(PipelineRun, WithoutOverwriteTheRenamedPathIsNotReplaced) {
  std::string src = bmp("a.bmp");
  settings.Rename_enabled = true;
  settings.Rename_mask = "fixed.BMP[C]";  // the same name in both runs (index 1)
  test::RunResult first = test::runJob(settings, {src});
  ASSERT_TRUE(first.lines.empty()) << first.lines[0];
  std::vector<std::string> written;
  for (auto& e : std::filesystem::directory_iterator(out)) written.push_back(e.path().string());
  ASSERT_EQ(written.size(), 1u);
  std::string target = written[0];
  auto before = test::readBytes(target);
  // The provisional path a.BMP is free, so only the check of the final path can refuse.
  test::RunResult second = test::runJob(settings, {bmp("a.bmp", 4, 4)});
  ASSERT_EQ(second.lines.size(), 1u);
  EXPECT_EQ(second.lines[0], "FSE:" + target + ": File already exists");
  EXPECT_EQ(test::readBytes(target), before);
}

TEST_F(PipelineRun, AMissingWatermarkGivesAWleLineAndTheFileIsStillWritten) {
  std::string src = bmp("w.bmp");
  settings.Img_watermark_enabled = true;
  settings.Img_path = in + "no-such-watermark.png";
  test::RunResult r = test::runJob(settings, {src});
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0].rfind("WLE:" + src + ": ", 0), 0u);
  EXPECT_TRUE(fileExists(out + "w.BMP"));
}

// A resize too large to allocate: (Selected_mode, keep proportions, line code, line names the
// output path, the file is still written at its decoded size).
struct ResizeFailureCase {
  const char* name;
  int mode;
  bool proportional;
  const char* code;
  bool namesTarget;
  bool written;
};

class PipelineResizeFailure : public PipelineRun, public ::testing::WithParamInterface<ResizeFailureCase> {};

TEST_P(PipelineResizeFailure, GivesItsLineAndGoesOnOrEnds) {
  const ResizeFailureCase& c = GetParam();
  std::string src = bmp("r.bmp", 20, 10);
  settings.Selected_mode = c.mode;
  settings.Resize_width = settings.Resize_height = 99999;
  settings.Resize_percent = 200000;
  settings.Resize_proportional = c.proportional;
  settings.EnlargeIfSmall = true;
  test::RunResult r = test::runJob(settings, {src});
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0].rfind(std::string(c.code) + (c.namesTarget ? out + "r.BMP" : src) + ": ", 0), 0u) << r.lines[0];
  ASSERT_EQ(fileExists(out + "r.BMP"), c.written);
  if (c.written) {
    Bitmap back = codecs::readBmp(test::readBytes(out + "r.BMP"));
    EXPECT_EQ(back.width(), 20);
    EXPECT_EQ(back.height(), 10);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, PipelineResizeFailure,
                         ::testing::Values(ResizeFailureCase{"stretch", 1, false, "RE1:", true, true},
                                           ResizeFailureCase{"percent", 2, true, "RE2:", false, true},
                                           ResizeFailureCase{"keep_proportions", 1, true, "RE1:", true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PipelineRun, ThirtyTwoBitSourceWithZeroAlphaStaysTransparentInBmp) {
  Bitmap b = test::patternImage(3, 2, 32, 5);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) b.scanLine(y)[4 * x + 3] = 0;
  test::writeBytes(in + "t.bmp", codecs::encodeBmp(b));
  test::RunResult r = test::runJob(settings, {in + "t.bmp"});
  ASSERT_TRUE(r.lines.empty());
  Bitmap back = codecs::readBmp(test::readBytes(out + "t.BMP"));
  EXPECT_EQ(back.bitsPerPixel(), 32);
  EXPECT_TRUE(test::samePixels(back, b));
}

TEST(AtomicWrite, NeverLeavesPartialFilesOrReplacesWhenAskedNotTo) {
  std::string dir = test::makeTempDir("aw");
  std::vector<uint8_t> data(1000, 42);
  writeFileAtomic(dir + "x.bin", data);
  EXPECT_EQ(test::readBytes(dir + "x.bin"), data);
  EXPECT_THROW(writeFileAtomic(dir + "x.bin", std::vector<uint8_t>(5, 1), false), Error);
  EXPECT_EQ(test::readBytes(dir + "x.bin"), data);
  EXPECT_THROW(writeFileAtomic(dir + "nofolder/y.bin", data), Error);
  std::filesystem::create_directories(dir + "sub.bin");
  EXPECT_THROW(writeFileAtomic(dir + "sub.bin", data), Error);
  writeFileAtomic(dir + "x.bin", std::vector<uint8_t>(3, 7));
  EXPECT_EQ(test::readBytes(dir + "x.bin").size(), 3u);
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir)) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 2);  // x.bin and sub.bin: no temporary file left behind
}

}  // namespace
}  // namespace brevane
