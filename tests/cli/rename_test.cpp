// brevane-batch renames its outputs by the rename mask, with the unique-name guard.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "codecs/encoders.h"
#include "batch_runner.h"
#include "support/test_support.h"

namespace brevane {
namespace {

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
    test::BatchResult r = test::runBatch({"-o", out, "--quiet", "--set", "Output_format=2", "--set", "Rename_enabled=1", "--set",
                           "Rename_mask=" + mask, "--set", "Counter_length=" + std::to_string(width), in});
    EXPECT_EQ(r.status, 0) << r.output;
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
