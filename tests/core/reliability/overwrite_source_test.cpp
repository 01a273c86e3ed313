// Converting into the sources' own folder with Overwrite on: a source is replaced only by a
// complete file, and a source listed under several spellings is never read again once an
// output of the run has replaced it.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "base/platform.h"
#include "codecs/bmp.h"
#include "codecs/encoders.h"
#include "core/engine/engine_test_support.h"
#include "engine/written_files.h"
#include "reliability_support.h"

namespace brevane {
namespace {

namespace fs = std::filesystem;

// What the write hook saw: while a replacement is half written, and when it is complete but not
// yet in place, the source's name still shows a whole picture: the original or a complete
// earlier replacement, never a part of one.
std::string g_watched;
std::atomic<int> g_checks{0}, g_partial{0};

int watchSource(WriteStage stage, const std::string& path) {
  if (path == g_watched && (stage == WriteStage::kHalfWritten || stage == WriteStage::kPlace)) {
    ++g_checks;
    try {
      int width = codecs::readBmp(test::readBytes(g_watched)).width();
      if (width != 80 && width != 40) ++g_partial;
    } catch (const std::exception&) {
      ++g_partial;
    }
  }
  return 0;
}

class OverwriteSource : public ::testing::TestWithParam<int /* threads */> {
 protected:
  void SetUp() override {
    dir = test::makeTempDir("own");
    photo = dir + "p.BMP";  // BMP output names the source itself
    test::writeBytes(photo, codecs::encodeBmp(test::patternImage(80, 60)));
    settings = test::testSettings(dir);
    settings.Overwrite = true;
    settings.Selected_mode = 2;
    settings.Resize_percent = 50;
    settings.Threads = GetParam();
  }
  std::string dir, photo;
  TConversionSettings settings;
};

TEST_P(OverwriteSource, TheSourceIsReplacedOnceAndOnlyByACompleteFile) {
  fs::create_directories(dir + "sub");
  fs::create_symlink(photo, dir + "link.BMP");
  std::vector<std::string> spellings = {photo, dir + "./p.BMP", dir + "sub/../p.BMP", dir + "link.BMP",
                                        dir + "/p.BMP"};
  g_watched = photo;
  g_checks = g_partial = 0;
  setWriteFaultHook(&watchSource);
  test::RunResult r = test::runJob(settings, spellings);
  setWriteFaultHook(nullptr);

  EXPECT_GE(g_checks.load(), 2);
  EXPECT_EQ(g_partial.load(), 0) << "the source's name showed a part of a file";
  // Resized once: a second pass over the output would give 20 x 15.
  Bitmap result = codecs::readBmp(test::readBytes(photo));
  EXPECT_EQ(result.width(), 40);
  EXPECT_EQ(result.height(), 30);
  EXPECT_EQ(r.processed, 5);
  // Spellings read after the replacement are refused with one line each; with several workers
  // some may have read the original before it was replaced (and wrote the same output).
  for (const std::string& line : r.lines)
    EXPECT_NE(line.find(std::string(": ") + kReplacedByOutput), std::string::npos) << line;
  if (GetParam() == 1) {
    EXPECT_EQ(r.lines.size(), 4u);
  }
  // The link's own output replaces the link only when it was read before the source changed.
  if (!fs::is_symlink(dir + "link.BMP")) {
    EXPECT_EQ(codecs::readBmp(test::readBytes(dir + "link.BMP")).width(), 40);
  }
  for (const std::string& name : test::folderEntries(dir)) EXPECT_NE(name.rfind(".brv-", 0), 0u) << name;
}

INSTANTIATE_TEST_SUITE_P(Threads, OverwriteSource, ::testing::Values(1, 8));

// Two sources whose outputs collide with each other's names: x.bmp's output x.BMP replaces the
// source x.BMP before it is read; that source is then refused instead of converted from an output.
TEST(OverwriteSourceNames, ASourceReplacedByAnotherFilesOutputIsNotConverted) {
  std::string dir = test::makeTempDir("own");
  test::writeBytes(dir + "x.bmp", codecs::encodeBmp(test::patternImage(40, 40)));
  test::writeBytes(dir + "x.BMP", codecs::encodeBmp(test::patternImage(90, 90)));
  TConversionSettings settings = test::testSettings(dir);
  settings.Overwrite = true;
  settings.Selected_mode = 2;
  settings.Resize_percent = 50;
  test::RunResult r = test::runJob(settings, {dir + "x.bmp", dir + "x.BMP"});
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0], "AFO:" + dir + "x.BMP: " + kReplacedByOutput);
  EXPECT_EQ(codecs::readBmp(test::readBytes(dir + "x.BMP")).width(), 20);
}

}  // namespace
}  // namespace brevane
