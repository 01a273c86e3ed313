// The progress dialog's values: size texts with their 1002 KiB threshold and the locale's
// separator, the output ratio, the labels that keep their text, the end of a run.
#include "engine/progress_view.h"

#include <gtest/gtest.h>

namespace brevane {
namespace {

struct SizeCase {
  int32_t in;
  int32_t out;
  char separator;
  const char* input;
  const char* output;  // nullptr: the label keeps its text
};

class ProgressSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ProgressSizes, RefreshShowsInputAndOutput) {
  const SizeCase& c = GetParam();
  ProgressSample s;
  s.processedbytes = c.in;
  s.outputbytes = c.out;
  ProgressTexts t = refreshTexts(s, c.separator);
  EXPECT_EQ(t.input, c.input);
  if (c.output) {
    ASSERT_TRUE(t.output.has_value());
    EXPECT_EQ(*t.output, c.output);
  } else {
    EXPECT_FALSE(t.output.has_value());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProgressSizes,
    ::testing::Values(SizeCase{1001, 0, '.', "1001 KiB", nullptr},  // KiB up to 1001, nothing written yet
                      SizeCase{1002, 0, '.', "0.98 MiB", nullptr},  // the threshold is 1002, not 1024
                      SizeCase{1002, 0, ',', "0,98 MiB", nullptr},  // the locale's separator
                      SizeCase{1000, 500, '.', "1000 KiB", "500 KiB (50%)"},
                      SizeCase{1536, 1001, '.', "1.5 MiB", "1001 KiB (65.17%)"},  // shortest form
                      SizeCase{2048, 1100, ',', "2 MiB", "1,07 MiB (53,71%)"},
                      SizeCase{0, 5, '.', "0 KiB", nullptr}));  // files below 1 KiB: no ratio

TEST(ProgressView, RefreshCountsFilesAndFollowsTheClockOnlyWhileReaping) {
  ProgressSample s;
  s.processed = 3;
  s.total = 10;
  s.workers = 2;
  s.elapsedMs = 61230;
  s.clockRunning = true;
  ProgressTexts running = refreshTexts(s, '.');
  EXPECT_EQ(running.position, 3);
  EXPECT_EQ(running.files, "3/10");
  EXPECT_EQ(running.workers, "2");
  EXPECT_EQ(running.seconds, "61.23 s");
  EXPECT_EQ(refreshTexts(s, ',', ProgressUnits{"КиБ", "МиБ", "с"}).seconds, "61,23 с");

  s.clockRunning = false;  // after the end the time keeps its end-of-run text
  EXPECT_FALSE(refreshTexts(s, '.').seconds.has_value());
}

TEST(ProgressView, SummaryUsesTheLanguageUnitsAndAlwaysShowsTheTime) {
  ProgressSample s;
  s.processed = 7;
  s.total = 7;
  s.processedbytes = 3072;
  s.outputbytes = 700;
  s.elapsedMs = 1500;
  ProgressUnits ru{"КиБ", "МиБ", "с"};
  ProgressTexts t = summaryTexts(s, ',', ru);
  EXPECT_EQ(t.input, "3 МиБ");
  EXPECT_EQ(t.output, "700 КиБ (22,79%)");
  EXPECT_EQ(t.seconds, "1,5 с");
  EXPECT_EQ(t.files, "7/7");
}

TEST(ProgressView, EndOfRunLines) {
  EXPECT_EQ(endOfRunLines("Files processed:", 12),
            (std::vector<std::string>{"-----------------------", "Files processed: 12"}));
}

}  // namespace
}  // namespace brevane
