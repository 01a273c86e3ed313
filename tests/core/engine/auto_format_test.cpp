// The automatic output format through a real run: candidates, the choice, the written name.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "base/platform.h"
#include "core/engine/engine_test_support.h"
#include "core/codecs/reference_decoders.h"
#include "codecs/encoders.h"
#include "engine/pipeline.h"
#include "support/test_support.h"

namespace brevane {
namespace {

TConversionSettings autoSettings(const std::string& out) {
  TConversionSettings s = test::testSettings(out);
  s.Output_format = 0;
  s.Auto_format = true;
  s.Overwrite = true;
  return s;
}

struct AutoRun {
  std::vector<std::string> lines;
  int32_t outputbytes = 0;
  std::vector<std::string> outputs;  // names in the output folder
};

AutoRun run(TConversionSettings s, const std::vector<std::string>& files) {
  test::RunResult job = test::runJob(s, files);
  EXPECT_TRUE(job.started);
  AutoRun r{job.lines, job.outputbytes, {}};
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

// (noisy source, Output_format): the selected format, the later writers included, never
// takes part; the candidates stay JPEG and PNG.
using Case = std::tuple<bool, int>;
class AutoFormatRun : public ::testing::TestWithParam<Case> {};

TEST_P(AutoFormatRun, WritesTheSmallerCandidateUnderItsExtension) {
  auto [noisy, outputFormat] = GetParam();
  std::string in = test::makeTempDir("auto-in"), out = test::makeTempDir("auto-out");
  Bitmap src = noisy ? noisyPhoto() : flatPicture();
  test::writeBytes(in + "pic.bmp", codecs::encodeBmp(src));
  TConversionSettings s = autoSettings(out);
  s.Output_format = outputFormat;
  AutoRun r = run(s, {in + "pic.bmp"});
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
                         ::testing::Values(Case{false, 0}, Case{true, 0}, Case{false, 2}, Case{true, 2}, Case{true, 5},
                                           Case{false, 6}, Case{true, 7}, Case{false, 8}));

TEST(AutoFormat, CandidatesIgnoreTheSingleFormatOptions) {
  std::string in = test::makeTempDir("auto-in"), out = test::makeTempDir("auto-out");
  Bitmap flat = flatPicture(), photo = noisyPhoto();
  test::writeBytes(in + "flat.bmp", codecs::encodeBmp(flat));
  test::writeBytes(in + "photo.bmp", codecs::encodeBmp(photo));
  TConversionSettings s = autoSettings(out);
  s.JPG_progressive = true;
  s.PNG_compression = 0;
  s.Png_interlace = true;
  s.Png_filter = false;
  AutoRun r = run(s, {in + "flat.bmp", in + "photo.bmp"});
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
  AutoRun r = run(autoSettings(out), {in + "logo.bmp"});
  ASSERT_EQ(r.outputs, std::vector<std::string>{"logo.PNG"});
  test::PngRead png = test::readPng(test::readBytes(out + "logo.PNG"));
  EXPECT_EQ(png.colorType, 6);
  EXPECT_EQ(png.image.scanLine(5)[4 * 3 + 3], 255);
  EXPECT_EQ(png.image.scanLine(5)[4 * 40 + 3], 0);
  EXPECT_EQ(png.image.pixel(3, 5), (Bgr{10, 20, 30}));
}

TEST(AutoFormat, TheOverwriteGuardLooksAtTheProvisionalName) {
  std::string in = test::makeTempDir("auto-in"), out = test::makeTempDir("auto-out");
  test::writeBytes(in + "pic.bmp", codecs::encodeBmp(flatPicture()));
  test::writeText(out + "pic.BMP", "earlier output");
  TConversionSettings s = autoSettings(out);
  s.Output_format = 2;
  s.Overwrite = false;
  AutoRun r = run(s, {in + "pic.bmp"});
  ASSERT_EQ(r.lines, std::vector<std::string>{"AFO:" + in + "pic.bmp: File already exists"});
  EXPECT_EQ(r.outputs, std::vector<std::string>{"pic.BMP"});
}

// Sources named as JPEG files get only the JPEG candidate, however well they would deflate;
// ".jfif" is not such a name. Needs the JPEG reader.
TEST(AutoFormat, JpegNamedSourcesOnlyGetTheJpegCandidate) {
  std::string in = test::makeTempDir("auto-in"), out = test::makeTempDir("auto-out");
  std::vector<uint8_t> flatJpeg = codecs::encodeJpeg(flatPicture(), 95, false);
  for (const char* name : {"a.jpeg", "b.JPG", "c.jfif"}) test::writeBytes(in + name, flatJpeg);
  AutoRun r = run(autoSettings(out), {in + "a.jpeg", in + "b.JPG", in + "c.jfif"});
  if (!r.lines.empty() && r.lines[0].rfind("AFO:", 0) == 0) GTEST_SKIP() << "no JPEG reader yet: " << r.lines[0];
  EXPECT_TRUE(r.lines.empty());
  EXPECT_EQ(r.outputs, (std::vector<std::string>{"a.JPG", "b.JPG", "c.PNG"}));
}

TEST(AutoFormat, AFailedSaveIsReportedWithoutCodeAndTheRunGoesOn) {
  std::string in = test::makeTempDir("auto-in"), out = test::makeTempDir("auto-out");
  test::writeBytes(in + "pic.bmp", codecs::encodeBmp(flatPicture()));
  test::writeBytes(in + "next.bmp", codecs::encodeBmp(flatPicture()));
  std::filesystem::create_directory(out + "pic.PNG");  // the chosen name is taken by a folder
  AutoRun r = run(autoSettings(out), {in + "pic.bmp", in + "next.bmp"});
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0].rfind(out + "pic.PNG: ", 0), 0u) << r.lines[0];
  EXPECT_TRUE(fileExists(out + "next.PNG"));

  // A JPEG that cannot be saved with Exif on: the carry-over then fails too, with an AFE line.
  test::writeBytes(in + "photo.bmp", codecs::encodeBmp(noisyPhoto()));
  std::filesystem::create_directory(out + "photo.JPG");
  TConversionSettings s = autoSettings(out);
  s.Exif = true;
  r = run(s, {in + "photo.bmp"});
  ASSERT_EQ(r.lines.size(), 2u);
  EXPECT_EQ(r.lines[0].rfind(out + "photo.JPG: ", 0), 0u) << r.lines[0];
  EXPECT_EQ(r.lines[1].rfind("AFE:" + out + "photo.JPG: ", 0), 0u) << r.lines[1];
}

}  // namespace
}  // namespace brevane
