// The run: start conditions, dispatch order and pacing, pool limits, cancel, thread failures.
#include "engine/job.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "base/platform.h"
#include "codecs/encoders.h"
#include "engine_test_support.h"
#include "support/test_support.h"

namespace brevane {
namespace {

class JobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    in = test::makeTempDir("in");
    out = test::makeTempDir("out");
    settings = test::testSettings(out);
  }
  std::vector<std::string> makeFiles(int n) {
    std::vector<std::string> files;
    for (int i = 0; i < n; ++i) {
      // Earlier files are larger, so later ones tend to finish first.
      int side = 40 + (n - i) * 30;
      std::string p = in + "f" + std::to_string(i) + ".bmp";
      test::writeBytes(p, codecs::encodeBmp(test::patternImage(side, side, 24, static_cast<uint32_t>(i))));
      files.push_back(p);
    }
    return files;
  }
  // Drives the ticks by hand, recording each dispatched worker's index and the pool size.
  void drive(ConversionJob& job, std::map<std::string, int>& indexes, size_t& maxWorkers, int cancelAfter = -1) {
    int dispatched = 0;
    while (!job.finished()) {
      size_t before = job.thr.size();
      job.dispatchTick();
      if (job.thr.size() > before) {
        indexes[job.thr.back()->filename] = job.thr.back()->index;
        if (++dispatched == cancelAfter) job.cancel();
      }
      maxWorkers = std::max(maxWorkers, job.thr.size());
      job.reapTick();
      job.completionTick();
    }
  }
  std::string in, out;
  TConversionSettings settings;
  test::RecordingHost host;
  ErrorLog log;
  LifetimeTotals totals;
};

TEST_F(JobTest, EmptyListShowsNoFilesAndDoesNotStart) {
  ConversionJob job(host, log, totals);
  EXPECT_FALSE(job.start(settings, {}));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "<NoFiles>");
  EXPECT_EQ(host.messages[0].caption, "<Error>");
  EXPECT_EQ(host.messages[0].icon, RunHost::Icon::kError);
}

TEST_F(JobTest, OutputFolderIsCreatedWithItsParentsAndGetsATrailingSlash) {
  settings.Output_path = out + "a/b/c";
  ConversionJob job(host, log, totals);
  ASSERT_TRUE(job.start(settings, makeFiles(1)));
  job.runToCompletion();
  EXPECT_EQ(settings.Output_path, out + "a/b/c/");
  ASSERT_EQ(host.outputPaths.size(), 1u);
  EXPECT_EQ(host.outputPaths[0], out + "a/b/c/");
  EXPECT_TRUE(fileExists(out + "a/b/c/f0.BMP"));
}

TEST_F(JobTest, AnOutputFolderThatCannotBeCreatedStopsTheStart) {
  test::writeText(out + "file", "x");
  settings.Output_path = out + "file/sub/";
  ConversionJob job(host, log, totals);
  EXPECT_FALSE(job.start(settings, makeFiles(1)));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "<DirectoryCreateError>");
  settings.Output_path = "";
  EXPECT_FALSE(job.start(settings, makeFiles(1)));
}

TEST_F(JobTest, ProvisionalTargets) {
  EXPECT_EQ(provisionalTarget("/out/", "/pics/a.b.png", "JPG"), "/out/a.b.JPG");
  EXPECT_EQ(provisionalTarget("/out/", "/pics/notes", "JPG"), "/out/notes.JPG");
  EXPECT_EQ(provisionalTarget("/out/", "/pi.cs/notes", "TGA"), "/out/notes.TGA");
  EXPECT_EQ(formatCode(4), "JP2");
  EXPECT_EQ(formatCode(9), "JPG");
}

TEST_F(JobTest, UniqueNameGuardPrefixesTheMask) {
  settings.Rename_enabled = true;
  settings.Rename_mask = "photo";
  ConversionJob job(host, log, totals);
  ASSERT_TRUE(job.start(settings, makeFiles(1)));
  job.runToCompletion();
  EXPECT_EQ(settings.Rename_mask, "[C]_photo");
  ASSERT_EQ(host.masks.size(), 1u);
  settings.Rename_mask = "[c]_x";  // the search is case-sensitive
  ConversionJob job2(host, log, totals);
  ASSERT_TRUE(job2.start(settings, makeFiles(1)));
  job2.runToCompletion();
  EXPECT_EQ(settings.Rename_mask, "[C]_[c]_x");
}

