// Unique_names: numbered names, the claim that skips taken names, clashes in whole runs, and
// many workers writing files of one name at once without losing or replacing any.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <tuple>

#include "base/error.h"
#include "codecs/encoders.h"
#include "engine/output_names.h"
#include "engine_test_support.h"
#include "support/test_support.h"

namespace brevane {
namespace {

namespace fs = std::filesystem;

TEST(NumberedName, GoesBeforeTheExtensionOfTheName) {
  const std::vector<std::tuple<std::string, int, std::string>> cases = {
      {"/o/a.JPG", 1, "/o/a.JPG"},
      {"/o/a.JPG", 2, "/o/a (2).JPG"},
      {"/o/a.b.PNG", 12, "/o/a.b (12).PNG"},
      {"/o/notes", 3, "/o/notes (3)"},
      {"/o/.hidden", 2, "/o/.hidden (2)"},
      {"/o.d/x", 2, "/o.d/x (2)"},
      {"rel/a (2).JPG", 2, "rel/a (2) (2).JPG"},
  };
  for (const auto& [path, n, expected] : cases) EXPECT_EQ(numberedName(path, n), expected) << path << " " << n;
}

TEST(PlaceUnderFreeName, SkipsNamesOnDiskAndNamesClaimedMeanwhile) {
  std::string dir = test::makeTempDir("free");
  test::writeText(dir + "a.JPG", "1");
  test::writeText(dir + "a (2).JPG", "2");
  std::vector<std::string> tried;
  // The first name the search tries is claimed by someone else between its look and its write.
  std::string placed = placeUnderFreeName(dir + "a.JPG", [&](const std::string& name) {
    tried.push_back(name);
    if (tried.size() == 1) throw Error(kFileAlreadyExists);
    test::writeText(name, "new");
  });
  EXPECT_EQ(tried, (std::vector<std::string>{dir + "a (3).JPG", dir + "a (4).JPG"}));
  EXPECT_EQ(placed, dir + "a (4).JPG");

  // Any other failure ends the search with its own message.
  EXPECT_THROW(
      {
        try {
          placeUnderFreeName(dir + "b.JPG", [](const std::string&) { throw Error("No space left on device"); });
        } catch (const Error& e) {
          EXPECT_STREQ(e.what(), "No space left on device");
          throw;
        }
      },
      Error);
  // Every number taken: the file is refused as without Unique_names.
  EXPECT_THROW(placeUnderFreeName(
                   dir + "a.JPG", [](const std::string&) {}, 2),
               Error);
}

struct ClashCase {
  const char* name;
  std::vector<std::string> sources;   // relative to the input folder
  std::vector<std::string> existing;  // output files there before the run
  std::function<void(TConversionSettings&)> setup;
  std::vector<std::string> outputs;  // every file of the output folder after the run
};

// A small picture in the format its extension names.
std::vector<uint8_t> picture(const std::string& name, uint32_t seed) {
  Bitmap image = test::patternImage(24, 16, 24, seed);
  std::string ext = fs::path(name).extension().string();
  if (ext == ".png") return codecs::encodePng(image, nullptr, {});
  if (ext == ".gif") return codecs::encodeGif(image);
  if (ext == ".jpg") return codecs::encodeJpeg(image, 90, false);
  return codecs::encodeBmp(image);
}

class UniqueClash : public ::testing::TestWithParam<ClashCase> {};

TEST_P(UniqueClash, GivesTheNextFreeNameAndKeepsEveryFile) {
  const ClashCase& c = GetParam();
  std::string in = test::makeTempDir("clash-in"), out = test::makeTempDir("clash-out");
  std::vector<std::string> files;
  for (size_t i = 0; i < c.sources.size(); ++i) {
    fs::create_directories(fs::path(in + c.sources[i]).parent_path());
    test::writeBytes(in + c.sources[i], picture(c.sources[i], static_cast<uint32_t>(i)));
    files.push_back(in + c.sources[i]);
  }
  for (const std::string& e : c.existing) test::writeText(out + e, "old " + e);
  TConversionSettings s = test::testSettings(out);
  s.Unique_names = true;
  if (c.setup) c.setup(s);
  test::RunResult r = test::runJob(s, files);
  EXPECT_TRUE(r.lines.empty()) << (r.lines.empty() ? "" : r.lines[0]);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(out)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected = c.outputs;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  for (const std::string& e : c.existing)
    if (!s.Overwrite) {
      EXPECT_EQ(test::readBytes(out + e).size(), 4 + e.size()) << e << " was replaced";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, UniqueClash,
    ::testing::Values(
        ClashCase{"ExistingFiles", {"a.png"}, {"a.BMP", "a (2).BMP"}, {}, {"a.BMP", "a (2).BMP", "a (3).BMP"}},
        // Two sources that differ only in their extension share a provisional name.
        ClashCase{"SameStem", {"a.png", "a.gif", "x/a.bmp"}, {}, {}, {"a.BMP", "a (2).BMP", "a (3).BMP"}},
        // The automatic format numbers the name it ends with, not the provisional one.
        ClashCase{"AutomaticFormat",
                  {"a.jpg"},
                  {"a.BMP", "a.JPG"},
                  [](TConversionSettings& s) { s.Auto_format = true; },
                  {"a.BMP", "a.JPG", "a (2).JPG"}},
        // A mask that gives several files one name, without an extension.
        ClashCase{"MaskCollides",
                  {"x/a.png", "y/a.png", "z/a.png"},
                  {"a"},
                  [](TConversionSettings& s) {
                    s.Rename_enabled = true;
                    s.Rename_mask = "[N]";
                  },
                  {"a", "a (2)", "a (3)", "a (4)"}},
        // With Overwrite on, names are replaced as before and never numbered.
        ClashCase{
            "OverwriteWins", {"a.png"}, {"a.BMP"}, [](TConversionSettings& s) { s.Overwrite = true; }, {"a.BMP"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UniqueNames, TwoHundredFilesOfOneNameFromTwentyFoldersWithEightWorkers) {
  std::string in = test::makeTempDir("many-in"), out = test::makeTempDir("many-out");
  std::vector<std::string> files;
  std::set<std::string> sources;  // file contents
  for (int folder = 0; folder < 20; ++folder) {
    for (int k = 0; k < 10; ++k) {
      // Ten files per folder: photo.bmp, photo.png, ... all give photo.BMP.
      std::string dir = in + "f" + std::to_string(folder) + "/" + std::to_string(k) + "/";
      fs::create_directories(dir);
      std::vector<uint8_t> bytes =
          codecs::encodeBmp(test::patternImage(8 + k, 8, 24, static_cast<uint32_t>(folder * 10 + k)));
      test::writeBytes(dir + "photo.bmp", bytes);
      files.push_back(dir + "photo.bmp");
      sources.insert(std::string(bytes.begin(), bytes.end()));
    }
  }
  test::writeText(out + "photo.BMP", "kept");
  TConversionSettings s = test::testSettings(out);
  s.Unique_names = true;
  s.Threads = 8;
  test::RunResult r = test::runJob(s, files);
  EXPECT_TRUE(r.lines.empty()) << (r.lines.empty() ? "" : r.lines[0]);
  EXPECT_EQ(r.processed, 200);

  std::set<std::string> written;
  size_t count = 0;
  for (const auto& e : fs::directory_iterator(out)) {
    std::string name = e.path().filename().string();
    ASSERT_TRUE(name == "photo.BMP" || name.rfind("photo (", 0) == 0) << name;
    if (name == "photo.BMP") continue;
    ++count;
    std::vector<uint8_t> bytes = test::readBytes(e.path().string());
    written.insert(std::string(bytes.begin(), bytes.end()));
  }
  EXPECT_EQ(count, 200u);
  EXPECT_EQ(written, sources);  // each source exactly once: none lost, none written over another
  EXPECT_EQ(test::readBytes(out + "photo.BMP").size(), 4u);
  EXPECT_TRUE(fs::exists(out + "photo (201).BMP"));
  EXPECT_FALSE(fs::exists(out + "photo (202).BMP"));
}

}  // namespace
}  // namespace brevane
