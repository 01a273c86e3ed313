// brevane-batch end to end: arguments, input collection, exit statuses, output.
#include <gtest/gtest.h>

#include <filesystem>

#include "batch_runner.h"
#include "codecs/bmp.h"
#include "codecs/encoders.h"
#include "support/test_support.h"

namespace brevane {
namespace {

using Result = test::BatchResult;
using test::runBatch;

std::vector<std::string> listFiles(const std::string& dir) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::recursive_directory_iterator(dir))
    if (e.is_regular_file()) names.push_back(std::filesystem::relative(e.path(), dir).string());
  std::sort(names.begin(), names.end());
  return names;
}

class Batch : public ::testing::Test {
 protected:
  void SetUp() override {
    in = test::makeTempDir("in");
    out = test::makeTempDir("out");
  }
  void bmp(const std::string& rel) {
    std::filesystem::create_directories(std::filesystem::path(in + rel).parent_path());
    test::writeBytes(in + rel, codecs::encodeBmp(test::patternImage(8, 6)));
  }
  std::vector<std::string> base() {
    return {"-o", out, "--set", "Output_format=2", "--set", "Rename_enabled=0", "--quiet"};
  }
  std::string in, out;
};

TEST_F(Batch, ConvertsAFolderWithItsSubfoldersAndExitsZero) {
  bmp("a.bmp");
  bmp("sub/b.BMP");
  bmp(".cache/hidden.bmp");  // folders beginning with "." are not entered
  bmp(".dotfile.bmp");       // but such files are taken
  test::writeText(in + "notes.txt", "not an image");
  std::vector<std::string> args = base();
  args.push_back(in);
  Result r = runBatch(args);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(listFiles(out), (std::vector<std::string>{".dotfile.BMP", "a.BMP", "b.BMP"}));
}

TEST_F(Batch, ErrorLinesGiveExitOne) {
  bmp("good.bmp");
  test::writeText(in + "bad.bmp", "BMnot really");
  std::vector<std::string> args = base();
  args.push_back(in + "good.bmp");
  args.push_back(in + "bad.bmp");
  args.push_back(in + "missing.png");
  Result r = runBatch(args);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("AFO:" + in + "bad.bmp: Bitmap image is not valid"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("AFO:" + in + "missing.png: No such file or directory"), std::string::npos) << r.output;
  EXPECT_TRUE(std::filesystem::exists(out + "good.BMP"));
}

TEST_F(Batch, FilesNamedDirectlyAreTakenWhateverTheirExtensionAndDuplicatesDropped) {
  bmp("a.bmp");
  std::filesystem::copy_file(in + "a.bmp", in + "b.data");
  std::vector<std::string> args = base();
  for (const char* f : {"a.bmp", "a.bmp", "b.data"}) args.push_back(in + f);
  Result r = runBatch(args);
  EXPECT_EQ(r.status, 1);  // b.data has no decoder: one line, not two for a.bmp
  EXPECT_NE(r.output.find("Unknown picture file extension (.data)"), std::string::npos) << r.output;
  EXPECT_EQ(listFiles(out), (std::vector<std::string>{"a.BMP"}));
}

TEST_F(Batch, BadUsageAndRunsThatCannotStartExitTwo) {
  EXPECT_EQ(runBatch({}).status, 2);
  Result unknown = runBatch({"--set", "No_such_key=1", in});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.output.find("No_such_key"), std::string::npos);
  Result malformed = runBatch({"--set", "JPG_quality=high", in});
  EXPECT_EQ(malformed.status, 2);
  EXPECT_NE(malformed.output.find("JPG_quality"), std::string::npos);
  EXPECT_EQ(runBatch({"--bogus", in}).status, 2);
  EXPECT_EQ(runBatch({"--settings", in + "none.ini", in}).status, 2);

  bmp("a.bmp");
  test::writeText(out + "blocker", "x");
  Result cannot = runBatch({"-o", out + "blocker/sub", in});
  EXPECT_EQ(cannot.status, 2);
  Result empty = runBatch({"-o", out, in + "emptyfolder-that-is-missing/"});
  EXPECT_EQ(empty.status, 1);  // a missing path is a file that cannot be read
  std::filesystem::create_directories(in + "nothing");
  EXPECT_EQ(runBatch({"-o", out, in + "nothing"}).status, 2);  // an empty list does not start
  EXPECT_EQ(runBatch({"--help"}).status, 0);
}

