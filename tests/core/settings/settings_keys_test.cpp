// The table of settings keys: its defaults are values of their keys and agree with the options
// record's own, the watermark default is found where the program is installed, and the
// strict check the plain options use.
#include "settings/settings_keys.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace brevane::settings {
namespace {

Environment machine(const std::string& programFolder = "/opt/brevane/bin/") {
  Environment env;
  env.cpuCount = 4;
  env.programFolder = programFolder;
  env.homeFolder = "/home/u";
  env.now = LocalDateTime{2025, 6, 1, 12, 0, 0, 0};
  return env;
}

TEST(SettingsKeys, EveryDefaultIsAValueOfItsKeyAndSurvivesItsText) {
  Environment env = machine();
  for (const SettingsKey& key : settingsKeys()) {
    SettingsValue def = defaultValue(key, env);
    std::string text = valueText(def, env);
    auto back = parseSettingsValue(key, text, env);
    ASSERT_TRUE(back.has_value()) << key.name;
    EXPECT_EQ(valueText(*back, env), text) << key.name;
    if (key.type != ValueType::kDate) {
      EXPECT_TRUE(takesValue(key, text, env)) << key.name << "=" << text;
    }
    EXPECT_FALSE(key.meaning.empty()) << key.name;
  }
}

// The options record's member defaults serve code that builds a record without the store
// (the engine's tests); they must say what the table says.
TEST(SettingsKeys, TheRecordsOwnDefaultsAgreeWithTheTable) {
  Environment env = machine();
  TConversionSettings record;
  for (const SettingsKey& key : settingsKeys()) {
    if (isApplicationStateKey(key) || key.defaultRule != DefaultRule::kText) continue;
    EXPECT_EQ(valueText(settingsValueOf(record, key), env), valueText(defaultValue(key, env), env)) << key.name;
  }
  FontChoice font;
  font.name = "x";
  applyFontString(font, kDefaultFontText);
  EXPECT_EQ(font, FontChoice{});
}

TEST(SettingsKeys, WatermarkDefaultIsFoundBesideTheProgramOrInItsShareFolder) {
  std::string root = test::makeTempDir("install");
  std::filesystem::create_directories(root + "bin");
  const SettingsKey& key = *findSettingsKey("Img_path");
  // Neither present: beside the program, where the window's file box points.
  EXPECT_EQ(std::get<std::string>(defaultValue(key, machine(root + "bin/"))), root + "bin/watermark.png");
  std::filesystem::create_directories(root + "share/brevane");
  test::writeText(root + "share/brevane/watermark.png", "png");
  EXPECT_EQ(std::get<std::string>(defaultValue(key, machine(root + "bin/"))),
            root + "bin/../share/brevane/watermark.png");
  EXPECT_EQ(AppSettings::defaults(machine(root + "bin/")).conversion.Img_path,
            root + "bin/../share/brevane/watermark.png");
  test::writeText(root + "bin/watermark.png", "png");
  EXPECT_EQ(std::get<std::string>(defaultValue(key, machine(root + "bin/"))), root + "bin/watermark.png");
}

struct ReadCase {
  const char* key;
  const char* text;
  const char* read;  // the value as the file reads it; "none" when it is malformed
};

class ReadValueTest : public ::testing::TestWithParam<ReadCase> {};

// The keys of the later writers are read like the others: sliders clamp, booleans take any
// number, and the output format list takes their indexes.
TEST_P(ReadValueTest, ReadsAsTheControlWouldShow) {
  const ReadCase& c = GetParam();
  auto v = parseSettingsValue(*findSettingsKey(c.key), c.text, machine());
  EXPECT_EQ(v ? valueText(*v, machine()) : "none", c.read) << c.key << "=" << c.text;
}

INSTANTIATE_TEST_SUITE_P(LaterWriters, ReadValueTest,
                         ::testing::Values(ReadCase{"WEBP_quality", "0", "1"}, ReadCase{"WEBP_quality", "250", "100"},
                                           ReadCase{"AVIF_quality", "-5", "1"}, ReadCase{"AVIF_speed", "-1", "0"},
                                           ReadCase{"AVIF_speed", "99", "10"}, ReadCase{"JXL_quality", "0x40", "64"},
                                           ReadCase{"JXL_Lossless", "7", "1"}, ReadCase{"WEBP_Lossless", "x", "none"},
                                           ReadCase{"Output_format", "6", "6"}, ReadCase{"Output_format", "8", "8"},
                                           ReadCase{"Output_format", "9", "none"}));

struct TakesCase {
  const char* key;
  const char* text;
  bool taken;
};

class TakesValueTest : public ::testing::TestWithParam<TakesCase> {};

TEST_P(TakesValueTest, TakesOnlyWhatTheControlWouldShow) {
  const TakesCase& c = GetParam();
  EXPECT_EQ(takesValue(*findSettingsKey(c.key), c.text, machine()), c.taken) << c.key << "=" << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, TakesValueTest,
    ::testing::Values(TakesCase{"JPG_quality", "100", true}, TakesCase{"JPG_quality", "101", false},
                      TakesCase{"JPG_quality", "0", false}, TakesCase{"JPG_quality", "0x20", true},
                      TakesCase{"JPG_quality", "9 0", false}, TakesCase{"PNG_compression", "0", true},
                      TakesCase{"Threads", "4", true}, TakesCase{"Threads", "5", false}, TakesCase{"Exif", "1", true},
                      TakesCase{"Exif", "2", false}, TakesCase{"Exif", "yes", false},
                      TakesCase{"Output_format", "8", true}, TakesCase{"Output_format", "9", false},
                      TakesCase{"WEBP_quality", "0", false}, TakesCase{"AVIF_speed", "0", true},
                      TakesCase{"AVIF_speed", "11", false}, TakesCase{"JXL_Lossless", "1", true},
                      TakesCase{"Selected_mode", "3", false}, TakesCase{"Rename_mask", "", true},
                      TakesCase{"AllProcessedBytes", "-7", true}));

}  // namespace
}  // namespace brevane::settings
