// The option pages' rules: the resize enable table, presets, list indexes, variable menus.
#include "settings/option_rules.h"

#include <gtest/gtest.h>

#include <set>

#include "codecs/output_formats.h"
#include "i18n/lang_keys.h"

namespace brevane::settings {
namespace {

struct EnableCase {
  int mode;
  bool proportional;
  ResizeEnable expected;
};

class ResizeEnableRule : public ::testing::TestWithParam<EnableCase> {};

TEST_P(ResizeEnableRule, FollowsModeAndProportions) {
  EXPECT_EQ(resizeEnable(GetParam().mode, GetParam().proportional), GetParam().expected);
}

// Fields: width/height, percent, proportions, enlarge, smart crop.
INSTANTIATE_TEST_SUITE_P(Table, ResizeEnableRule,
                         ::testing::Values(EnableCase{kNoResize, true, {false, false, false, false, false}},
                                           EnableCase{kChangeSize, true, {true, false, true, true, true}},
                                           EnableCase{kChangeSize, false, {true, false, true, true, false}},
                                           EnableCase{kChangeSizePercent, true, {false, true, false, false, false}},
                                           EnableCase{kChangeSizePercent, false, {false, true, false, false, false}},
                                           // A stored mode outside 0-2 selects no button: the window stays as designed.
                                           EnableCase{3, true, {false, false, false, false, false}}));

TEST(OptionRules, ValueLabels) {
  EXPECT_EQ(percentLabel(85), "85%");
  EXPECT_EQ(percentLabel(1), "1%");
  EXPECT_EQ(plainLabel(9), "9");
  EXPECT_EQ(plainLabel(0), "0");
}

// The window's format list is indexed by Output_format: one entry per row of the format table.
TEST(OptionRules, FormatListHasAnEntryPerOutputFormat) {
  EXPECT_EQ(outputFormatNames().size(), codecs::outputFormats().size());
  EXPECT_EQ(outputFormatNames()[static_cast<size_t>(codecs::OutputFormat::kJxl)], "JPEG XL");
}

TEST(OptionRules, PresetChoiceSetsTheSizeOfAnEntryButNotOfTheFirst) {
  EXPECT_FALSE(presetChoice(0, "--"));
  EXPECT_FALSE(presetChoice(-1, "1920x1080"));
  auto s = presetChoice(21, "1920x1080 ( 16:9 ) 2.07 M");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->width, 1920);
  EXPECT_EQ(s->height, 1080);
  EXPECT_FALSE(presetChoice(3, "not a size"));
}

TEST(OptionRules, ReTextedListKeepsItsIndexWhileItExists) {
  EXPECT_EQ(keptListIndex(5, 7), 5);
  EXPECT_EQ(keptListIndex(6, 7), 6);
  EXPECT_EQ(keptListIndex(6, 5), -1);  // a shorter list: nothing selected
  EXPECT_EQ(keptListIndex(0, 1), 0);   // the single "string not found" item
  EXPECT_EQ(keptListIndex(-1, 7), -1);
}

// Every item of both menus is named by a component the language file texts, tokens are
// exactly the variables of the masks, and no component name is used twice.
TEST(OptionRules, VariableMenusInsertTheMaskVariables) {
  std::set<std::string> textKeys;
  for (const i18n::WindowTextKey& k : i18n::windowTextKeys())
    if (k.window == i18n::kMainWindow && k.part == i18n::ElementPart::kCaption)
      textKeys.insert(std::string(k.component));

  std::vector<std::string> textTokens, renameTokens;
  std::set<std::string> components;
  std::function<void(const std::vector<VariableMenuItem>&, std::vector<std::string>&)> walk =
      [&](const std::vector<VariableMenuItem>& items, std::vector<std::string>& tokens) {
        for (const VariableMenuItem& item : items) {
          if (item.isSeparator()) continue;
          EXPECT_TRUE(textKeys.count(std::string(item.component))) << item.component;
          EXPECT_TRUE(components.insert(std::string(item.component)).second) << item.component;
          if (!item.token.empty()) tokens.emplace_back(item.token);
          walk(item.submenu, tokens);
        }
      };
  walk(textMaskMenu(), textTokens);
  walk(renameMaskMenu(), renameTokens);
  EXPECT_EQ(textTokens, (std::vector<std::string>{"[D]", "[T]", "[FCD]", "[FCT]", "[N]", "[E]", "[W]", "[H]", "[C]",
                                                  "[ED]", "[ET]", "\u00A9", "\u00AE", "\u2122"}));
  EXPECT_EQ(renameTokens,
            (std::vector<std::string>{"[N]", "[E]", "[W]", "[H]", "[T]", "[D]", "[C]", "[FCD]", "[FCT]"}));
  // Separators after [T], [FCT], [C] and [ET]; the rename menu has none.
  std::vector<std::string> before;
  const auto& menu = textMaskMenu();
  for (size_t i = 1; i < menu.size(); ++i)
    if (menu[i].isSeparator()) before.emplace_back(menu[i - 1].token);
  EXPECT_EQ(before, (std::vector<std::string>{"[T]", "[FCT]", "[C]", "[ET]"}));
  for (const VariableMenuItem& item : renameMaskMenu()) EXPECT_FALSE(item.isSeparator());
}

}  // namespace
}  // namespace brevane::settings