TEST_F(Batch, ValuesOutsideTheirRangeAreClampedAndSettingsFilesAreRead) {
  bmp("a.bmp");
  test::writeText(in + "s.ini",
                  "[Settings]\nOutput_format=2\nRename_enabled=1\nRename_mask=[N]_x\nThreads=999\nUnknown=5\n"
                  "JPG_quality=oops\n");
  Result r = runBatch({"--settings", in + "s.ini", "--set", "Resize_percent=900", "-o", out, "--quiet", in + "a.bmp"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(listFiles(out).size(), 1u);
}

TEST_F(Batch, SummaryLineNamesTheOutputFolder) {
  bmp("a.bmp");
  Result r = runBatch({"-o", out, "--set", "Output_format=2", in});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find(out), std::string::npos) << r.output;
}

TEST_F(Batch, ResizesInEveryMode) {
  test::writeBytes(in + "wide.bmp", codecs::encodeBmp(test::patternImage(1000, 500)));
  struct Case {
    std::vector<std::string> sets;
    int width, height;
  };
  const Case cases[] = {
      {{"Selected_mode=0"}, 1000, 500},
      {{"Selected_mode=1", "Resize_width=800", "Resize_height=600"}, 800, 400},
      {{"Selected_mode=1", "Resize_width=800", "Resize_height=600", "Resize_proportional=0"}, 800, 600},
      {{"Selected_mode=1", "Resize_width=800", "Resize_height=600", "SmartCrop_enable=1", "EnlargeIfSmall=1"},
       800,
       600},
      {{"Selected_mode=1", "Resize_width=2000", "Resize_height=2000", "EnlargeIfSmall=1"}, 2000, 1000},
      {{"Selected_mode=2", "Resize_percent=30", "Resampling_filter=0"}, 300, 150},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = base();
    args.insert(args.end(), {"--set", "Overwrite=1"});
    for (const std::string& set : c.sets) args.insert(args.end(), {"--set", set});
    args.push_back(in + "wide.bmp");
    Result r = runBatch(args);
    ASSERT_EQ(r.status, 0) << r.output;
    Bitmap b = codecs::readBmp(test::readBytes(out + "wide.BMP"));
    EXPECT_EQ(b.width(), c.width) << c.sets.back();
    EXPECT_EQ(b.height(), c.height) << c.sets.back();
  }
}

TEST_F(Batch, StampsTextAndWatermark) {
  Bitmap plain(400, 300, 24);
  plain.fill(60);
  test::writeBytes(in + "grey.bmp", codecs::encodeBmp(plain));
  Bitmap mark(50, 40, 24);
  mark.fill(250);
  test::writeBytes(in + "mark.bmp", codecs::encodeBmp(mark));
  std::vector<std::string> args = base();
  for (const char* set : {"Watermark_enable=1", "Watermark_text_mask=Brevane [W]", "Text_opacity=100",
                          "Img_watermark_enabled=1", "Img_position=0"})
    args.insert(args.end(), {"--set", set});
  args.insert(args.end(), {"--set", "Img_path=" + in + "mark.bmp", in + "grey.bmp"});
  Result r = runBatch(args);
  ASSERT_EQ(r.status, 0) << r.output;
  Bitmap b = codecs::readBmp(test::readBytes(out + "grey.BMP"));
  // The watermark covers its rectangle at the top left (10-pixel margin)...
  EXPECT_EQ(b.pixel(10, 10), (Bgr{250, 250, 250}));
  EXPECT_EQ(b.pixel(59, 49), (Bgr{250, 250, 250}));
  EXPECT_EQ(b.pixel(60, 50), (Bgr{60, 60, 60}));
  // ...and the white text with its black shadow changed pixels near the bottom right.
  int bright = 0, dark = 0;
  for (int y = 200; y < 300; ++y)
    for (int x = 200; x < 400; ++x) {
      Bgr p = b.pixel(x, y);
      bright += p.r > 200;
      dark += p.r < 20;
    }
  EXPECT_GT(bright, 20);
  EXPECT_GT(dark, 20);
}

}  // namespace
}  // namespace brevane
