// The photo keys at their defaults write what the program wrote before them: over the camera
// JPEGs of the shared corpus, the only difference to a run without any profile is the APP2
// segments of the sources that have one.
#include <gtest/gtest.h>

#include <filesystem>

#include "codecs/icc_profile.h"
#include "core/exif/exiftool_tags.h"
#include "photo_test_support.h"

namespace brevane {
namespace {

// The stream without its APP2 segments, and their ICC profile.
std::vector<uint8_t> withoutApp2(const std::vector<uint8_t>& jpeg, std::vector<uint8_t>& profile) {
  exif::JpegHeader header = exif::walkJpegHeader(jpeg);
  std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  std::vector<std::span<const uint8_t>> app2;
  size_t at = 2;
  for (const exif::JpegSegment& s : header.segments) {
    out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(at),
               jpeg.begin() + static_cast<std::ptrdiff_t>(s.begin));
    if (s.marker == 0xE2)
      app2.push_back(s.payload);
    else
      out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(s.begin),
                 jpeg.begin() + static_cast<std::ptrdiff_t>(s.end));
    at = s.end;
  }
  out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(at), jpeg.end());
  profile = codecs::jpegIccProfile(app2);
  return out;
}

// Equal but for the time of writing: bytes may differ only where both are decimal digits (the
// Exif date-time and sub-second texts of two runs a moment apart).
::testing::AssertionResult equalButTheClock(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size();
  for (size_t i = 0; i < a.size(); ++i) {
    bool digits = a[i] >= '0' && a[i] <= '9' && b[i] >= '0' && b[i] <= '9';
    if (a[i] != b[i] && !digits) return ::testing::AssertionFailure() << "byte " << i << " differs";
  }
  return ::testing::AssertionSuccess();
}

TEST(PhotoDefaults, CameraJpegsChangeOnlyByTheirProfile) {
  BREVANE_REQUIRE_TESTDATA();
  std::vector<std::string> sources = test::cameraFiles();
  for (const char* more : {"jpeg/flower2.jpg", "jpeg/rgb.jpg", "jpeg/pil_sample_rgb.jpg", "jpeg/pil_sample_cmyk.jpg"})
    sources.push_back(test::testdata(more));
  std::string dir = test::makeTempDir("defaults");
  const TConversionSettings defaults = test::photoSettings();
  TConversionSettings none = defaults;
  none.Keep_icc = false;
  size_t profiles = 0;
  for (size_t i = 0; i < sources.size(); ++i) {
    SCOPED_TRACE(sources[i]);
    std::string stem = dir + std::to_string(i) + "_" + std::filesystem::path(sources[i]).stem().string();
    test::Converted now = test::convertOne(sources[i], stem + ".JPG", "JPG", defaults);
    test::Converted before = test::convertOne(sources[i], stem + "_none.JPG", "JPG", none);
    // The same lines, each naming its own output.
    ASSERT_EQ(now.lines.size(), before.lines.size());
    for (size_t l = 0; l < now.lines.size(); ++l) EXPECT_EQ(now.lines[l].substr(0, 4), before.lines[l].substr(0, 4));
    if (now.bytes.empty() || before.bytes.empty()) {
      EXPECT_EQ(now.bytes.empty(), before.bytes.empty());
      continue;
    }
    std::vector<uint8_t> profile;
    std::vector<uint8_t> rest = withoutApp2(now.bytes, profile);
    EXPECT_TRUE(equalButTheClock(rest, before.bytes));
    // The profile written is the source's own.
    std::vector<uint8_t> sourceProfile;
    withoutApp2(test::readBytes(sources[i]), sourceProfile);
    if (!profile.empty()) {
      EXPECT_EQ(profile, sourceProfile);
      ++profiles;
    }
  }
  EXPECT_GE(profiles, 5u);  // the corpus's photos with a profile carry it over
}

}  // namespace
}  // namespace brevane
