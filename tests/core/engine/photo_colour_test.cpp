// Keep_icc, Convert_srgb and Strip_metadata on sources that Pillow made with profiles Debian
// ships (Adobe RGB, Display P3, a CMYK printer profile), checked against Pillow's own reading and
// its Little CMS conversion; a damaged profile never fails a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "base/error.h"
#include "core/codecs/reference_decoders.h"
#include "imaging/colour_profile.h"
#include "photo_test_support.h"

namespace brevane {
namespace {

struct ProfileCase {
  const char* name;
  const char* mode;     // RGB or CMYK
  const char* profile;  // shipped by colord-data, argyll-ref, libgs-common
  const char* source;   // the source's extension
};

const ProfileCase kProfiles[] = {
    {"AdobeRgbJpeg", "RGB", "/usr/share/color/icc/colord/AdobeRGB1998.icc", "jpg"},
    {"DisplayP3Jpeg", "RGB", "/usr/share/color/argyll/ref/DisplayP3.icm", "jpg"},
    {"DisplayP3Png", "RGB", "/usr/share/color/argyll/ref/DisplayP3.icm", "png"},
    {"AdobeRgbTiff", "RGB", "/usr/share/color/icc/colord/AdobeRGB1998.icc", "tif"},
    {"CmykJpeg", "CMYK", "/usr/share/color/icc/ghostscript/default_cmyk.icc", "jpg"},
};

class Profiles : public ::testing::TestWithParam<ProfileCase> {
 protected:
  void SetUp() override {
    BREVANE_REQUIRE_PIL();
    const ProfileCase& c = GetParam();
    if (!std::filesystem::exists(c.profile)) GTEST_SKIP() << c.profile << " is absent (tools/install-deps.sh)";
    dir = test::makeTempDir("profiles");
    source = dir + "src." + c.source;
    ASSERT_TRUE(
        test::photoFixture(std::string("profiled ") + c.mode + " " + c.profile + " " + test::shellQuote(source)));
    profile = test::readBytes(c.profile);
  }
  std::string dir, source;
  std::vector<uint8_t> profile;
};

// Kept by default in every output that holds a profile, the pixels untouched; a CMYK profile
// describes no RGB output and is not kept.
TEST_P(Profiles, KeptWithPixelsUntouched) {
  const bool cmyk = std::string(GetParam().mode) == "CMYK";
  TConversionSettings s = test::photoSettings();
  TConversionSettings none = s;
  none.Keep_icc = false;
  for (const char* format : {"JPG", "PNG", "JP2"}) {
    SCOPED_TRACE(format);
    std::string out = dir + "kept." + format;
    test::Converted kept = test::convertOne(source, out, format, s);
    ASSERT_TRUE(kept.lines.empty()) << kept.lines.front();
    test::Converted plain = test::convertOne(source, dir + "plain." + format, format, none);
    std::vector<uint8_t> embedded = std::string(format) == "JP2"
                                        ? test::jp2Profile(kept.bytes)
                                        : test::pillowProfile(out).value_or(std::vector<uint8_t>{9});
    EXPECT_EQ(embedded, cmyk ? std::vector<uint8_t>{} : profile);
    if (std::string(format) == "JPG") {
      test::JpegRead a = test::readJpeg(kept.bytes), b = test::readJpeg(plain.bytes);
      EXPECT_TRUE(test::samePixels(a.image, b.image));
    } else if (std::string(format) == "PNG") {
      EXPECT_TRUE(test::samePixels(test::readPng(kept.bytes).image, test::readPng(plain.bytes).image));
    } else {
      EXPECT_TRUE(test::samePixels(test::readJp2(kept.bytes).image, test::readJp2(plain.bytes).image));
    }
  }
}

// Converted into sRGB like Pillow's ImageCms (Little CMS, perceptual intent) within one level on
// every pixel; the output then carries no profile.
TEST_P(Profiles, ConvertedToSrgbLikeLittleCms) {
  std::string ref = dir + "ref.pam";
  ASSERT_TRUE(test::photoFixture("to-srgb " + test::shellQuote(source) + " " + test::shellQuote(ref)));
  std::optional<test::Rgba> reference = test::readPam(ref);
  ASSERT_TRUE(reference);
  TConversionSettings s = test::photoSettings();
  s.Convert_srgb = true;
  std::string out = dir + "srgb.PNG";
  test::Converted converted = test::convertOne(source, out, "PNG", s);
  ASSERT_TRUE(converted.lines.empty()) << converted.lines.front();
  EXPECT_FALSE(test::hasPngChunk(converted.bytes, "iCCP"));
  EXPECT_TRUE(test::closePixels(test::toRgba(test::readPng(converted.bytes).image), *reference, 1, false));
  // The conversion changed the pixels (the profiles are far from sRGB).
  test::Converted plain = test::convertOne(source, dir + "plain.PNG", "PNG", test::photoSettings());
  EXPECT_FALSE(test::samePixels(test::readPng(converted.bytes).image, test::readPng(plain.bytes).image));
}

INSTANTIATE_TEST_SUITE_P(Photos, Profiles, ::testing::ValuesIn(kProfiles),
                         [](const auto& info) { return std::string(info.param.name); });

// A damaged profile: one line of its own, and the file is written as if it had none.
TEST(DamagedProfile, IsIgnoredWithALineAndTheFileIsWritten) {
  BREVANE_REQUIRE_PIL();
  std::string dir = test::makeTempDir("damaged");
  std::string src = dir + "damaged.jpg";
  ASSERT_TRUE(test::photoFixture("damaged " + test::shellQuote(src)));
  TConversionSettings none = test::photoSettings();
  none.Keep_icc = false;
  test::Converted plain = test::convertOne(src, dir + "plain.JPG", "JPG", none);
  ASSERT_TRUE(plain.lines.empty());

  for (bool convert : {false, true}) {
    SCOPED_TRACE(convert ? "converting" : "keeping");
    TConversionSettings s = test::photoSettings();
    s.Convert_srgb = convert;
    test::Converted out = test::convertOne(src, dir + "out.JPG", "JPG", s);
    ASSERT_EQ(out.lines.size(), 1u);
    EXPECT_EQ(out.lines[0].rfind("ICC:" + src + ": the colour profile ", 0), 0u) << out.lines[0];
    ASSERT_FALSE(out.bytes.empty());
    std::vector<uint8_t> markers = test::appMarkers(out.bytes);
    EXPECT_EQ(std::count(markers.begin(), markers.end(), 0xE2), 0);
    EXPECT_TRUE(test::samePixels(test::readJpeg(out.bytes).image, test::readJpeg(plain.bytes).image));
  }
}

// Strip_metadata: no Exif, no profile, whatever the other keys say.
TEST(StripMetadata, LeavesNoExifAndNoProfile) {
  BREVANE_REQUIRE_TESTDATA();
  std::string dir = test::makeTempDir("strip");
  std::string src = test::testdata("exif/exif-samples/Canon_40D.jpg");  // Exif, GPS, ICC
  TConversionSettings s = test::photoSettings();
  test::Converted full = test::convertOne(src, dir + "full.JPG", "JPG", s);
  std::vector<uint8_t> fullMarkers = test::appMarkers(full.bytes);
  EXPECT_EQ(fullMarkers, (std::vector<uint8_t>{0xE0, 0xE1, 0xE2}));
  s.Strip_metadata = true;
  s.Convert_srgb = true;
  test::Converted stripped = test::convertOne(src, dir + "stripped.JPG", "JPG", s);
  ASSERT_TRUE(stripped.lines.empty());
  EXPECT_EQ(test::appMarkers(stripped.bytes), (std::vector<uint8_t>{0xE0}));
  s.Auto_format = true;
  test::Converted automatic = test::convertOne(src, dir + "auto.JPG", "JPG", s);
  EXPECT_EQ(test::appMarkers(automatic.bytes), (std::vector<uint8_t>{0xE0}));
  s.Auto_format = false;
  test::Converted png = test::convertOne(src, dir + "stripped.PNG", "PNG", s);
  EXPECT_FALSE(test::hasPngChunk(png.bytes, "iCCP"));
  EXPECT_FALSE(test::hasPngChunk(png.bytes, "eXIf"));
}

// One transform per profile and layout, shared by threads that convert at once.
TEST(ColourProfile, TransformsAreSharedAcrossThreads) {
  const char* path = "/usr/share/color/icc/colord/AdobeRGB1998.icc";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is absent (tools/install-deps.sh)";
  std::vector<uint8_t> profile = test::readBytes(path);
  imaging::clearColourTransformCache();
  auto convert = [&] {
    codecs::DecodedImage d;
    d.bitmap = test::patternImage(301, 77);
    d.iccProfile = profile;
    imaging::ColourOutcome o = imaging::applyColourOptions(d, {true, true});
    EXPECT_TRUE(o.problem.empty()) << o.problem;
    EXPECT_TRUE(o.outputProfile.empty());
    return d.bitmap;
  };
  Bitmap once = convert();
  std::vector<Bitmap> results(4);
  std::vector<std::thread> threads;
  for (Bitmap& r : results) threads.emplace_back([&r, &convert] { r = convert(); });
  for (std::thread& t : threads) t.join();
  for (const Bitmap& r : results) EXPECT_TRUE(test::samePixels(r, once));
  EXPECT_EQ(imaging::colourTransformCacheSize(), 1u);
}

}  // namespace
}  // namespace brevane
