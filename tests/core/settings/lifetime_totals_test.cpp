// The lifetime totals in Settings.ini: 64-bit values, older files read as before (a total that
// wrapped to a negative 32-bit value there reads as its unsigned value), and a run that adds
// past 2^31 without wrapping.
#include <gtest/gtest.h>

#include "base/platform.h"
#include "codecs/encoders.h"
#include "core/engine/engine_test_support.h"
#include "settings/settings_store.h"
#include "support/test_support.h"

namespace brevane::settings {
namespace {

struct CounterCase {
  const char* text;
  std::optional<int64_t> expected;
};

void PrintTo(const CounterCase& c, std::ostream* os) {
  *os << '"' << c.text << '"';
}

class CounterValueTest : public ::testing::TestWithParam<CounterCase> {};

TEST_P(CounterValueTest, ReadsOlderAndWiderValues) {
  EXPECT_EQ(parseCounterValue(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, CounterValueTest,
                         ::testing::Values(CounterCase{"0", 0}, CounterCase{" 789 ", 789},
                                           CounterCase{"2147483647", 2147483647},
                                           CounterCase{"$10", 16},  // what the older reader took, it still takes
                                           CounterCase{"-1", 4294967295}, CounterCase{"-2147483648", 2147483648},
                                           CounterCase{"4294967296", 4294967296},
                                           CounterCase{"9223372036854775807", INT64_MAX},
                                           CounterCase{"9223372036854775808", std::nullopt},
                                           CounterCase{"-4294967296", std::nullopt}, CounterCase{"", std::nullopt},
                                           CounterCase{"12abc", std::nullopt}, CounterCase{"1e9", std::nullopt}));

Environment testEnvironment() {
  Environment env;
  env.homeFolder = "/home/u";
  env.now = {2024, 5, 1, 10, 0, 0};
  return env;
}

TEST(LifetimeTotals, SurviveASaveAndLoadBeyondThirtyTwoBits) {
  const Environment env = testEnvironment();
  const std::string dir = test::makeTempDir("totals");
  IniFile ini(dir + "Settings.ini");
  AppSettings s = AppSettings::defaults(env);
  s.AllProcessedBytes = 3'000'000'000'000;  // about 2.8 PiB in KiB
  s.AllProcessedFiles = 5'000'000'000;
  ASSERT_TRUE(saveSettings(ini, s, env).saved);
  EXPECT_EQ(ini.value("Settings", "AllProcessedBytes"), "3000000000000");
  AppSettings back = loadSettings(IniFile(dir + "Settings.ini"), env);
  EXPECT_EQ(back.AllProcessedBytes, 3'000'000'000'000);
  EXPECT_EQ(back.AllProcessedFiles, 5'000'000'000);

  // An older file: plain values as they were, a wrapped one, and a malformed one (0).
  test::writeText(dir + "Old.ini", "[Settings]\nAllProcessedBytes=-2147483000\nAllProcessedFiles=x\n");
  AppSettings old = loadSettings(IniFile(dir + "Old.ini"), env);
  EXPECT_EQ(old.AllProcessedBytes, 2147484296);
  EXPECT_EQ(old.AllProcessedFiles, 0);
}

TEST(LifetimeTotals, ARunAddsPastTwoToTheThirtyFirstWithoutWrapping) {
  const std::string in = test::makeTempDir("totals-in"), out = test::makeTempDir("totals-out");
  test::writeBytes(in + "a.bmp", codecs::encodeBmp(test::patternImage(300, 200)));
  TConversionSettings s = test::testSettings(out);
  LifetimeTotals totals;
  totals.allprocessedbytes = INT32_MAX;
  totals.allprocessedfiles = INT32_MAX;
  test::RunResult r = test::runJob(s, {in + "a.bmp"}, &totals);
  ASSERT_TRUE(r.lines.empty()) << r.lines[0];
  EXPECT_EQ(totals.allprocessedfiles.load(), int64_t{INT32_MAX} + 1);
  EXPECT_EQ(totals.allprocessedbytes.load(), int64_t{INT32_MAX} + fileSize(in + "a.bmp") / 1024);
}

}  // namespace
}  // namespace brevane::settings