TEST_F(JobTest, IndexesFollowListOrderWithTwoThreads) {
  settings.Threads = 2;
  std::vector<std::string> files = makeFiles(10);
  ConversionJob job(host, log, totals);
  ASSERT_TRUE(job.start(settings, files));
  std::map<std::string, int> indexes;
  size_t maxWorkers = 0;
  drive(job, indexes, maxWorkers);
  ASSERT_EQ(indexes.size(), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(indexes[files[i]], i + 1);
  EXPECT_LE(maxWorkers, 2u);
  EXPECT_EQ(job.counters.processed, 10);
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(JobTest, Jpeg2000OutputRunsOneWorkerAtATime) {
  settings.Threads = 4;
  settings.Output_format = 4;
  ConversionJob job(host, log, totals);
  ASSERT_TRUE(job.start(settings, makeFiles(5)));
  std::map<std::string, int> indexes;
  size_t maxWorkers = 0;
  drive(job, indexes, maxWorkers);
  EXPECT_EQ(maxWorkers, 1u);
  EXPECT_EQ(job.counters.processed, 5);
}

TEST_F(JobTest, CancelFinishesRunningFilesAndLeavesTheQueue) {
  settings.Threads = 2;
  std::vector<std::string> files = makeFiles(8);
  ConversionJob job(host, log, totals);
  ASSERT_TRUE(job.start(settings, files));
  std::map<std::string, int> indexes;
  size_t maxWorkers = 0;
  drive(job, indexes, maxWorkers, 2);
  EXPECT_TRUE(job.cancelled());
  EXPECT_EQ(indexes.size(), 2u);
  EXPECT_EQ(job.counters.processed, 2);
  EXPECT_EQ(job.filelisttemp.size(), 6u);
  EXPECT_TRUE(fileExists(out + "f0.BMP"));
  EXPECT_TRUE(fileExists(out + "f1.BMP"));
  EXPECT_FALSE(fileExists(out + "f2.BMP"));
}

TEST_F(JobTest, NoWorkerStartsUnderMemoryPressureOrWhileAPreviewLoads) {
  ConversionJob job(host, log, totals);
  ASSERT_TRUE(job.start(settings, makeFiles(2)));
  int load = 95;
  job.setMemoryLoad([&] { return load; });
  for (int i = 0; i < 5; ++i) job.dispatchTick();
  EXPECT_TRUE(job.thr.empty());
  load = 89;
  job.prevthrfree = false;
  job.dispatchTick();
  EXPECT_TRUE(job.thr.empty());
  job.prevthrfree = true;
  job.dispatchTick();
  EXPECT_EQ(job.thr.size(), 1u);  // one start per tick
  job.runToCompletion();
  EXPECT_EQ(job.counters.processed, 2);
}

TEST_F(JobTest, AWorkerThatCannotBeCreatedStopsTheRun) {
  ConversionJob job(host, log, totals);
  job.setThreadFactory([](const PipelineEnv&) -> std::unique_ptr<TConversionThread> { throw std::bad_alloc(); });
  ASSERT_TRUE(job.start(settings, makeFiles(3)));
  job.runToCompletion();
  EXPECT_FALSE(job.RUN);
  EXPECT_TRUE(job.aborted());
  EXPECT_TRUE(host.aborted);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Error creating thread!");
  EXPECT_EQ(host.messages[0].caption, "Error");
}

TEST_F(JobTest, OneThreadAndManyThreadsWriteTheSameFiles) {
  std::vector<std::string> files = makeFiles(6);
  std::string out1 = test::makeTempDir("o1"), out4 = test::makeTempDir("o4");
  settings.Output_path = out1;
  settings.Threads = 1;
  test::runJob(settings, files);
  settings.Output_path = out4;
  settings.Threads = 4;
  test::runJob(settings, files);
  for (int i = 0; i < 6; ++i) {
    std::string name = "f" + std::to_string(i) + ".BMP";
    EXPECT_EQ(test::readBytes(out1 + name), test::readBytes(out4 + name)) << name;
  }
}

}  // namespace
}  // namespace brevane
