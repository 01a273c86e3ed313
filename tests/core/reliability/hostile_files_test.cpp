// Names and folders a person's disk really has, through the whole job: each file gives its
// output or one clear line, the run goes on, and no source is ever changed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>

#include "base/platform.h"
#include "codecs/bmp.h"
#include "codecs/encoders.h"
#include "core/engine/engine_test_support.h"
#include "engine/written_files.h"
#include "reliability_support.h"

namespace brevane {
namespace {

namespace fs = std::filesystem;

// Source names, each given as the file name of a BMP source; the output is the name with
// ".BMP" in place of ".bmp".
struct NameCase {
  const char* label;
  std::string stem;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.label; }

const NameCase kNames[] = {
    {"spaces", "  with  spaces "},
    {"leading_dash", "-leading dash"},
    {"printf_directives", "%s%n%x%%%p"},
    {"brackets", "[C] [N] (1) {x} [W]"},
    {"line_break", "line\nbreak"},
    {"control_characters", "tab\tbell\a\x1b[31mred"},
    {"not_utf8", "caf\xe9 \xff\xfe \xc3("},
    {"utf8", "\xc3\xbcn\xc3\xaf" "c\xc3\xb8" "d\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac"},
    {"dots", "..dots.."},
    {"longest_name", std::string(251, 'n')},  // 255 bytes with ".bmp"
};

class HostileNames : public ::testing::TestWithParam<NameCase> {};

// With the text stamp on, the name also goes through the mask, the font shaping and drawing.
TEST_P(HostileNames, ConvertWithTheTextStampAndLeaveTheSourceAlone) {
  std::string in = test::makeTempDir("in"), out = test::makeTempDir("out");
  std::string source = in + GetParam().stem + ".bmp";
  test::writeBytes(source, codecs::encodeBmp(test::patternImage(64, 40)));
  uint64_t before = test::fingerprint(source);
  TConversionSettings s = test::testSettings(out);
  s.Watermark_enable = true;
  s.Watermark_text_mask = "[N] %s%n [C]";
  test::RunResult r = test::runJob(s, {source});
  EXPECT_TRUE(r.lines.empty()) << r.lines[0];
  std::string output = out + GetParam().stem + ".BMP";
  ASSERT_TRUE(isRegularFile(output));
  Bitmap back = codecs::readBmp(test::readBytes(output));
  EXPECT_EQ(back.width(), 64);
  EXPECT_EQ(test::fingerprint(source), before);
  EXPECT_EQ(test::folderEntries(out).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Names, HostileNames, ::testing::ValuesIn(kNames),
                         [](const auto& info) { return std::string(info.param.label); });

class HostileRun : public ::testing::Test {
 protected:
  void SetUp() override {
    in = test::makeTempDir("in");
    out = test::makeTempDir("out");
    settings = test::testSettings(out);
  }
  std::string source(const std::string& name, int side = 32) {
    std::string p = in + name;
    test::writeBytes(p, codecs::encodeBmp(test::patternImage(side, side, 24, static_cast<uint32_t>(name.size()))));
    return p;
  }
  // Lines that begin with `prefix`.
  static int count(const std::vector<std::string>& lines, const std::string& prefix) {
    int n = 0;
    for (const std::string& l : lines) n += l.rfind(prefix, 0) == 0;
    return n;
  }
  std::string in, out;
  TConversionSettings settings;
};

TEST_F(HostileRun, ARenameMaskThatMakesTheNameTooLongGivesOneLine) {
  std::string longSource = source(std::string(200, 'l') + ".bmp");
  std::string shortSource = source("s.bmp");
  settings.Rename_enabled = true;
  settings.Rename_mask = "[N]_[N]_[C]";
  settings.Counter_length = 1;
  auto before = test::fingerprints({longSource, shortSource});
  test::RunResult r = test::runJob(settings, {longSource, shortSource});
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0], "FSE:" + out + std::string(200, 'l') + "_" + std::string(200, 'l') + "_1: " +
                            std::strerror(ENAMETOOLONG));
  EXPECT_EQ(r.processed, 2);
  EXPECT_TRUE(isRegularFile(out + "s_s_2"));
  EXPECT_EQ(test::fingerprints({longSource, shortSource}), before);
}

TEST_F(HostileRun, AnOutputFolderThatIsASymbolicLinkReceivesTheFiles) {
  std::string real = out + "real/";
  fs::create_directories(real);
  fs::create_directory_symlink(real, out + "link");
  settings.Output_path = out + "link";
  test::RunResult r = test::runJob(settings, {source("a.bmp")});
  EXPECT_TRUE(r.lines.empty());
  EXPECT_TRUE(isRegularFile(real + "a.BMP"));
  EXPECT_TRUE(fs::is_symlink(out + "link"));
}

// The folder is removed after the first file: every later file fails with one line.
TEST_F(HostileRun, AnOutputFolderThatDisappearsGivesOneLinePerLaterFile) {
  std::vector<std::string> files = {source("a.bmp"), source("b.bmp"), source("c.bmp")};
  auto before = test::fingerprints(files);
  test::RecordingHost host;
  ErrorLog log;
  LifetimeTotals totals;
  ConversionJob job(host, log, totals);
  ASSERT_TRUE(job.start(settings, files));
  while (job.counters.processed.load() == 0) {
    job.dispatchTick();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(isRegularFile(out + "a.BMP"));
  fs::remove_all(out);
  job.runToCompletion();
  std::vector<std::string> lines = log.lines();
  EXPECT_EQ(lines, (std::vector<std::string>{"FSE:" + out + "b.BMP: " + std::strerror(ENOENT),
                                             "FSE:" + out + "c.BMP: " + std::strerror(ENOENT)}));
  EXPECT_EQ(job.counters.processed.load(), 3);
  EXPECT_EQ(test::fingerprints(files), before);
}

TEST_F(HostileRun, SourcesThatVanishShrinkOrAreNoFilesGiveOneLineEach) {
  std::string gone = source("gone.bmp");
  std::string shrunk = source("shrunk.bmp", 64);
  std::string good = source("good.bmp");
  fs::remove(gone);
  fs::resize_file(shrunk, 100);
  ASSERT_EQ(::mkfifo((in + "pipe.bmp").c_str(), 0666), 0);
  fs::create_symlink("/dev/zero", in + "zero.bmp");
  settings.Threads = 4;
  test::RunResult r = test::runJob(settings, {gone, shrunk, in + "pipe.bmp", in + "zero.bmp", good});
  EXPECT_EQ(r.processed, 5);
  ASSERT_EQ(r.lines.size(), 4u);
  EXPECT_EQ(count(r.lines, "AFO:" + gone + ": " + std::strerror(ENOENT)), 1);
  EXPECT_EQ(count(r.lines, "AFO:" + shrunk + ": "), 1);
  EXPECT_EQ(count(r.lines, "AFO:" + in + "pipe.bmp: Not a regular file"), 1);
  EXPECT_EQ(count(r.lines, "AFO:" + in + "zero.bmp: Not a regular file"), 1);
  EXPECT_EQ(test::folderEntries(out), std::vector<std::string>{"good.BMP"});
}

// Sources truncated and deleted by another program while eight workers read them: every file
// ends with its output or exactly one line, and nothing crashes.
TEST_F(HostileRun, SourcesChangingWhileTheyAreReadNeverCrashTheRun) {
  std::vector<std::string> files;
  for (int i = 0; i < 40; ++i) files.push_back(source("f" + std::to_string(i) + ".bmp", 200 + i));
  settings.Threads = 8;
  std::atomic<bool> stop{false};
  std::thread vandal([&] {
    for (size_t i = 0; !stop; i = (i + 7) % files.size()) {
      std::error_code ec;
      if (i % 2) fs::resize_file(files[i], (i * 997) % 20000, ec);
      else fs::remove(files[i], ec);
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  });
  test::RunResult r = test::runJob(settings, files);
  stop = true;
  vandal.join();
  EXPECT_EQ(r.processed, 40);
  for (const std::string& f : files) {
    std::string name = fs::path(f).stem().string();
    int lines = count(r.lines, "AFO:" + f + ": ");
    bool written = isRegularFile(out + name + ".BMP");
    EXPECT_EQ(lines + (written ? 1 : 0), 1) << f;
  }
  EXPECT_EQ(r.lines.size() + test::folderEntries(out).size(), files.size());
}

// A folder the run may not write into: root writes anywhere, so the refusal is injected the
// way the file system would give it.
int readOnlyFolder(WriteStage stage, const std::string&) {
  return stage == WriteStage::kOpenUnnamed || stage == WriteStage::kOpenNamed ? EROFS : 0;
}

TEST_F(HostileRun, AReadOnlyOutputFolderGivesOneLinePerFile) {
  std::vector<std::string> files = {source("a.bmp"), source("b.bmp")};
  bool root = ::geteuid() == 0;
  if (root) setWriteFaultHook(&readOnlyFolder);
  else fs::permissions(out, fs::perms::owner_read | fs::perms::owner_exec);
  test::RunResult r = test::runJob(settings, files);
  setWriteFaultHook(nullptr);
  fs::permissions(out, fs::perms::owner_all);
  std::string message = std::strerror(root ? EROFS : EACCES);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"FSE:" + out + "a.BMP: " + message, "FSE:" + out + "b.BMP: " + message}));
  EXPECT_TRUE(test::folderEntries(out).empty());
}

}  // namespace
}  // namespace brevane
