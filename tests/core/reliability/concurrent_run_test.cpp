// Runs of eight workers over varied files with every step on (also built with ThreadSanitizer):
// the same files and lines as one worker, a cancel in the middle that loses nothing it started,
// and the error log's listener called from the workers.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>

#include "base/platform.h"
#include "codecs/encoders.h"
#include "codecs/registry.h"
#include "core/engine/engine_test_support.h"
#include "reliability_support.h"

namespace brevane {
namespace {

// Sources of every kind the pipeline branches on, three damaged ones and a missing one.
std::vector<std::string> variedSources(const std::string& in) {
  std::vector<std::string> files;
  auto add = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
    test::writeBytes(in + name, bytes);
    files.push_back(in + name);
  };
  for (int i = 0; i < 4; ++i) {
    uint32_t seed = static_cast<uint32_t>(i);
    Bitmap rgb = test::patternImage(60 + 13 * i, 40 + 7 * i, 24, seed);
    Bitmap rgba = test::patternImage(50 + 9 * i, 30 + 11 * i, 32, seed);
    add("rgb" + std::to_string(i) + ".bmp", codecs::encodeBmp(rgb));
    add("alpha" + std::to_string(i) + ".bmp", codecs::encodeBmp(rgba));
    add("photo" + std::to_string(i) + ".jpg", codecs::encodeJpeg(rgb, 90, i % 2));
    Bitmap plane = test::patternImage(rgba.width(), rgba.height(), 24, seed + 7);
    add("logo" + std::to_string(i) + ".png", codecs::encodePng(rgba, &plane, {i % 2 == 0, true, 6}));
    add("anim" + std::to_string(i) + ".gif", codecs::encodeGif(rgb));
    add("tga" + std::to_string(i) + ".tga", codecs::encodeTga(rgba, nullptr));
  }
  add("damaged.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0});
  add("damaged.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 2});
  add("damaged.bmp", {'B', 'M', 1, 2, 3});
  files.push_back(in + "missing.tga");
  return files;
}

TConversionSettings everyStep(const std::string& out, int threads) {
  TConversionSettings s = test::testSettings(out);
  s.Threads = threads;
  s.Output_format = 0;
  s.Exif = true;
  s.Selected_mode = 2;
  s.Resize_percent = 70;
  s.Watermark_enable = true;
  s.Watermark_text_mask = "[N] [C] [W]x[H]";
  s.Img_watermark_enabled = true;
  s.Img_path = BREVANE_SOURCE_DIR "/data/watermark.png";
  s.Rename_enabled = true;
  s.Rename_mask = "[N]_[C].jpg";
  return s;
}

// The error lines without the folder of the run's outputs, to compare two runs.
std::multiset<std::string> withoutFolder(const std::vector<std::string>& lines, const std::string& out) {
  std::multiset<std::string> set;
  for (std::string l : lines) {
    if (size_t at = l.find(out); at != std::string::npos) l.erase(at, out.size());
    set.insert(l);
  }
  return set;
}

TEST(ConcurrentRun, EightWorkersGiveTheFilesAndLinesOfOne) {
  std::string in = test::makeTempDir("cin");
  std::vector<std::string> files = variedSources(in);
  auto before = test::fingerprints(std::vector<std::string>(files.begin(), files.end() - 1));

  std::string out1 = test::makeTempDir("c1"), out8 = test::makeTempDir("c8");
  TConversionSettings one = everyStep(out1, 1);
  test::RunResult r1 = test::runJob(one, files);

  // Eight workers, with a listener on the workers' threads and a progress reader on this one.
  TConversionSettings eight = everyStep(out8, 8);
  test::RecordingHost host;
  ErrorLog log;
  LifetimeTotals totals;
  std::vector<std::string> heard;
  log.setListener([&](const std::string& line) { heard.push_back(line); });
  ConversionJob job(host, log, totals);
  ASSERT_TRUE(job.start(eight, files));
  size_t mostWorkers = 0;
  int32_t lastProcessed = 0;
  job.runToCompletion([&] {
    mostWorkers = std::max(mostWorkers, job.thr.size());
    int32_t now = job.counters.processed.load();
    EXPECT_GE(now, lastProcessed);
    lastProcessed = now;
  });

  EXPECT_EQ(job.counters.processed.load(), static_cast<int32_t>(files.size()));
  EXPECT_EQ(r1.processed, static_cast<int32_t>(files.size()));
  EXPECT_EQ(heard, log.lines());
  EXPECT_EQ(withoutFolder(log.lines(), out8), withoutFolder(r1.lines, out1));
  EXPECT_EQ(r1.lines.size(), 4u);
  EXPECT_EQ(totals.allprocessedfiles.load(), static_cast<int32_t>(files.size()) - 4);
  std::vector<std::string> names = test::folderEntries(out1);
  EXPECT_EQ(names.size(), files.size() - 4);
  EXPECT_EQ(test::folderEntries(out8), names);
  // The pixels agree; the bytes differ only in the Exif time of writing.
  for (const std::string& n : names)
    EXPECT_TRUE(test::samePixels(codecs::loadImage(out1 + n).bitmap, codecs::loadImage(out8 + n).bitmap)) << n;
  EXPECT_EQ(test::fingerprints(std::vector<std::string>(files.begin(), files.end() - 1)), before);
}

TEST(ConcurrentRun, CancelInTheMiddleOfEightWorkersLosesNothingStarted) {
  std::string in = test::makeTempDir("cin"), out = test::makeTempDir("cout");
  std::vector<std::string> files;
  for (int round = 0; round < 3; ++round)
    for (const std::string& f : variedSources(in + std::to_string(round) + "/")) files.push_back(f);
  TConversionSettings s = everyStep(out, 8);
  test::RecordingHost host;
  ErrorLog log;
  LifetimeTotals totals;
  std::atomic<int> heard{0};
  log.setListener([&](const std::string&) { ++heard; });
  ConversionJob job(host, log, totals);
  ASSERT_TRUE(job.start(s, files));
  int32_t started = 0;
  while (!job.finished()) {
    job.dispatchTick();
    job.reapTick();
    job.completionTick();
    started = job.counter - 1;
    if (started >= 12 && !job.cancelled()) job.cancel();
  }
  EXPECT_TRUE(job.cancelled());
  EXPECT_GE(started, 12);
  EXPECT_LT(started, static_cast<int32_t>(files.size()));
  EXPECT_EQ(job.counters.processed.load(), started);
  EXPECT_EQ(job.filelisttemp.size(), files.size() - static_cast<size_t>(started));
  EXPECT_EQ(heard.load(), static_cast<int>(log.size()));
  // Every started file ended with its output or its line.
  EXPECT_EQ(test::folderEntries(out).size() + log.size(), static_cast<size_t>(started));
}

}  // namespace
}  // namespace brevane
