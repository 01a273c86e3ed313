// The automatic output format through a real run: candidates, the choice, the written name.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "base/platform.h"
#include "core/codecs/reference_decoders.h"
#include "engine/codecs/encoders.h"
#include "engine/job.h"
#include "engine/pipeline.h"
#include "support/test_support.h"

namespace brevane {
namespace {

class QuietHost : public RunHost {
 public:
  void showMessage(const std::string& text, const std::string&, Icon) override { messages.push_back(text); }
  std::string langString(const std::string& key) override { return key; }
  std::vector<std::string> messages;
};

struct RunResult {
  std::vector<std::string> lines;
  int32_t outputbytes = 0;
  std::vector<std::string> outputs;  // names in the output folder
};

TConversionSettings baseSettings(const std::string& out) {
  TConversionSettings s = TConversionSettings::defaults();
  s.Output_path = out;
  s.Threads = 1;
  s.Auto_format = true;
  s.Exif = false;
  s.Overwrite = true;
  s.Rename_enabled = false;
  return s;
}

RunResult run(TConversionSettings s, const std::vector<std::string>& files) {
  QuietHost host;
  ErrorLog log;
  LifetimeTotals totals;
  ConversionJob job(host, log, totals);
  EXPECT_TRUE(job.start(s, files));
  job.runToCompletion();
  RunResult r;
  r.lines = log.lines();
  r.outputbytes = job.counters.outputbytes.load();
  for (const auto& e : std::filesystem::directory_iterator(s.Output_path)) r.outputs.push_back(e.path().filename());
  std::sort(r.outputs.begin(), r.outputs.end());
  return r;
}

// A flat picture deflates far below any JPEG; a noisy photo does the opposite.
Bitmap flatPicture() {
  Bitmap b(300, 200, 24);
  b.fill(0xC8);
  return b;
}
Bitmap noisyPhoto() { return test::photoLike(300, 200, 40); }

// (noisy source, Output_format)
using Case = std::tuple<bool, int>;
class AutoFormatRun : public ::testing::TestWithParam<Case> {};

TEST_P(AutoFormatRun, WritesTheSmallerCandidateUnderItsExtension) {
  auto [noisy, outputFormat] = GetParam();
  std::string in = test::makeTempDir("auto-in"), out = test::makeTempDir("auto-out");
  Bitmap src = noisy ? noisyPhoto() : flatPicture();
  test::writeBytes(in + "pic.bmp", codecs::encodeBmp(src));
  TConversionSettings s = baseSettings(out);
  s.Output_format = outputFormat;
  RunResult r = run(s, {in + "pic.bmp"});
  EXPECT_EQ(r.lines, std::vector<std::string>{});
  // The written file is the smaller of the two encodings of the same image.
  std::vector<uint8_t> jpeg = codecs::encodeJpeg(src, s.JPG_quality, false);
  std::vector<uint8_t> png = codecs::encodePng(src, nullptr, {false, true, 9});
  bool pngWins = png.size() < jpeg.size();
  ASSERT_EQ(pngWins, !noisy);
  ASSERT_EQ(r.outputs, std::vector<std::string>{pngWins ? "pic.PNG" : "pic.JPG"});
  std::vector<uint8_t> written = test::readBytes(out + r.outputs[0]);
  EXPECT_EQ(written, pngWins ? png : jpeg);
  EXPECT_EQ(r.outputbytes, static_cast<int32_t>(written.size() / 1024));
  if (pngWins) {
    EXPECT_TRUE(test::samePixels(test::readPng(written).image, src));
  }
}

INSTANTIATE_TEST_SUITE_P(SourcesAndSelectedFormats, AutoFormatRun,
                         ::testing::Values(Case{false, 0}, Case{true, 0}, Case{false, 2}, Case{true, 2}, Case{true, 5}));

TEST(AutoFormat, CandidatesIgnoreTheSingleFormatOptions) {
  std::string in = test::makeTempDir("auto-in"), out = test::makeTempDir("auto-out");
  Bitmap flat = flatPicture(), photo = noisyPhoto();
  test::writeBytes(in + "flat.bmp", codecs::encodeBmp(flat));
  test::writeBytes(in + "photo.bmp", codecs::encodeBmp(photo));
  TConversionSettings s = baseSettings(out);
  s.JPG_progressive = true;
  s.PNG_compression = 0;
  s.Png_interlace = true;
  s.Png_filter = false;
  RunResult r = run(s, {in + "flat.bmp", in + "photo.bmp"});
  ASSERT_EQ(r.outputs, (std::vector<std::string>{"flat.PNG", "photo.JPG"}));
  EXPECT_FALSE(test::readJpeg(test::readBytes(out + "photo.JPG")).progressive);
  EXPECT_EQ(test::readBytes(out + "flat.PNG"), codecs::encodePng(flat, nullptr, {false, true, 9}));
}

TEST(AutoFormat, AlphaSourceGivesTruecolourWithAlpha) {
  std::string in = test::makeTempDir("auto-in"), out = test::makeTempDir("auto-out");
  Bitmap src(64, 64, 32);  // a 32-bit bitmap counts as having alpha
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      uint8_t* p = src.scanLine(y) + 4 * x;
      p[0] = 10, p[1] = 20, p[2] = 30, p[3] = x < 32 ? 255 : 0;
    }
  test::writeBytes(in + "logo.bmp", codecs::encodeBmp(src));
  RunResult r = run(baseSettings(out), {in + "logo.bmp"});
  ASSERT_EQ(r.outputs, std::vector<std::string>{"logo.PNG"});
  test::PngRead png = test::readPng(test::readBytes(out + "logo.PNG"));
  EXPECT_EQ(png.colorType, 6);
  EXPECT_EQ(png.image.scanLine(5)[4 * 3 + 3], 255);
  EXPECT_EQ(png.image.scanLine(5)[4 * 40 + 3], 0);
  EXPECT_EQ(png.image.pixel(3, 5), (Bgr{10, 20, 30}));
}

// Sources named as JPEG files get only the JPEG candidate, however well they would deflate;
// ".jfif" is not such a name. Needs the JPEG reader.
TEST(AutoFormat, JpegNamedSourcesOnlyGetTheJpegCandidate) {
  std::string in = test::makeTempDir("auto-in"), out = test::makeTempDir("auto-out");
  std::vector<uint8_t> flatJpeg = codecs::encodeJpeg(flatPicture(), 95, false);
  for (const char* name : {"a.jpeg", "b.JPG", "c.jfif"}) test::writeBytes(in + name, flatJpeg);
  RunResult r = run(baseSettings(out), {in + "a.jpeg", in + "b.JPG", in + "c.jfif"});
  if (!r.lines.empty() && r.lines[0].rfind("AFO:", 0) == 0) GTEST_SKIP() << "no JPEG reader yet: " << r.lines[0];
  EXPECT_TRUE(r.lines.empty());
  EXPECT_EQ(r.outputs, (std::vector<std::string>{"a.JPG", "b.JPG", "c.PNG"}));
}

TEST(AutoFormat, AFailedSaveIsReportedWithoutCodeAndTheRunGoesOn) {
  std::string in = test::makeTempDir("auto-in"), out = test::makeTempDir("auto-out");
  test::writeBytes(in + "pic.bmp", codecs::encodeBmp(flatPicture()));
  test::writeBytes(in + "next.bmp", codecs::encodeBmp(flatPicture()));
  std::filesystem::create_directory(out + "pic.PNG");  // the chosen name is taken by a folder
  RunResult r = run(baseSettings(out), {in + "pic.bmp", in + "next.bmp"});
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0].rfind(out + "pic.PNG: ", 0), 0u) << r.lines[0];
  EXPECT_TRUE(fileExists(out + "next.PNG"));
}

using ExtCase = std::tuple<const char*, const char*, const char*>;
class ReplaceExtension : public ::testing::TestWithParam<ExtCase> {};
TEST_P(ReplaceExtension, ChangesOnlyTheNamesExtension) {
  auto [path, ext, want] = GetParam();
  EXPECT_EQ(replaceExtension(path, ext), want);
}
INSTANTIATE_TEST_SUITE_P(Paths, ReplaceExtension,
                         ::testing::Values(ExtCase{"/o/a.BMP", ".JPG", "/o/a.JPG"}, ExtCase{"/o/a", ".PNG", "/o/a.PNG"},
                                           ExtCase{"/o/x.y/a", ".JPG", "/o/x.y/a.JPG"},
                                           ExtCase{"/o/a.b.c", ".PNG", "/o/a.b.PNG"}));

}  // namespace
}  // namespace brevane
