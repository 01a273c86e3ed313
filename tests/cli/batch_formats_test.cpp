// brevane-batch writes every output format, and the automatic format picks name.JPG or name.PNG.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "codecs/encoders.h"
#include "batch_runner.h"
#include "support/test_support.h"

namespace brevane {
namespace {

int runQuiet(const std::string& out, const std::vector<std::string>& sets, const std::string& input) {
  std::vector<std::string> args = {"--quiet", "-o", out, "--set", "Rename_enabled=0", "--set", "Exif=0"};
  for (const std::string& s : sets) args.insert(args.end(), {"--set", s});
  args.push_back(input);
  return test::runBatch(args).status;
}

// (Output_format, written name, the file's first bytes)
using FormatCase = std::tuple<int, const char*, std::vector<uint8_t>>;
class BatchFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(BatchFormats, WritesTheSelectedFormat) {
  auto [format, name, magic] = GetParam();
  std::string in = test::makeTempDir("fmt-in"), out = test::makeTempDir("fmt-out");
  test::writeBytes(in + "pic.bmp", codecs::encodeBmp(test::patternImage(40, 30)));
  ASSERT_EQ(runQuiet(out, {"Output_format=" + std::to_string(format)}, in + "pic.bmp"), 0);
  std::vector<uint8_t> bytes = test::readBytes(out + name);
  ASSERT_GE(bytes.size(), magic.size()) << name;
  if (format == 5) {
    EXPECT_EQ(bytes[2], 10);  // run-length encoded truecolour
  } else {
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + magic.size()), magic);
  }
}

INSTANTIATE_TEST_SUITE_P(
    EveryFormat, BatchFormats,
    ::testing::Values(FormatCase{0, "pic.JPG", {0xFF, 0xD8, 0xFF}}, FormatCase{1, "pic.PNG", {0x89, 'P', 'N', 'G'}},
                      FormatCase{2, "pic.BMP", {'B', 'M'}}, FormatCase{3, "pic.GIF", {'G', 'I', 'F', '8'}},
                      FormatCase{4, "pic.JP2", {0, 0, 0, 0x0C, 'j', 'P', ' ', ' '}}, FormatCase{5, "pic.TGA", {}}));

TEST(BatchAutoFormat, WritesNameJpgOrNamePng) {
  std::string in = test::makeTempDir("auto-in"), out = test::makeTempDir("auto-out");
  Bitmap flat(200, 100, 24);
  flat.fill(0x80);
  test::writeBytes(in + "flat.bmp", codecs::encodeBmp(flat));
  test::writeBytes(in + "busy.bmp", codecs::encodeBmp(test::patternImage(200, 100)));
  ASSERT_EQ(runQuiet(out, {"Auto_format=1", "Output_format=2"}, in), 0);
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(out)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[1], "flat.PNG");
  EXPECT_TRUE(names[0] == "busy.JPG" || names[0] == "busy.PNG") << names[0];
}

}  // namespace
}  // namespace brevane
