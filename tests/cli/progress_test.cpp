// The progress bar: its line, its redraw limit, drawn on a terminal and never into a pipe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include "batch_runner.h"
#include "cli/progress_bar.h"
#include "codecs/encoders.h"
#include "support/test_support.h"

namespace brevane::cli {
namespace {

struct BarCase {
  int done, total;
  uint64_t elapsedMs;
  int columns;
  std::string expected;
};

class BarLine : public ::testing::TestWithParam<BarCase> {};

TEST_P(BarLine, ShowsCountsElapsedAndTimeLeft) {
  const BarCase& c = GetParam();
  EXPECT_EQ(progressBarLine(c.done, c.total, c.elapsedMs, c.columns), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BarLine,
    ::testing::Values(BarCase{0, 10, 0, 80, "[" + std::string(40, ' ') + "]  0/10  0:00 elapsed"},
                      BarCase{5, 10, 30'000, 80,
                              "[" + std::string(20, '#') + std::string(20, ' ') + "]  5/10  0:30 elapsed, 0:30 left"},
                      BarCase{1, 3, 61'500, 80,
                              "[" + std::string(13, '#') + std::string(27, ' ') + "]  1/3  1:01 elapsed, 2:03 left"},
                      BarCase{10, 10, 3'723'000, 80, "[" + std::string(40, '#') + "]  10/10  1:02:03 elapsed"},
                      // The bar shrinks with the terminal, and goes before the numbers do.
                      BarCase{2, 4, 2'000, 50,
                              "[" + std::string(8, '#') + std::string(9, ' ') + "]  2/4  0:02 elapsed, 0:02 left"},
                      BarCase{2, 4, 2'000, 30, "2/4  0:02 elapsed, 0:02 left"}));

TEST(RedrawLimiter, AllowsOneRedrawPerInterval) {
  RedrawLimiter limiter(100);
  EXPECT_TRUE(limiter.due(5000));
  EXPECT_FALSE(limiter.due(5099));
  EXPECT_TRUE(limiter.due(5100));
  EXPECT_FALSE(limiter.due(5150));
  EXPECT_TRUE(limiter.due(9000));
}

std::vector<std::string> convertArgs() {
  std::string in = test::makeTempDir("bar-in"), out = test::makeTempDir("bar-out");
  for (const char* name : {"a.bmp", "b.bmp"})
    test::writeBytes(in + name, codecs::encodeBmp(test::patternImage(64, 48)));
  return {"-o", out, in};
}

TEST(BatchProgress, NoBarIntoAPipe) {
  test::BatchResult r = test::runBatch(convertArgs());
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output.find('\r'), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("\033["), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Files processed: 2 of 2"), std::string::npos) << r.output;
}

TEST(BatchProgress, BarOnATerminal) {
  int master = -1, slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  std::vector<std::string> args = convertArgs();
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(slave, STDERR_FILENO);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(master);
    setenv("TERM", "xterm", 1);
    std::vector<char*> argv = {const_cast<char*>(BREVANE_BATCH_EXE)};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(BREVANE_BATCH_EXE, argv.data());
    _exit(127);
  }
  close(slave);
  std::string output;
  char buf[4096];
  for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;) output.append(buf, static_cast<size_t>(n));
  close(master);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
  EXPECT_NE(output.find("\r\033[K["), std::string::npos) << output;
  EXPECT_NE(output.find("/2  0:0"), std::string::npos) << output;
  EXPECT_NE(output.find("Files processed: 2 of 2"), std::string::npos) << output;
}

}  // namespace
}  // namespace brevane::cli
