// brevane-batch --dry-run: the names a run writes, from the header alone, and the lines for
// paths that cannot be converted.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "batch_runner.h"
#include "codecs/encoders.h"
#include "support/test_support.h"

namespace brevane {
namespace {

std::set<std::string> namesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

class DryRun : public ::testing::Test {
 protected:
  void SetUp() override {
    in = test::makeTempDir("dry-in");
    out = test::makeTempDir("dry-out") + "never/";
    test::writeBytes(in + "a.bmp", codecs::encodeBmp(test::patternImage(100, 50)));
    test::writeBytes(in + "b.png", codecs::encodePng(test::patternImage(40, 80), nullptr, {}));
    test::writeBytes(in + "c.jpg", codecs::encodeJpeg(test::patternImage(64, 48), 90, false));
    test::writeBytes(in + "d.gif", codecs::encodeGif(test::patternImage(30, 20)));
    // No header reader for Targa: its size comes from a decode.
    test::writeBytes(in + "e.tga", codecs::encodeTga(test::patternImage(18, 10), nullptr));
  }
  test::BatchResult dry(std::vector<std::string> args) {
    args.insert(args.end(), {"--dry-run", "-o", out, in});
    return test::runBatchStdout(args);
  }
  std::string in, out;
};

TEST_F(DryRun, NamesByMaskWithCounterAndSizeAreTheNamesARunWrites) {
  std::vector<std::string> options = {"-f", "png", "--percent", "50", "--rename", "[N]-[C]-[W]x[H][E]"};
  test::BatchResult r = dry(options);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.output, in + "a.bmp\t" + out + "a-001-50x25.PNG\n" +      //
                          in + "b.png\t" + out + "b-002-20x40.PNG\n" +  //
                          in + "c.jpg\t" + out + "c-003-32x24.PNG\n" +  //
                          in + "d.gif\t" + out + "d-004-15x10.PNG\n" +  //
                          in + "e.tga\t" + out + "e-005-9x5.PNG\n");
  EXPECT_FALSE(std::filesystem::exists(out)) << "a dry run writes nothing";

