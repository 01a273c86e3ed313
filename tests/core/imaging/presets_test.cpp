// Preset sizes: the list, the parser, the decoration and the aspect text.
#include "imaging/presets.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace brevane::imaging {
namespace {

struct ParseCase {
  const char* entry;
  Size expected;
};

class PresetParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(PresetParse, WidthAndHeight) {
  EXPECT_EQ(parsePresetSize(GetParam().entry), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Entries, PresetParse,
                         ::testing::Values(ParseCase{"--", {-1, -1}}, ParseCase{"640x480", {640, 480}},
                                           ParseCase{"1024x600 ( \u224815:9 )  0,61 M", {1024, 600}},
                                           ParseCase{"640x480 ( 4:3 ) 0.31 M", {640, 480}},
                                           ParseCase{" 64 0 x 4 80 ", {640, 480}}, ParseCase{"1x2", {-1, -1}},
                                           ParseCase{"abcd", {-1, -1}}, ParseCase{"640x", {-1, -1}},
                                           ParseCase{"x480", {-1, -1}}, ParseCase{"640*480", {-1, -1}},
                                           ParseCase{"640x480x2", {-1, -1}}, ParseCase{"99999999999x1", {-1, -1}}));

struct DecorCase {
  const char* entry;
  char separator;
  const char* expected;
};

class PresetDecoration : public ::testing::TestWithParam<DecorCase> {};

TEST_P(PresetDecoration, Text) {
  EXPECT_EQ(decoratePreset(GetParam().entry, GetParam().separator), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, PresetDecoration,
    ::testing::Values(DecorCase{"640x480", '.', "640x480 ( 4:3 ) 0.31 M"},
                      DecorCase{"2560x1600", '.', "2560x1600 ( 8:5 ) 4.1 M"},
                      DecorCase{"1920x1080", ',', "1920x1080 ( 16:9 ) 2,07 M"},
                      DecorCase{"4096x2160", '.', "4096x2160 ( 256:135 ) 8.85 M"},
                      DecorCase{"120x90", '.', "120x90 ( 4:3 ) 0.01 M"},
                      DecorCase{"6400x4800", '.', "6400x4800 ( 4:3 ) 30.72 M"},
                      // Exactly half a hundredth: to the even neighbour.
                      DecorCase{"50x100", '.', "50x100 ( 1:2 ) 0 M"},
                      DecorCase{"150x100", '.', "150x100 ( 3:2 ) 0.02 M"}, DecorCase{"--", '.', "--"},
                      DecorCase{"1366x768 ( \u224816:9 ) 1,04 M", '.', "1366x768 ( \u224816:9 ) 1,04 M"}));

TEST(Presets, ListKeepsItsOrderAndDuplicate) {
  const auto& list = presetSizes();
  ASSERT_EQ(list.size(), 38u);
  EXPECT_EQ(list.front(), "--");
  EXPECT_EQ(list.back(), "7680x4800");
  EXPECT_EQ(std::count(list.begin(), list.end(), "1280x800"), 2);
  const auto decorated = decoratedPresetSizes('.');
  ASSERT_EQ(decorated.size(), list.size());
  EXPECT_EQ(decorated[21], "1920x1080 ( 16:9 ) 2.07 M");
  EXPECT_EQ(decorated[8], list[8]);
  EXPECT_EQ(decorated[0], "--");
}

TEST(Presets, AspectText) {
  EXPECT_EQ(aspectText(4096, 2160), "256:135");
  EXPECT_EQ(aspectText(1921, 1080), "1921:1080");
  EXPECT_EQ(aspectText(1280, 1024), "5:4");
  EXPECT_EQ(aspectText(0, 1080), "0:1080");  // no division by a zero divisor
}

}  // namespace
}  // namespace brevane::imaging
