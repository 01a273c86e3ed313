// Settings.ini as a whole: defaults of a first start, ranges, the font string, placement,
// the save order and the failure rule.
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "base/ini_syntax.h"
#include "base/platform.h"
#include "settings/settings_keys.h"
#include "support/test_support.h"

namespace brevane::settings {
namespace {

Environment testEnvironment() {
  Environment env;
  env.cpuCount = 8;
  env.screenWidth = 1600;
  env.screenHeight = 900;
  env.programFolder = "/opt/brevane/";
  env.homeFolder = "/home/u";
  env.now = LocalDateTime{2025, 6, 1, 12, 0, 0, 0};
  env.dateFormat.shortDate = "%Y/%m/%d";
  env.dateFormat.dateSeparator = '-';
  return env;
}

TEST(SettingsStore, FirstStartWithoutFileHasEveryDefault) {
  Environment env = testEnvironment();
  std::string dir = test::makeTempDir("store");
  IniFile ini(dir + "Settings.ini");
  AppSettings s = loadSettings(ini, env);
  const TConversionSettings& c = s.conversion;
  EXPECT_EQ(c.Threads, 8);
  EXPECT_EQ(c.JPG_quality, 85);
  EXPECT_EQ(c.J2K_quality, 75);
  EXPECT_EQ(c.PNG_compression, 9);
  EXPECT_EQ(c.Output_path, "/home/u/brv-output/");
  EXPECT_EQ(c.Img_path, "/opt/brevane/watermark.png");
  EXPECT_EQ(c.Rename_mask, "[N]_[C]_[W]x[H][E]");
  EXPECT_EQ(c.Watermark_text_mask, "[D] - [T]");
  EXPECT_EQ(c.Resize_width, 1600);
  EXPECT_EQ(c.Resize_height, 900);
  EXPECT_EQ(c.Resize_percent, 50);
  EXPECT_EQ(c.Counter_length, 3);
  EXPECT_EQ(c.Text_opacity, 75);
  EXPECT_EQ(c.Text_position, 6);
  EXPECT_EQ(c.Img_position, 6);
  EXPECT_EQ(c.Resampling_filter, 5);
  EXPECT_EQ(c.Selected_mode, 0);
  EXPECT_TRUE(c.Text_Shadow && c.Resize_proportional && c.Rename_enabled && c.Exif && c.Png_filter);
  EXPECT_FALSE(c.JPG_progressive || c.Auto_format || c.Overwrite || c.SmartCrop_enable || c.Img_watermark_enabled ||
               c.EnlargeIfSmall || c.Png_interlace || c.J2K_Lossless || c.Watermark_enable);
  EXPECT_EQ(c.Text_Font, FontChoice{});
  EXPECT_EQ(s.Language, "English");
  EXPECT_EQ(s.LastUpdate.year, 2025);  // now: a first start never prompts for an update
  EXPECT_EQ(s.LastUpdate.hour, 12);
  EXPECT_EQ(s.AllProcessedBytes, 0);
  EXPECT_EQ(s.AllProcessedFiles, 0);
  EXPECT_EQ(s.placement, (WindowPlacement{350, 176, 900, 548, false}));
  EXPECT_FALSE(fileExists(dir + "Settings.ini"));
}

struct RangeCase {
  const char* key;
  const char* text;
  int expected;
};

class StoredValueTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(StoredValueTest, IsBroughtIntoTheControlsRange) {
  Environment env = testEnvironment();
  std::string dir = test::makeTempDir("store");
  test::writeText(dir + "Settings.ini", std::string("[Settings]\n") + GetParam().key + "=" + GetParam().text + "\n");
  IniFile ini(dir + "Settings.ini");
  AppSettings s = loadSettings(ini, env);
  EXPECT_EQ(std::get<int32_t>(settingsValueOf(s, *findSettingsKey(GetParam().key))), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Keys, StoredValueTest,
                         ::testing::Values(RangeCase{"Threads", "64", 8}, RangeCase{"Threads", "0", 1},
                                           RangeCase{"JPG_quality", "0", 1}, RangeCase{"PNG_compression", "12", 9},
                                           RangeCase{"Resize_width", "-5", 1}, RangeCase{"Resize_percent", "$1F", 31},
                                           RangeCase{"Counter_length", "0x10", 10},
                                           RangeCase{"Text_opacity", "abc", 75}, RangeCase{"Output_format", "9", 0},
                                           RangeCase{"Text_position", "-1", 6}, RangeCase{"Resampling_filter", "3", 3},
                                           RangeCase{"Selected_mode", "2", 2}, RangeCase{"Selected_mode", "3", 0}));

struct FontCase {
  const char* text;
  FontChoice expected;
};

class FontStringTest : public ::testing::TestWithParam<FontCase> {};

TEST_P(FontStringTest, ChangesOnlyCompleteNumericFields) {
  FontChoice font;  // Times New Roman, 204, white, 26, no style
  applyFontString(font, GetParam().text);
  EXPECT_EQ(font, GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Cases, FontStringTest,
                         ::testing::Values(FontCase{"Arial,0,255,12,3", {"Arial", 0, 255, 12, 3}},
                                           // A field counts only when a comma follows it: size and style stay.
                                           FontCase{"Arial,0,255,12", {"Arial", 0, 255, 26, 0}},
                                           FontCase{"Arial", {"Times New Roman", 204, 0xFFFFFF, 26, 0}},
                                           FontCase{",,,,", {"Times New Roman", 204, 0xFFFFFF, 26, 0}},
                                           FontCase{"", {"Times New Roman", 204, 0xFFFFFF, 26, 0}},
                                           FontCase{" Courier New , 161 , -16777201 , 14 , 9 ",
                                                    {"Courier New", 161, -16777201, 14, 9}},
                                           FontCase{"Arial,x,255,,2", {"Arial", 204, 255, 26, 2}},
                                           // The fifth field is all the rest.
                                           FontCase{"Arial,1,2,3,4,5", {"Arial", 1, 2, 3, 0}}));

TEST(FontString, RoundTripsThroughTheFile) {
  std::string dir = test::makeTempDir("store");
  IniFile ini(dir + "Settings.ini");
  FontChoice written{"DejaVu Sans", 0, -2147483647 - 1, 40, 5};
  writeFont(ini, kFontSection, written);
  FontChoice read;
  readFont(ini, kFontSection, read);
  EXPECT_EQ(read, written);
}

struct PlacementCase {
  const char* name;
  WindowPlacement stored;
  WindowPlacement expected;
};

class PlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PlacementTest, FitsTheStoredRectangle) {
  EXPECT_EQ(fitPlacement(GetParam().stored, 1920, 1080), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlacementTest,
    ::testing::Values(PlacementCase{"Inside", {10, 20, 1000, 700, true}, {10, 20, 1000, 700, true}},
                      PlacementCase{"NegativeKept", {-8, -20, 900, 548, false}, {-8, -20, 900, 548, false}},
                      PlacementCase{"RightEdgeBeyond", {1000, 0, 1000, 600, false}, {460, 240, 1000, 600, false}},
                      PlacementCase{"BottomEdgeBeyond", {0, 600, 901, 549, false}, {510, 266, 901, 549, false}},
                      PlacementCase{"SecondMonitor", {2000, 100, 900, 548, false}, {510, 266, 900, 548, false}},
                      PlacementCase{"BelowMinimumSize", {0, 0, 100, 50, false}, {0, 0, 764, 423, false}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Placement, EachResolutionKeepsItsOwn) {
  std::string dir = test::makeTempDir("store");
  IniFile ini(dir + "Settings.ini");
  writePlacement(ini, 1920, 1080, {100, 50, 1200, 800, false});
  EXPECT_EQ(placementSection(1920, 1080), "Form_pos_1920x1080");
  EXPECT_EQ(readPlacement(ini, 1920, 1080), (WindowPlacement{100, 50, 1200, 800, false}));
  // A resolution never seen before takes the centred default.
  EXPECT_EQ(readPlacement(ini, 1280, 1024), (WindowPlacement{190, 238, 900, 548, false}));
  // Closing maximized keeps the normal rectangle and records the state.
  writePlacement(ini, 1920, 1080, {0, 0, 1920, 1080, true});
  EXPECT_EQ(readPlacement(ini, 1920, 1080), (WindowPlacement{100, 50, 1200, 800, true}));
}

// A value as text; dates by their date part, which is all the file keeps.
std::string shown(const SettingsValue& v) {
  if (const auto* i = std::get_if<int32_t>(&v)) return std::to_string(*i);
  if (const auto* n = std::get_if<int64_t>(&v)) return std::to_string(*n);
  if (const auto* b = std::get_if<bool>(&v)) return *b ? "true" : "false";
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  const auto& d = std::get<LocalDateTime>(v);
  return std::to_string(d.year) + "-" + std::to_string(d.month) + "-" + std::to_string(d.day);
}

AppSettings changedState(const Environment& env) {
  AppSettings s = AppSettings::defaults(env);
  TConversionSettings& c = s.conversion;
  c.Threads = 3;
  c.JPG_quality = 70;
  c.Auto_format = true;
  c.Output_path = "/home/u/Фото/out\\x/";
  c.Rename_mask = "[N]_=;[C]";
  c.Output_format = 4;
  c.WEBP_quality = 55;
  c.WEBP_Lossless = true;
  c.AVIF_quality = 33;
  c.AVIF_speed = 2;
  c.JXL_quality = 91;
  c.JXL_Lossless = true;
  c.Selected_mode = 2;
  c.Resize_percent = 150;
  c.Text_Font = {"Liberation Serif", 204, 255, 20, 3};
  c.Exif = false;
  c.Watermark_enable = true;
  c.Unique_names = true;
  c.JPG_target_kb = 500;
  s.Language = "Russian";
  s.LastUpdate = {2024, 12, 31, 23, 59, 0, 0};
  s.AllProcessedBytes = 123456;
  s.AllProcessedFiles = 77;
  s.Mainform_height = 640;
  s.placement = {40, 30, 1000, 600, false};
  return s;
}

TEST(SettingsStore, SaveThenLoadGivesTheSameState) {
  Environment env = testEnvironment();
  std::string dir = test::makeTempDir("store");
  IniFile ini(dir + "Settings.ini");
  AppSettings saved = changedState(env);
  SaveOutcome out = saveSettings(ini, saved, env);
  ASSERT_TRUE(out.saved) << out.reason;
  AppSettings loaded = loadSettings(ini, env);
  for (const SettingsKey& key : settingsKeys()) {
    if (key.name == "Mainform_height") continue;  // written only
    EXPECT_EQ(shown(settingsValueOf(saved, key)), shown(settingsValueOf(loaded, key))) << key.name;
  }
  EXPECT_EQ(loaded.conversion.Text_Font, saved.conversion.Text_Font);
  EXPECT_EQ(loaded.placement, saved.placement);
  EXPECT_EQ(ini.readInteger("Settings", "Mainform_height", 0), 640);
}

TEST(SettingsStore, SaveWritesInTheSaveOrder) {
  Environment env = testEnvironment();
  std::string dir = test::makeTempDir("store");
  IniFile ini(dir + "Settings.ini");
  ASSERT_TRUE(saveSettings(ini, changedState(env), env).saved);
  // Keys are appended in the order they are first written, so the file shows the order.
  std::vector<uint8_t> bytes = test::readBytes(dir + "Settings.ini");
  std::string text(bytes.begin(), bytes.end()), names;
  for (std::string_view line : splitIniLines(text)) {
    IniLine l = classifyIniLine(line);
    names += (l.kind == IniLineKind::kSection ? "[" + std::string(l.name) + "]" : std::string(l.name)) + " ";
  }
  EXPECT_EQ(names,
            "[Settings] Threads JPG_quality J2K_quality JPG_progressive Auto_format Overwrite SmartCrop_enable "
            "Text_Shadow PNG_compression Output_path Rename_mask Watermark_text_mask Language Output_format "
            "Text_position Img_position Img_path Img_watermark_enabled Text_opacity Resampling_filter Mainform_height "
            "Selected_mode Resize_width Resize_height Resize_percent Counter_length LastUpdateDate Resize_proportional "
            "Rename_enabled Exif EnlargeIfSmall Png_interlace Png_filter J2K_Lossless Watermark_enable "
            "AllProcessedBytes AllProcessedFiles WEBP_quality WEBP_Lossless AVIF_quality AVIF_speed JXL_quality "
            "JXL_Lossless Auto_rotate Keep_icc Convert_srgb Strip_private Strip_metadata "
            "Unique_names Keep_folders JPG_target_kb [Text_Font] Font "
            "[Form_pos_1600x900] X Y Width Height Maximized ");
  EXPECT_EQ(ini.readString("Settings", "LastUpdateDate", ""), "2024-12-31");
}

TEST(SettingsStore, EveryTableKeyIsLoadedAndSaved) {
  std::vector<std::string_view> loaded, saved;
  for (const SettingsStep& s : loadSequence())
    if (s.kind == StepKind::kKey) loaded.push_back(s.key);
  for (const SettingsStep& s : saveSequence())
    if (s.kind == StepKind::kKey) saved.push_back(s.key);
  EXPECT_EQ(saved.size(), settingsKeys().size());
  EXPECT_EQ(loaded.size(), settingsKeys().size() - 1);  // all but Mainform_height
  for (const SettingsKey& k : settingsKeys()) {
    EXPECT_EQ(std::count(saved.begin(), saved.end(), k.name), 1) << k.name;
    EXPECT_EQ(std::count(loaded.begin(), loaded.end(), k.name), k.name == "Mainform_height" ? 0 : 1) << k.name;
  }
}

// A writer that lets `allowed` writes through and then fails like a read-only file.
struct FailingWriter {
  int allowed;
  std::shared_ptr<int> count = std::make_shared<int>(0);
  void operator()(const std::string& path, std::span<const uint8_t> bytes) const {
    if ((*count)++ >= allowed) throw Error("Permission denied");
    writeSettingsBytes(path, bytes);
  }
};

TEST(SettingsStore, FailingWriteEndsTheSaveAtThatKey) {
  Environment env = testEnvironment();
  std::string dir = test::makeTempDir("store");
  AppSettings state = changedState(env);

  state.Language = "English";
  IniFile first(dir + "a.ini", FailingWriter{0});
  SaveOutcome out = saveSettings(first, state, env);
  EXPECT_FALSE(out.saved);
  EXPECT_EQ(out.failedKey, "Threads");
  EXPECT_EQ(out.message.text, "Unable to save settings.");
  EXPECT_EQ(out.message.caption, "Error");
  EXPECT_FALSE(fileExists(dir + "a.ini"));

  state.Language = "Russian";
  IniFile third(dir + "b.ini", FailingWriter{2});
  out = saveSettings(third, state, env);
  EXPECT_EQ(out.failedKey, "J2K_quality");
  EXPECT_EQ(out.message.text, "Невозможно сохранить настройки.");
  EXPECT_EQ(out.message.caption, "Ошибка");
  EXPECT_EQ(third.readInteger("Settings", "JPG_quality", 0), 70);
  EXPECT_EQ(third.value("Settings", "J2K_quality"), std::nullopt);
  EXPECT_EQ(third.value("Settings", "AllProcessedFiles"), std::nullopt);

  // The comparison with "Russian" is exact.
  EXPECT_EQ(saveFailureMessage("russian").text, "Unable to save settings.");
}

TEST(SettingsStore, SettingsFolderThatIsAFileFailsTheSave) {
  Environment env = testEnvironment();
  std::string dir = test::makeTempDir("store");
  test::writeText(dir + "Brevane", "");
  IniFile ini(dir + "Brevane/Settings.ini");
  SaveOutcome out = saveSettings(ini, AppSettings::defaults(env), env);
  EXPECT_FALSE(out.saved);
  EXPECT_EQ(out.failedKey, "Threads");
}

TEST(SettingsStore, SettingsFolderFollowsXdgConfigHome) {
  EXPECT_EQ(settingsFolderFor("/xdg/conf/", "/home/u"), "/xdg/conf/Brevane/");
  EXPECT_EQ(settingsFolderFor(nullptr, "/home/u"), "/home/u/.config/Brevane/");
  EXPECT_EQ(settingsFolderFor("", "/home/u"), "/home/u/.config/Brevane/");
  EXPECT_EQ(settingsFolderFor("relative/conf", "/home/u"), "/home/u/.config/Brevane/");
}

TEST(ConversionKeys, SetOptionsUseTheSameRanges) {
  TConversionSettings s;
  EXPECT_EQ(applySettingsKey(s, "jpg_quality", "500"), ApplyResult::kApplied);
  EXPECT_EQ(s.JPG_quality, 100);
  EXPECT_EQ(applySettingsKey(s, "Output_format", "9"), ApplyResult::kMalformed);
  EXPECT_EQ(applySettingsKey(s, "Exif", "yes"), ApplyResult::kMalformed);
  EXPECT_EQ(applySettingsKey(s, "Language", "Russian"), ApplyResult::kIgnored);
  EXPECT_EQ(applySettingsKey(s, "NoSuchKey", "1"), ApplyResult::kUnknownKey);
  EXPECT_EQ(applySettingsKey(s, "Selected_mode", "7"), ApplyResult::kApplied);
  EXPECT_EQ(s.Selected_mode, 0);
}

}  // namespace
}  // namespace brevane::settings