  options.insert(options.end(), {"--quiet", "-o", out, in});
  ASSERT_EQ(test::runBatch(options).status, 0);
  EXPECT_EQ(namesIn(out), (std::set<std::string>{"a-001-50x25.PNG", "b-002-20x40.PNG", "c-003-32x24.PNG",
                                                 "d-004-15x10.PNG", "e-005-9x5.PNG"}));
}

TEST_F(DryRun, SizesFollowTheResizeMode) {
  test::BatchResult fit = dry({"--resize", "50x50", "--rename", "[W]x[H]_[N]"});
  EXPECT_NE(fit.output.find(out + "50x25_a\n"), std::string::npos) << fit.output;
  test::BatchResult crop = dry({"--resize", "40x40", "--crop", "--rename", "[W]x[H]_[N]"});
  EXPECT_NE(crop.output.find(out + "40x40_a\n"), std::string::npos) << crop.output;
  test::BatchResult stretch = dry({"--stretch", "7x9", "--rename", "[W]x[H]_[N]"});
  EXPECT_NE(stretch.output.find(out + "7x9_a\n"), std::string::npos) << stretch.output;
}

TEST_F(DryRun, AutomaticFormatNamesBothCandidatesExceptForJpegSources) {
  test::BatchResult r = dry({"-f", "auto", "--no-rename"});
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.output.find(in + "a.bmp\t" + out + "a.JPG\t" + out + "a.PNG\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find(in + "c.jpg\t" + out + "c.JPG\n"), std::string::npos) << r.output;
}

TEST_F(DryRun, UniqueNamesAndKeptFoldersAreTheNamesARunWrites) {
  std::filesystem::create_directories(in + "sub");
  test::writeBytes(in + "sub/a.bmp", codecs::encodeBmp(test::patternImage(10, 10)));
  for (const auto& [option, second] :
       {std::pair<std::string, std::string>{"--unique", "a (2).BMP"}, {"--keep-folders", "sub/a.BMP"}}) {
    std::vector<std::string> options = {"-f", "bmp", "--no-rename", "-j", "1", option};
    test::BatchResult r = dry(options);
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find(in + "a.bmp\t" + out + "a.BMP\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(in + "sub/a.bmp\t" + out + second + "\n"), std::string::npos) << r.output;
    std::string written = test::makeTempDir("dry-run-out");
    options.insert(options.end(), {"--quiet", "-o", written, in});
    ASSERT_EQ(test::runBatch(options).status, 0);
    EXPECT_TRUE(std::filesystem::exists(written + "a.BMP"));
    EXPECT_TRUE(std::filesystem::exists(written + second)) << option;
  }
}

TEST_F(DryRun, ReadsOnlyTheHeaderAndOnlyWhenTheMaskNeedsTheSize) {
  // A bitmap cut off after its header still has a size; a decode of it would fail.
  std::vector<uint8_t> bmp = codecs::encodeBmp(test::patternImage(30, 10));
  bmp.resize(60);
  std::string only = test::makeTempDir("dry-cut");
  test::writeBytes(only + "cut.bmp", bmp);
  test::writeText(only + "junk.png", "not a picture");
  auto run = [&](const std::string& mask) {
    return test::runCommand(test::batchCommand({"--dry-run", "--rename", mask, "-o", out, only}) + " 2>&1");
  };
  test::BatchResult sized = run("[N]_[W]");
  EXPECT_EQ(sized.status, 1);
  EXPECT_NE(sized.output.find(only + "cut.bmp\t" + out + "cut_30\n"), std::string::npos) << sized.output;
  // The file without a header gets the decoder's words, as in a run.
  EXPECT_NE(sized.output.find("brevane-batch: " + only + "junk.png: "), std::string::npos) << sized.output;

  test::BatchResult unsized = run("[N]_[C]");
  EXPECT_EQ(unsized.status, 0) << unsized.output;
  EXPECT_NE(unsized.output.find(only + "junk.png\t" + out + "junk_002\n"), std::string::npos) << unsized.output;
}

TEST(BatchPaths, PathsThatCannotBeConvertedGetTheSystemsWords) {
  std::string in = test::makeTempDir("paths"), out = test::makeTempDir("paths-out");
  chmod(out.c_str(), 0777);
  test::writeBytes(in + "good.bmp", codecs::encodeBmp(test::patternImage(8, 8)));
  ASSERT_EQ(mkfifo((in + "pipe.png").c_str(), 0644), 0);
  test::writeBytes(in + "locked.bmp", codecs::encodeBmp(test::patternImage(8, 8)));
  chmod((in + "locked.bmp").c_str(), 0);
  std::filesystem::create_directories(in + "closed");
  chmod((in + "closed").c_str(), 0);
  // Root reads everything: the permission cases run as an unprivileged user then.
  std::vector<std::string> prefix;
  bool permissions = true;
  if (geteuid() == 0) {
    permissions = access("/usr/bin/setpriv", X_OK) == 0;
    if (permissions) prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  }
  // "missing" has no extension: a decoder would only have said that it knows none.
  test::BatchResult r =
      test::runCommand(test::batchCommand({"--quiet", "--no-rename", "-o", out, in + "good.bmp", in + "missing",
                                           in + "pipe.png", in + "locked.bmp", in + "closed"},
                                          prefix) +
                       " 2>&1");
  chmod((in + "closed").c_str(), 0755);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("AFO:" + in + "missing: No such file or directory\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("AFO:" + in + "pipe.png: Not a regular file\n"), std::string::npos) << r.output;
  if (permissions) {
    EXPECT_NE(r.output.find("AFO:" + in + "locked.bmp: Permission denied\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("brevane-batch: cannot read folder " + in + "closed/: Permission denied\n"),
              std::string::npos)
        << r.output;
  }
  EXPECT_EQ(r.output.find("Unknown picture file extension"), std::string::npos) << r.output;
  // The file that can be converted still is.
  EXPECT_TRUE(std::filesystem::exists(out + "good.JPG"));
  if (!permissions) GTEST_SKIP() << "running as root without setpriv: the permission cases were not checked";
}

}  // namespace
}  // namespace brevane
