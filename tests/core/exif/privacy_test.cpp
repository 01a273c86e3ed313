// Strip_private on the camera JPEGs of the shared corpus, as exiftool reads the outputs: the GPS
// directory, the owner's name, the serial numbers and the maker note are gone, every other tag
// is what the carry-over writes without the option.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "core/engine/photo_test_support.h"
#include "core/exif/exiftool_tags.h"
#include "support/test_support.h"

namespace brevane {
namespace {

bool startsWith(const std::string& s, const std::string& head) {
  return s.rfind(head, 0) == 0;
}
bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool isPrivate(const std::string& key) {
  static const std::set<std::string> kNames = {
      "OwnerName", "SerialNumber",     "LensSerialNumber", "CameraSerialNumber",
      "MakerNote", "MakerNoteUnknown", "GPSInfo"};
  if (startsWith(key, "EXIF:GPS:") || startsWith(key, "MakerNotes:")) return true;
  return startsWith(key, "EXIF:") && kNames.count(key.substr(key.rfind(':') + 1));
}

// The Exif tags that both outputs should share: not the time of writing, not positions.
std::map<std::string, std::string> shared(const test::ExiftoolTags& tags) {
  std::map<std::string, std::string> out;
  for (const auto& [key, value] : tags) {
    if (!startsWith(key, "EXIF:") || isPrivate(key)) continue;
    if (endsWith(key, ":ModifyDate") || endsWith(key, ":SubSecTime") || endsWith(key, "Offset") ||
        endsWith(key, "Offsets") || endsWith(key, ":Padding"))
      continue;
    out[key] += value + "\n";
  }
  return out;
}

TEST(StripPrivate, CameraFilesLoseOnlyThePrivateTags) {
  BREVANE_REQUIRE_TESTDATA();
  if (!test::haveExiftool()) GTEST_SKIP() << "exiftool is absent (Debian libimage-exiftool-perl)";
  std::vector<std::string> sources = test::cameraFiles();
  if (sources.empty()) GTEST_SKIP() << "no camera JPEGs under testdata/exif";
  std::string dir = test::makeTempDir("private");
  TConversionSettings keep = test::photoSettings();
  TConversionSettings strip = keep;
  strip.Strip_private = true;

  std::vector<std::string> kept, stripped, names;
  for (size_t i = 0; i < sources.size(); ++i) {
    std::string stem = std::to_string(i) + "_" + std::filesystem::path(sources[i]).stem().string();
    test::Converted a = test::convertOne(sources[i], dir + stem + "_keep.JPG", "JPG", keep);
    test::Converted b = test::convertOne(sources[i], dir + stem + "_strip.JPG", "JPG", strip);
    // A block the carry-over cannot parse fails alike with the option on or off.
    EXPECT_EQ(a.lines.size(), b.lines.size()) << sources[i];
    if (!a.lines.empty()) continue;
    kept.push_back(dir + stem + "_keep.JPG");
    stripped.push_back(dir + stem + "_strip.JPG");
    names.push_back(sources[i]);
  }
  std::map<std::string, test::ExiftoolTags> before = test::readTags(kept), after = test::readTags(stripped);
  size_t withPrivate = 0;
  for (size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(names[i]);
    const test::ExiftoolTags& b = before[kept[i]];
    const test::ExiftoolTags& a = after[stripped[i]];
    bool had = false;
    for (const auto& [key, value] : b) had |= isPrivate(key);
    withPrivate += had;
    for (const auto& [key, value] : a) EXPECT_FALSE(isPrivate(key)) << key << " = " << value.substr(0, 60);
    std::map<std::string, std::string> was = shared(b), now = shared(a);
    std::string report;
    for (const auto& [key, value] : was)
      if (now[key] != value) report += "  " + key + ": " + value.substr(0, 50) + " -> " + now[key].substr(0, 50) + "\n";
    for (const auto& [key, value] : now)
      if (!was.count(key)) report += "  gained " + key + "\n";
    EXPECT_TRUE(report.empty()) << report;
  }
  // The corpus has GPS positions, serial numbers and maker notes to take out.
  EXPECT_GE(withPrivate, 20u);
}

}  // namespace
}  // namespace brevane
