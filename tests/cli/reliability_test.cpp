// brevane-batch on a person's real disk: odd names, two spellings of one file, folders that are
// links or refuse writes, sources that are no files, and a run killed while it writes. Each file
// gives its output or one line, and no source changes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "batch_runner.h"
#include "codecs/bmp.h"
#include "codecs/encoders.h"
#include "codecs/registry.h"
#include "core/reliability/reliability_support.h"
#include "support/test_support.h"

namespace brevane {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

class BatchReliability : public ::testing::Test {
 protected:
  void SetUp() override {
    in = test::makeTempDir("bin");
    out = test::makeTempDir("bout");
  }
  std::string source(const std::string& name, int side = 24) {
    std::string p = in + name;
    test::writeBytes(p, codecs::encodeBmp(test::patternImage(side, side, 24, static_cast<uint32_t>(name.size()))));
    return p;
  }
  std::vector<std::string> args(std::vector<std::string> extra) {
    std::vector<std::string> a = {"-o", out, "--quiet", "--set", "Output_format=2", "--set", "Rename_enabled=0"};
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  }
  std::string in, out;
};

TEST_F(BatchReliability, OddNamesFromAFolderScanAndNamedOneByOne) {
  const std::vector<std::string> stems = {"  spaces ",    "-dash",   "%s%n%x",      "[C] [N] (1)", "line\nbreak",
                                          "esc\x1b[31m",  "caf\xe9", "\xff\xfe\xfd", std::string(251, 'n')};
  std::vector<std::string> sources;
  for (const std::string& s : stems) sources.push_back(source(s + ".bmp"));
  auto before = test::fingerprints(sources);

  test::BatchResult scan = test::runBatch(args({"--set", "Watermark_enable=1", "--set", "Watermark_text_mask=[N]", in}));
  EXPECT_EQ(scan.status, 0) << scan.output;
  for (const std::string& s : stems) EXPECT_TRUE(isRegularFile(out + s + ".BMP")) << s;
  EXPECT_EQ(test::folderEntries(out).size(), stems.size());

  // Named on the command line: a leading "-" needs "--" (or "./"); without it the name is
  // taken for an option and the run does not start.
  std::string cwdDash = "-dash.bmp";
  test::BatchResult refused = test::runBatch(args({cwdDash}));
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(lines(refused.output).front(), "brevane-batch: unknown option '-dash.bmp'");
  fs::remove_all(out);
  std::vector<std::string> named = {"--set", "Overwrite=1", "--"};
  named.insert(named.end(), sources.begin(), sources.end());
  test::BatchResult direct = test::runBatch(args(named));
  EXPECT_EQ(direct.status, 0) << direct.output;
  EXPECT_EQ(test::folderEntries(out).size(), stems.size());
  EXPECT_EQ(test::fingerprints(sources), before);
}

// A file that fails prints one line however its name is made: control characters are shown
// escaped, bytes that are not UTF-8 as they are.
TEST_F(BatchReliability, AFailingFileWithALineBreakInItsNamePrintsOneLine) {
  std::string bad = in + "two\nlines\x1b[2J.bmp";
  test::writeText(bad, "BM but not a bitmap");
  source("good.bmp");
  test::BatchResult r = test::runBatch(args({in}));
  EXPECT_EQ(r.status, 1);
  std::vector<std::string> printed = lines(r.output);
  ASSERT_EQ(printed.size(), 1u) << r.output;
  EXPECT_EQ(printed[0].rfind("AFO:" + in + "two\\nlines\\x1B[2J.bmp: ", 0), 0u) << printed[0];
  EXPECT_TRUE(isRegularFile(out + "good.BMP"));
}

// Converting into the sources' folder with Overwrite on: p.BMP is its own output. Listed under
// four spellings it is still converted (and replaced) once, never a second time from its output.
TEST_F(BatchReliability, TwoSpellingsOfOneSourceAreOneEntry) {
  std::string p = source("p.BMP", 40);
  fs::create_symlink(p, in + "link.BMP");
  fs::create_directories(in + "sub");
  test::BatchResult r =
      test::runBatch({"-o", in, "--quiet", "--set", "Output_format=2", "--set", "Rename_enabled=0", "--set",
                      "Overwrite=1", "--set", "Selected_mode=2", "--set", "Resize_percent=50", "--set", "Threads=4", p,
                      in + "./p.BMP", in + "sub/../p.BMP", in + "link.BMP"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(codecs::readBmp(test::readBytes(p)).width(), 20);
  EXPECT_TRUE(fs::is_symlink(in + "link.BMP"));
}

TEST_F(BatchReliability, NamesTooLongFoldersThatAreLinksAndSourcesThatAreNoFiles) {
  std::string longName = source(std::string(200, 'l') + ".bmp");
  source("s.bmp");
  ASSERT_EQ(::mkfifo((in + "pipe.bmp").c_str(), 0666), 0);
  fs::create_directories(out + "real");
  fs::create_directory_symlink(out + "real", out + "link");
  test::BatchResult r = test::runBatch({"-o", out + "link", "--quiet", "--set", "Output_format=2", "--set",
                                        "Rename_enabled=1", "--set", "Rename_mask=[N][N]", longName, in + "s.bmp",
                                        in + "pipe.bmp", in + "missing.bmp"});
  EXPECT_EQ(r.status, 1);
  std::vector<std::string> printed = lines(r.output);
  ASSERT_EQ(printed.size(), 3u) << r.output;
  // Paths that are no files are reported before the run starts.
  EXPECT_EQ(printed[0], "AFO:" + in + "pipe.bmp: Not a regular file");
  EXPECT_EQ(printed[1], "AFO:" + in + "missing.bmp: No such file or directory");
  EXPECT_EQ(printed[2], "FSE:" + out + "link/" + std::string(400, 'l') + ": File name too long");
  EXPECT_EQ(test::folderEntries(out + "real"), std::vector<std::string>{"ss"});
}

TEST_F(BatchReliability, AReadOnlyOutputFolderGivesOneLinePerFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders (the core's tests inject the refusal)";
  source("a.bmp");
  source("b.bmp");
  fs::permissions(out, fs::perms::owner_read | fs::perms::owner_exec);
  test::BatchResult r = test::runBatch(args({in}));
  fs::permissions(out, fs::perms::owner_all);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(lines(r.output), (std::vector<std::string>{"FSE:" + out + "a.BMP: Permission denied",
                                                       "FSE:" + out + "b.BMP: Permission denied"}));
}

// The command killed at several moments while it writes large files: every file present is
// complete and no temporary file is left behind.
TEST_F(BatchReliability, AKilledRunLeavesOnlyCompleteFiles) {
  std::vector<std::string> sources;
  for (int i = 0; i < 6; ++i) sources.push_back(source("big" + std::to_string(i) + ".bmp", 1500));
  int killedWhileRunning = 0;
  for (int delayMs : {60, 150, 300, 600}) {
    fs::remove_all(out);
    fs::create_directories(out);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int devnull = ::open("/dev/null", O_WRONLY);
      ::dup2(devnull, 2);
      std::vector<std::string> a = {BREVANE_BATCH_EXE, "-o", out, "--quiet", "--set", "Output_format=1", "--set",
                                    "Threads=2"};
      a.insert(a.end(), sources.begin(), sources.end());
      std::vector<char*> argv;
      for (std::string& s : a) argv.push_back(s.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) ++killedWhileRunning;
    for (const std::string& name : test::folderEntries(out)) {
      EXPECT_NE(name.rfind(".brv-", 0), 0u) << "left behind: " << name;
      codecs::DecodedImage image = codecs::loadImage(out + name);
      EXPECT_EQ(image.width, 1500) << name;
    }
  }
  EXPECT_GT(killedWhileRunning, 0);
}

}  // namespace
}  // namespace brevane
