// brevane-batch's plain options against their --set twins, their refusals, --settings app and
// the record a run starts from.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "base/paths.h"
#include "batch_runner.h"
#include "codecs/encoders.h"
#include "codecs/registry.h"
#include "settings/settings_store.h"
#include "support/test_support.h"

namespace brevane {
namespace {

// Every file of a folder with its bytes.
std::map<std::string, std::vector<uint8_t>> contents(const std::string& dir) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    files[e.path().filename().string()] = test::readBytes(e.path().string());
  return files;
}

struct TwinCase {
  const char* name;
  std::vector<std::string> plain;
  std::vector<std::string> sets;  // KEY=VALUE, each given with --set
  bool blocked = false;           // a file is in the way of the output
};

class PlainOptionTwin : public ::testing::TestWithParam<TwinCase> {};

TEST_P(PlainOptionTwin, WritesTheSameBytesAsItsSetTwin) {
  std::string in = test::makeTempDir("twin-in");
  test::writeBytes(in + "pic.bmp", codecs::encodeBmp(test::patternImage(120, 80)));
  Bitmap mark(20, 10, 24);
  mark.fill(250);
  test::writeBytes(in + "mark.bmp", codecs::encodeBmp(mark));
  // JPEG outputs are written without Exif on both sides: the block holds the time of writing.
  std::vector<std::string> base = {"--quiet", "--set", "Output_format=1", "--set", "Rename_enabled=0"};
  auto runWith = [&](std::vector<std::string> args) {
    std::string out = test::makeTempDir("twin-out");
    if (GetParam().blocked) test::writeText(out + "pic.PNG", "old");
    args.insert(args.begin(), base.begin(), base.end());
    args.insert(args.end(), {"-o", out, in + "pic.bmp"});
    for (std::string& a : args)
      if (size_t at = a.find("MARK"); at != std::string::npos) a.replace(at, 4, in + "mark.bmp");
    test::BatchResult r = test::runBatch(args);
    EXPECT_EQ(r.status, 0) << r.output;
    return contents(out);
  };
  std::vector<std::string> twin;
  for (const std::string& s : GetParam().sets) twin.insert(twin.end(), {"--set", s});
  auto plain = runWith(GetParam().plain);
  auto set = runWith(twin);
  EXPECT_EQ(plain, set);
  EXPECT_GE(plain.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    EveryOption, PlainOptionTwin,
    ::testing::Values(
        TwinCase{"Format", {"-f", "bmp"}, {"Output_format=2"}},
        TwinCase{"FormatJpegWithoutExif", {"--format", "jpg", "--no-exif"}, {"Output_format=0", "Exif=0"}},
        TwinCase{"FormatAuto", {"-f", "auto", "--no-exif"}, {"Auto_format=1", "Exif=0"}},
        TwinCase{"Quality", {"-f", "jpg", "-q", "40", "--no-exif"}, {"Output_format=0", "JPG_quality=40", "Exif=0"}},
        // The quality of JPEG 2000 output, whichever comes first.
        TwinCase{"QualityJp2", {"-q", "30", "-f", "jp2"}, {"Output_format=4", "J2K_quality=30"}},
        TwinCase{"Resize", {"--resize", "50x50"}, {"Selected_mode=1", "Resize_width=50", "Resize_height=50"}},
        TwinCase{"Stretch",
                 {"--stretch", "50x20"},
                 {"Selected_mode=1", "Resize_width=50", "Resize_height=20", "Resize_proportional=0"}},
        TwinCase{"Percent", {"--percent", "30"}, {"Selected_mode=2", "Resize_percent=30"}},
        TwinCase{"Crop",
                 {"--resize", "40x40", "--crop"},
                 {"Selected_mode=1", "Resize_width=40", "Resize_height=40", "SmartCrop_enable=1"}},
        TwinCase{"Enlarge",
                 {"--resize", "300x300", "--enlarge"},
                 {"Selected_mode=1", "Resize_width=300", "Resize_height=300", "EnlargeIfSmall=1"}},
        TwinCase{"Filter",
                 {"--percent", "30", "--filter", "Bell"},
                 {"Selected_mode=2", "Resize_percent=30", "Resampling_filter=3"}},
        TwinCase{"Rename", {"--rename", "x_[C]_[W]"}, {"Rename_enabled=1", "Rename_mask=x_[C]_[W]"}},
        TwinCase{"NoRename", {"--rename", "x", "--no-rename"}, {"Rename_mask=x", "Rename_enabled=0"}},
        TwinCase{"Text",
                 {"--text", "Hi [W]", "--text-position", "top-left"},
                 {"Watermark_enable=1", "Watermark_text_mask=Hi [W]", "Text_position=0"}},
        TwinCase{"Watermark",
                 {"--watermark", "MARK", "--watermark-position", "center"},
                 {"Img_watermark_enabled=1", "Img_path=MARK", "Img_position=3"}},
        TwinCase{"PhotoOptions",
                 {"--auto-rotate", "--srgb", "--strip-private", "--no-icc"},
                 {"Auto_rotate=1", "Convert_srgb=1", "Strip_private=1", "Keep_icc=0"}},
        TwinCase{"Strip", {"-f", "jpg", "--strip"}, {"Output_format=0", "Strip_metadata=1"}},
        TwinCase{"Overwrite", {"--overwrite"}, {"Overwrite=1"}, true}, TwinCase{"Threads", {"-j", "1"}, {"Threads=1"}},
        // -q and --lossless reach the keys of the format the options end with, in any order;
        // lossy outputs carry no Exif here: the block holds the time of writing.
        TwinCase{
            "QualityWebp", {"-q", "50", "-f", "webp", "--no-exif"}, {"Output_format=6", "WEBP_quality=50", "Exif=0"}},
        TwinCase{"LosslessWebp",
                 {"--lossless", "-f", "webp", "--no-exif"},
                 {"Output_format=6", "WEBP_Lossless=1", "Exif=0"}},
        TwinCase{"QualityAndSpeedAvif",
                 {"-f", "avif", "-q", "40", "--speed", "9", "--no-exif"},
                 {"Output_format=7", "AVIF_quality=40", "AVIF_speed=9", "Exif=0"}},
        TwinCase{"QualityJxl", {"-f", "jxl", "-q", "70", "--no-exif"}, {"Output_format=8", "JXL_quality=70", "Exif=0"}},
        TwinCase{
            "LosslessJxl", {"-f", "jxl", "--lossless", "--no-exif"}, {"Output_format=8", "JXL_Lossless=1", "Exif=0"}},
        TwinCase{"LosslessJp2", {"--lossless", "-f", "jp2"}, {"Output_format=4", "J2K_Lossless=1"}},
        TwinCase{"Unique", {"--unique"}, {"Unique_names=1"}, true},
        TwinCase{"KeepFolders", {"--keep-folders"}, {"Keep_folders=1"}},
        TwinCase{"MaxSize", {"-f", "jpg", "--max-size", "3k", "--no-exif"}, {"Output_format=0", "JPG_target_kb=3", "Exif=0"}},
        TwinCase{"TargetKb",
                 {"-f", "jpg", "--target-kb", "3", "--no-exif"},
                 {"Output_format=0", "JPG_target_kb=3", "Exif=0"}},
        TwinCase{
            "AttachedValues", {"--format=gif", "-q90", "-j1"}, {"Output_format=3", "JPG_quality=90", "Threads=1"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
  const char* name;
  std::vector<std::string> args;
  std::vector<std::string> said;  // fragments of the message
};

class Refusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusal, ExitsTwoNamingTheKeyTheValueAndWhatItTakes) {
  std::string in = test::makeTempDir("bad-in"), out = test::makeTempDir("bad-out");
  test::writeBytes(in + "pic.bmp", codecs::encodeBmp(test::patternImage(8, 8)));
  std::vector<std::string> args = GetParam().args;
  args.insert(args.begin(), {"-o", out, in + "pic.bmp"});
  test::BatchResult r = test::runBatch(args);
  EXPECT_EQ(r.status, 2);
  for (const std::string& s : GetParam().said) EXPECT_NE(r.output.find(s), std::string::npos) << s << "\n" << r.output;
  EXPECT_TRUE(std::filesystem::is_empty(out));
}

INSTANTIATE_TEST_SUITE_P(
    BadValues, Refusal,
    ::testing::Values(
        RefusalCase{"Quality", {"-q", "0"}, {"JPG_quality", "'0'", "a whole number from 1 to 100"}},
        RefusalCase{"QualityWord", {"--quality", "best"}, {"JPG_quality", "'best'", "from 1 to 100"}},
        RefusalCase{"Format",
                    {"-f", "heic"},
                    {"Output_format", "'heic'", "jpg, png, bmp, gif, jp2, tga, webp, avif, jxl or auto"}},
        // The quality is checked against the key of the format in effect, and named by it.
        RefusalCase{"QualityOfWebp", {"-q", "101", "-f", "webp"}, {"WEBP_quality", "'101'", "from 1 to 100"}},
        RefusalCase{"Speed", {"-f", "avif", "--speed", "11"}, {"AVIF_speed", "'11'", "a whole number from 0 to 10"}},
        RefusalCase{"LosslessAvif",
                    {"--lossless", "-f", "avif"},
                    {"--lossless needs the output format jp2, webp or jxl (the format is avif)"}},
        RefusalCase{"LosslessAuto", {"-f", "auto", "--lossless"}, {"(the format is auto)"}},
        RefusalCase{"ResizeWithoutHeight", {"--resize", "800"}, {"Resize_width", "'800'", "WIDTHxHEIGHT"}},
        RefusalCase{"StretchZero", {"--stretch", "0x10"}, {"Resize_height", "'0x10'", "from 1 to 99999"}},
        RefusalCase{"Percent", {"--percent", "201"}, {"Resize_percent", "'201'", "from 1 to 200"}},
        RefusalCase{"Filter", {"--filter", "cubic"}, {"Resampling_filter", "'cubic'", "lanczos3 or mitchell"}},
        RefusalCase{"TextPosition", {"--text-position", "middle"}, {"Text_position", "'middle'", "bottom-right"}},
        RefusalCase{"WatermarkPosition", {"--watermark-position", "up"}, {"Img_position", "'up'", "top-left"}},
        RefusalCase{"Threads", {"-j", "0"}, {"Threads", "'0'", "a whole number from 1 to"}},
        RefusalCase{"MaxSize", {"--max-size", "5q"}, {"JPG_target_kb", "'5q'", "a size such as 500k or 2m"}},
        RefusalCase{"MaxSizeTooLarge", {"--max-size", "1000m"}, {"JPG_target_kb", "'1000m'", "at most 999999k"}},
        RefusalCase{"TargetKb", {"--target-kb", "-1"}, {"JPG_target_kb", "'-1'", "a whole number from 0 to 999999"}},
        RefusalCase{"SetBoolean", {"--set", "Exif=yes"}, {"Exif", "'yes'", "1 (on) or 0 (off)"}},
        RefusalCase{"SetList", {"--set", "Output_format=9"}, {"Output_format", "'9'", "0 to 8", "4 JP2", "8 JXL"}},
        RefusalCase{"SetUnknownKey", {"--set", "Quality=5"}, {"unknown settings key 'Quality'"}},
        RefusalCase{"MissingValue", {"--format"}, {"--format needs a value (FORMAT)"}},
        RefusalCase{"SwitchWithValue", {"--crop=1"}, {"--crop takes no value"}},
        RefusalCase{"UnknownOption", {"--colour"}, {"unknown option '--colour'"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BatchVersion, PrintsTheProgramVersion) {
  test::BatchResult r = test::runBatch({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, std::string("brevane-batch ") + BREVANE_VERSION_STRING + "\n");
}

// The settings file of the desktop program, found through XDG_CONFIG_HOME.
TEST(BatchSettingsApp, ReadsTheDesktopProgramsSettingsFile) {
  std::string config = test::makeTempDir("xdg"), in = test::makeTempDir("app-in"), out = test::makeTempDir("app-out");
  test::writeBytes(in + "pic.bmp", codecs::encodeBmp(test::patternImage(80, 40)));
  std::vector<std::string> env = {"env", "XDG_CONFIG_HOME=" + config};

  test::BatchResult missing = test::runBatchStderr({"--settings", "app", in}, env);
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.output.find(config + "Brevane/Settings.ini: No such file or directory"), std::string::npos)
      << missing.output;

  std::filesystem::create_directories(config + "Brevane");
  test::writeText(config + "Brevane/Settings.ini",
                  "[Settings]\nOutput_format=1\nRename_enabled=0\nSelected_mode=2\nResize_percent=25\n"
                  "Language=Russian\nOutput_path=" +
                      out + "\n");
  // Later options win over the file.
  test::BatchResult r =
      test::runCommand(test::batchCommand({"--settings", "app", "--quiet", "--percent", "50", in}, env) + " 2>&1");
  EXPECT_EQ(r.status, 0) << r.output;
  codecs::DecodedImage image = codecs::loadImage(out + "pic.PNG");
  EXPECT_EQ(image.width, 40);
  EXPECT_EQ(image.height, 20);
}

// Without options a run starts from what the desktop program shows at a first start.
TEST(BatchDefaults, RecordWithoutOptionsIsTheStoresFirstStartKeyByKey) {
  std::string config = test::makeTempDir("xdg-none");
  test::BatchResult r = test::runBatchStdout({"--print-settings"}, {"env", "XDG_CONFIG_HOME=" + config});
  ASSERT_EQ(r.status, 0);
  std::string dir = test::makeTempDir("printed");
  test::writeText(dir + "printed.ini", r.output);
  settings::IniFile printed(dir + "printed.ini");

  settings::Environment env = settings::Environment::current();
  env.programFolder = folderPart(BREVANE_BATCH_EXE);  // the watermark default is found from there
  settings::AppSettings store = settings::loadSettings(settings::IniFile(dir + "missing/Settings.ini"), env);
  for (const settings::SettingsKey& key : settings::settingsKeys()) {
    if (settings::isApplicationStateKey(key)) continue;
    EXPECT_EQ(printed.value(settings::kSettingsSection, key.name),
              settings::valueText(settings::settingsValueOf(store, key), env))
        << key.name;
  }
  EXPECT_EQ(printed.value(settings::kFontSection, settings::kFontKey),
            settings::fontString(store.conversion.Text_Font));
}

}  // namespace
}  // namespace brevane
