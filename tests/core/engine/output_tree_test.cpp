// Keep_folders: the folder of each source below their deepest common folder, the folders made
// below the output folder (never through a link), and whole runs that keep the tree.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "codecs/encoders.h"
#include "engine/output_names.h"
#include "engine_test_support.h"
#include "support/test_support.h"

namespace brevane {
namespace {

namespace fs = std::filesystem;

struct KeptCase {
  const char* name;
  std::vector<std::string> sources;
  std::string root;
  std::vector<std::string> folders;  // per source
};

class KeptFolders : public ::testing::TestWithParam<KeptCase> {};

TEST_P(KeptFolders, AreThePlainFoldersBelowTheDeepestCommonOne) {
  const KeptCase& c = GetParam();
  EXPECT_EQ(commonSourceFolder(c.sources), c.root);
  std::map<std::string, std::string> kept = keptFolders(c.sources);
  for (size_t i = 0; i < c.sources.size(); ++i) {
    EXPECT_EQ(kept[c.sources[i]], c.folders[i]) << c.sources[i];
    // Appended to an output folder, a kept folder never climbs out of it.
    EXPECT_EQ(kept[c.sources[i]].find(".."), std::string::npos);
    EXPECT_NE(kept[c.sources[i]].substr(0, 1), "/");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Trees, KeptFolders,
    ::testing::Values(KeptCase{"SingleFile", {"/p/2024/a.jpg"}, "/p/2024/", {""}},
                      KeptCase{"Nested",
                               {"/p/a.jpg", "/p/2024/b.jpg", "/p/2024/may/c.jpg", "/p/2023/c.jpg"},
                               "/p/",
                               {"", "2024/", "2024/may/", "2023/"}},
                      KeptCase{"AllInSubfolders", {"/p/x/1/a.jpg", "/p/x/2/a.jpg"}, "/p/x/", {"1/", "2/"}},
                      KeptCase{"UnrelatedRoots", {"/home/u/a.jpg", "/mnt/c/d/b.jpg"}, "/", {"home/u/", "mnt/c/d/"}},
                      // A common prefix of names is no common folder.
                      KeptCase{"PrefixIsNoFolder", {"/p/ab/a.jpg", "/p/abc/b.jpg"}, "/p/", {"ab/", "abc/"}},
                      // "." and ".." are resolved by name before anything is compared.
                      KeptCase{"DotsResolved",
                               {"/p/x/../y/./a.jpg", "/p/y/sub//b.jpg", "/../../p/y/c.jpg"},
                               "/p/y/",
                               {"", "sub/", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeptFolders, RelativeSourcesAreTakenFromTheCurrentFolder) {
  std::string here = fs::current_path().string();
  if (here == "/") GTEST_SKIP() << "run from the root folder";
  std::string last = fs::current_path().filename().string();
  std::vector<std::string> sources = {"a.jpg", "sub/b.jpg", "../" + last + "/sub/c.jpg"};
  EXPECT_EQ(commonSourceFolder(sources), normalPath(here + "/"));
  std::map<std::string, std::string> kept = keptFolders(sources);
  EXPECT_EQ(kept["a.jpg"], "");
  EXPECT_EQ(kept["sub/b.jpg"], "sub/");
  EXPECT_EQ(kept[sources[2]], "sub/");
}

TEST(CreateFoldersBelow, MakesTheTreeAndRefusesLinksAndFilesOnTheWay) {
  std::string base = test::makeTempDir("tree"), outside = test::makeTempDir("outside");
  EXPECT_EQ(createFoldersBelow(base, "a/b/c/"), "");
  EXPECT_TRUE(fs::is_directory(base + "a/b/c"));
  EXPECT_EQ(createFoldersBelow(base, "a/b/"), "");  // existing folders are fine
  EXPECT_EQ(createFoldersBelow(base, ""), "");

  // A link planted in the output folder is not followed, even to a real folder.
  fs::create_directory_symlink(outside, base + "link");
  std::string refused = createFoldersBelow(base, "link/x/");
  EXPECT_NE(refused.find(base + "link/"), std::string::npos) << refused;
  EXPECT_NE(refused.find("symbolic link"), std::string::npos) << refused;
  EXPECT_TRUE(fs::is_empty(outside));

  test::writeText(base + "file", "x");
  EXPECT_NE(createFoldersBelow(base, "file/x/").find("Not a directory"), std::string::npos);
}

class KeepFoldersRun : public ::testing::Test {
 protected:
  void SetUp() override {
    in = test::makeTempDir("keep-in");
    out = test::makeTempDir("keep-out");
    settings = test::testSettings(out);
    settings.Keep_folders = true;
  }
  std::string source(const std::string& relative) {
    fs::create_directories(fs::path(in + relative).parent_path());
    test::writeBytes(in + relative, codecs::encodeBmp(test::patternImage(16, 12)));
    return in + relative;
  }
  std::vector<std::string> outputs() {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(out))
      if (e.is_regular_file()) names.push_back(fs::relative(e.path(), out).string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string in, out;
  TConversionSettings settings;
};

TEST_F(KeepFoldersRun, WritesEachFileIntoItsFolderAndTheMaskNamesOnlyTheFile) {
  std::vector<std::string> files = {source("2024/may/a.bmp"), source("2024/b.bmp"), source("2023/a.bmp")};
  settings.Rename_enabled = true;
  settings.Rename_mask = "[N]_[C]";
  test::RunResult r = test::runJob(settings, files);
  ASSERT_TRUE(r.started);
  EXPECT_TRUE(r.lines.empty()) << (r.lines.empty() ? "" : r.lines[0]);
  EXPECT_EQ(outputs(), (std::vector<std::string>{"2023/a_003", "2024/b_002", "2024/may/a_001"}));
}

TEST_F(KeepFoldersRun, TheOverwriteGuardLooksInTheFilesOwnFolder) {
  std::vector<std::string> files = {source("x/a.bmp"), source("y/a.bmp")};
  fs::create_directories(out + "y");
  test::writeText(out + "y/a.BMP", "old");
  test::RunResult r = test::runJob(settings, files);
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0], "AFO:" + files[1] + ": File already exists");
  EXPECT_TRUE(fs::exists(out + "x/a.BMP"));
  EXPECT_EQ(test::readBytes(out + "y/a.BMP").size(), 3u);
}

TEST_F(KeepFoldersRun, ASourceInsideTheOutputFolderStaysInsideIt) {
  // The output folder is inside the tree of the sources: a second run does not write beside
  // it, it nests one level deeper inside it.
  settings.Output_path = in + "out/";
  std::vector<std::string> files = {source("a.bmp"), source("out/b.bmp")};
  test::RunResult r = test::runJob(settings, files);
  ASSERT_TRUE(r.started);
  EXPECT_TRUE(fs::exists(in + "out/a.BMP"));
  EXPECT_TRUE(fs::exists(in + "out/out/b.BMP"));
}

TEST_F(KeepFoldersRun, AFolderThatCannotBeMadeStopsTheRunLikeTheOutputFolder) {
  std::string outside = test::makeTempDir("outside");
  std::vector<std::string> files = {source("a.bmp"), source("sub/b.bmp")};
  fs::create_directory_symlink(outside, out + "sub");
  test::RecordingHost host;
  test::RunResult r = test::runJob(settings, files, nullptr, &host);
  EXPECT_FALSE(r.started);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text.rfind("<DirectoryCreateError>\n" + out + "sub/: ", 0), 0u) << host.messages[0].text;
  EXPECT_EQ(host.messages[0].caption, "<Error>");
  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_FALSE(fs::exists(out + "a.BMP"));
}

}  // namespace
}  // namespace brevane
