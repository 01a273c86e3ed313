// Whole runs that write WebP, AVIF and JPEG XL: the files are named by their codes, carry the
// Exif block of a JPEG source (read by exiftool) when Exif is on, and keep the working image's
// pixels and alpha in lossless modes (read by the formats' own decoders).
#include <gtest/gtest.h>

#include "codecs/encoders.h"
#include "codecs/output_formats.h"
#include "codecs/registry.h"
#include "codecs/working_image.h"
#include "core/codecs/modern_tools.h"
#include "core/codecs/reference_decoders.h"
#include "core/engine/engine_test_support.h"
#include "core/exif/exif_test_support.h"
#include "exif/exif.h"
#include "support/test_support.h"

namespace brevane {
namespace {

struct Output {
  int index;
  const char* code;
  const char* ext;
  const char* decoder;  // {in} to PNG {out}
};
void PrintTo(const Output& o, std::ostream* os) { *os << o.code; }

class ModernOutputRun : public ::testing::TestWithParam<Output> {
 protected:
  void SetUp() override {
    s = test::testSettings(out);
    s.Output_format = GetParam().index;
  }
  std::vector<uint8_t> written(const std::string& stem) { return test::readBytes(out + stem + "." + GetParam().code); }
  std::string in = test::makeTempDir("modern-in");
  std::string out = test::makeTempDir("modern-out");
  TConversionSettings s;
};

TEST_P(ModernOutputRun, CameraTagsTravelIntoTheContainer) {
  BREVANE_REQUIRE_TOOL("exiftool");
  Exiv2::ExifData camera;
  camera["Exif.Image.Make"] = "Camera Maker";
  camera["Exif.Photo.PixelXDimension"] = uint32_t(32);
  camera["Exif.Photo.PixelYDimension"] = uint32_t(16);
  test::writeBytes(in + "photo.jpg",
                   test::makeJpeg(32, 16, {{0xE1, test::exifPayload(test::encodeTiff(camera, Exiv2::bigEndian))}}));
  s.Exif = true;
  s.Selected_mode = 2;  // half size
  s.Resize_percent = 50;
  test::RunResult r = test::runJob(s, {in + "photo.jpg"});
  ASSERT_TRUE(r.started);
  EXPECT_TRUE(r.lines.empty()) << r.lines[0];
  std::vector<uint8_t> file = written("photo");
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(codecs::decodeBytes(std::string("x.") + GetParam().ext, file).bitmap.width(), 16);
  EXPECT_EQ(test::exiftoolTag(file, GetParam().ext, "Make"), "Camera Maker");
  EXPECT_EQ(test::exiftoolTag(file, GetParam().ext, "Software"), exif::softwareValue());
  EXPECT_EQ(test::exiftoolTag(file, GetParam().ext, "ExifImageWidth"), "16");

  s.Exif = false;
  s.Overwrite = true;
  ASSERT_TRUE(test::runJob(s, {in + "photo.jpg"}).lines.empty());
  EXPECT_EQ(test::exiftoolTag(written("photo"), GetParam().ext, "Software"), "");
}

TEST_P(ModernOutputRun, AnUnreadableSourceBlockStillWritesTheFile) {
  // A TIFF header cut off before its first directory's offset: the parser refuses it.
  std::vector<uint8_t> broken = {'M', 'M', 0, 42, 0, 0, 0};
  test::writeBytes(in + "broken.jpg", test::makeJpeg(16, 16, {{0xE1, test::exifPayload(broken)}}));
  s.Exif = true;
  test::RunResult r = test::runJob(s, {in + "broken.jpg"});
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0].rfind("FSE:" + out + "broken." + GetParam().code + ": ", 0), 0u) << r.lines[0];
  EXPECT_EQ(codecs::decodeBytes(std::string("x.") + GetParam().ext, written("broken")).bitmap.width(), 16);
}

class ModernLosslessRun : public ModernOutputRun {};

TEST_P(ModernLosslessRun, KeepsTheWorkingImageAndItsAlpha) {
  std::string d = GetParam().decoder;
  BREVANE_REQUIRE_TOOL(d.substr(0, d.find(' ')));
  s.WEBP_Lossless = s.JXL_Lossless = true;
  Bitmap img = test::patternImage(23, 11, 24, 4);
  Bitmap alpha = test::alphaPattern(23, 11);
  std::vector<uint8_t> png = test::pngOf(img, &alpha);
  test::writeBytes(in + "logo.png", png);
  ASSERT_TRUE(test::runJob(s, {in + "logo.png"}).lines.empty());
  WorkingImage w = buildWorkingImage(codecs::decodeBytes("x.png", png));
  Bitmap back = test::toolDecode(GetParam().decoder, written("logo"), GetParam().ext);
  EXPECT_TRUE(test::samePixels(back, test::withAlphaPlane(w.image, w.alpha)));
}

const Output kWebp{6, "WEBP", "webp", "dwebp -quiet {in} -o {out}"};
const Output kAvif{7, "AVIF", "avif", "avifdec {in} {out}"};
const Output kJxl{8, "JXL", "jxl", "djxl {in} {out}"};
std::string outputName(const ::testing::TestParamInfo<Output>& info) { return info.param.ext; }

INSTANTIATE_TEST_SUITE_P(Formats, ModernOutputRun, ::testing::Values(kWebp, kAvif, kJxl), outputName);
// AVIF has no lossless mode.
INSTANTIATE_TEST_SUITE_P(Formats, ModernLosslessRun, ::testing::Values(kWebp, kJxl), outputName);

}  // namespace
}  // namespace brevane
