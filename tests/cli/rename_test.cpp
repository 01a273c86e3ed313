// brevane-batch renames its outputs by the rename mask, with the unique-name guard.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>

#include "engine/codecs/encoders.h"
#include "support/test_support.h"

namespace brevane {
namespace {

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

int runBatch(const std::vector<std::string>& args, std::string& output) {
  std::string cmd = quote(BREVANE_BATCH_EXE);
  for (const std::string& a : args) cmd += " " + quote(a);
  cmd += " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) output.append(buf.data(), n);
  int st = pclose(p);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

std::vector<std::string> names(const std::string& dir) {
  std::vector<std::string> out;
  for (auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

class BatchRename : public ::testing::Test {
 protected:
  void SetUp() override {
    in = test::makeTempDir("rin");
    out = test::makeTempDir("rout");
    for (const char* n : {"IMG 7.bmp", "b.bmp", "c.bmp"})
      test::writeBytes(in + n, codecs::encodeBmp(test::patternImage(8, 6)));
  }
  std::vector<std::string> run(const std::string& mask, int width) {
    std::string output;
    int status = runBatch({"-o", out, "--quiet", "--set", "Output_format=2", "--set", "Rename_enabled=1", "--set",
                           "Rename_mask=" + mask, "--set", "Counter_length=" + std::to_string(width), in},
                          output);
    EXPECT_EQ(status, 0) << output;
    return names(out);
  }
  std::string in, out;
};

TEST_F(BatchRename, DefaultMaskNumbersFilesInListOrder) {
  EXPECT_EQ(run("[N]_[C]_[W]x[H][E]", 3),
            (std::vector<std::string>{"IMG 7_001_8x6.BMP", "b_002_8x6.BMP", "c_003_8x6.BMP"}));
}

TEST_F(BatchRename, MaskWithoutCounterOrNameIsGuarded) {
  EXPECT_EQ(run("[c]_x", 2), (std::vector<std::string>{"01_01_x", "02_02_x", "03_03_x"}));
}

}  // namespace
}  // namespace brevane
