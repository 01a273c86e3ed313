// Workers convert files at the same time without changing a byte: the same 40 varied files
// with 1, 2 and 8 threads give identical output files and identical error lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "codecs/encoders.h"
#include "codecs/registry.h"
#include "core/engine/engine_test_support.h"
#include "support/test_support.h"

namespace brevane {
namespace {

namespace fs = std::filesystem;

constexpr size_t kFiles = 40;

// Generated sources for the layouts that take different routes through the pipeline; they need
// no corpus.
std::vector<std::string> generatedSources(const std::string& dir) {
  std::vector<std::string> paths;
  auto add = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
    test::writeBytes(dir + name, bytes);
    paths.push_back(dir + name);
  };
  const Bitmap rgb = test::patternImage(301, 199, 24, 3);
  const Bitmap rgba = test::patternImage(97, 131, 32, 4);
  Bitmap alpha(rgba.width(), rgba.height(), 24);
  for (int y = 0; y < rgba.height(); ++y)
    for (int x = 0; x < rgba.width(); ++x) alpha.scanLine(y)[3 * x + 2] = rgba.scanLine(y)[4 * x + 3];
  add("photo.jpg", codecs::encodeJpeg(rgb, 90, false));
  add("progressive.jpg", codecs::encodeJpeg(rgb, 75, true));
  add("alpha.png", codecs::encodePng(rgba, &alpha, {false, true, 6}));
  add("interlaced.png", codecs::encodePng(rgb, nullptr, {true, true, 9}));
  add("alpha.tga", codecs::encodeTga(rgba, &alpha));
  add("plain.bmp", codecs::encodeBmp(rgb));
  add("quantised.gif", codecs::encodeGif(rgb));
  add("small.jp2", codecs::encodeJpeg2000(test::patternImage(64, 48, 24, 5), 60, false));
  return paths;
}

// Small files of many formats from the shared corpus, a few evenly spaced ones per folder.
std::vector<std::string> corpusSources(size_t wanted) {
  std::vector<std::string> paths;
  const std::string root = test::testdata("");
  if (root.empty() || wanted == 0) return paths;
  for (const char* folder : {"jpeg", "png", "pngsuite", "gif", "bmp", "tiff", "tga", "jp2", "pcx", "psd", "sgi", "pnm",
                             "eps", "ico", "other"}) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(root + folder, ec)) {
      if (!e.is_regular_file() || e.file_size() > 300 * 1024) continue;
      if (codecs::isAcceptedExtension(e.path().extension().string()) &&
          !codecs::isRawExtension(e.path().extension().string()))
        files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    for (size_t k = 0; k < 3 && k < files.size(); ++k) paths.push_back(files[k * files.size() / 3]);
  }
  if (paths.size() > wanted) paths.resize(wanted);
  return paths;
}

std::map<std::string, std::vector<uint8_t>> outputsOf(const std::string& dir) {
  std::map<std::string, std::vector<uint8_t>> out;
  for (const auto& e : fs::directory_iterator(dir)) out[e.path().filename().string()] = test::readBytes(e.path().string());
  return out;
}

TEST(ThreadCount, OneTwoAndEightWorkersWriteTheSameBytes) {
  const std::string in = test::makeTempDir("threads-in");
  std::vector<std::string> files = generatedSources(in);
  const std::vector<std::string> corpus = corpusSources(kFiles - files.size());
  files.insert(files.end(), corpus.begin(), corpus.end());
  if (corpus.empty()) std::cout << "shared/testdata is absent: " << files.size() << " generated files only\n";

  std::map<std::string, std::vector<uint8_t>> reference;
  std::vector<std::string> referenceLines;
  for (int threads : {1, 2, 8}) {
    const std::string out = test::makeTempDir("threads-out");
    TConversionSettings s = test::testSettings(out);
    s.Threads = threads;
    s.Auto_format = true;  // both the JPEG and the PNG encoder on every non-JPEG source
    s.Selected_mode = 1;
    s.Resize_proportional = true;
    s.Resize_width = 160;
    s.Resize_height = 120;
    s.EnlargeIfSmall = true;
    s.Resampling_filter = 5;
    s.Watermark_enable = true;  // the text stamp, drawn under the lock
    s.Watermark_text_mask = "Brevane [C]";
    s.Rename_enabled = true;  // sources of one name in different folders keep apart
    s.Rename_mask = "[C]_[N]";
    test::RunResult r = test::runJob(s, files);
    ASSERT_TRUE(r.started);
    ASSERT_EQ(r.processed, static_cast<int32_t>(files.size()));
    std::vector<std::string> lines = r.lines;
    for (std::string& line : lines)
      if (size_t at = line.find(out); at != std::string::npos) line.replace(at, out.size(), "<out>/");
    std::sort(lines.begin(), lines.end());
    const auto outputs = outputsOf(out);
    if (threads == 1) {
      reference = outputs;
      referenceLines = lines;
      std::cout << files.size() << " files: " << reference.size() << " outputs, " << lines.size() << " error lines\n";
      EXPECT_GE(reference.size(), files.size() * 3 / 4) << "most files must convert for the test to mean much";
      continue;
    }
    EXPECT_EQ(lines, referenceLines) << threads << " threads";
    ASSERT_EQ(outputs.size(), reference.size()) << threads << " threads";
    for (const auto& [name, bytes] : reference) {
      auto it = outputs.find(name);
      ASSERT_NE(it, outputs.end()) << name << " missing with " << threads << " threads";
      EXPECT_TRUE(it->second == bytes) << name << " differs with " << threads << " threads";
    }
  }
}

}  // namespace
}  // namespace brevane
