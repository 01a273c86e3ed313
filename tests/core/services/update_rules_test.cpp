// The update check's rules without a network: the reply as untrusted input, the numeric
// comparison, the reminder interval, the addresses.
#include "services/update_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace brevane::services {
namespace {

struct ReplyCase {
  std::string body;
  UpdateVerdict verdict;
};

void PrintTo(const ReplyCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.body.size() > 40 ? c.body.substr(0, 40) + "..." : c.body);
}

class UpdateReplyTest : public ::testing::TestWithParam<ReplyCase> {};

// Against a program at 1.0.6.811 (106811).
TEST_P(UpdateReplyTest, IsJudgedByItsDigitsOrRefused) {
  EXPECT_EQ(judgeUpdateReply(GetParam().body, 106811), GetParam().verdict);
}

using enum UpdateVerdict;
INSTANTIATE_TEST_SUITE_P(
    Bodies, UpdateReplyTest,
    ::testing::Values(
        ReplyCase{"1.0.6.812", kNewer}, ReplyCase{"1.0.6.811", kUpToDate}, ReplyCase{"1.0.6.810", kUpToDate},
        // The comparison is of the numbers without dots: 1070 is less than 106811.
        ReplyCase{"1.0.7.0", kUpToDate}, ReplyCase{"2", kUpToDate}, ReplyCase{"0001.0.6.812", kNewer},
        ReplyCase{"18446744073709551615", kNewer},
        // Not a dotted version: a failure, never a verdict.
        ReplyCase{"1.0.6.812\n", kUnreadable}, ReplyCase{"1.0.6.812\r\n", kUnreadable},
        ReplyCase{" 1.0.6.812", kUnreadable}, ReplyCase{"", kUnreadable}, ReplyCase{".", kUnreadable},
        ReplyCase{"1..2", kUnreadable}, ReplyCase{".106812", kUnreadable}, ReplyCase{"106812.", kUnreadable},
        ReplyCase{"-1.0.6.812", kUnreadable}, ReplyCase{"+1.0.6.812", kUnreadable}, ReplyCase{"1,0,6,812", kUnreadable},
        ReplyCase{"0x1A2B3", kUnreadable}, ReplyCase{"<html>1.0.6.812</html>", kUnreadable},
        ReplyCase{std::string("1.0\0.6.812", 10), kUnreadable},
        ReplyCase{"\xEF\xBC\x91.0.6.812", kUnreadable},  // a full-width digit one
        // Beyond 64 bits, and longer than any version string.
        ReplyCase{"18446744073709551616", kUnreadable}, ReplyCase{"99.999.999.999.999.999.999", kUnreadable},
        ReplyCase{std::string(65, '9'), kUnreadable}, ReplyCase{std::string(1 << 20, '1'), kUnreadable}));

TEST(UpdateRules, ProgramVersionNumberDropsTheDotsAndIsZeroWhenUnreadable) {
  EXPECT_EQ(programVersionNumber("1.0.0.1"), 1001u);
  EXPECT_EQ(programVersionNumber("1.0.6.811"), 106811u);
  EXPECT_EQ(programVersionNumber("0.0.0.0"), 0u);
  EXPECT_EQ(programVersionNumber("1.0-beta"), 0u);
  // The compiled-in version reads, so every reply is compared against a real number.
  EXPECT_GT(programVersionNumber(BREVANE_VERSION_STRING), 0u);
}

struct ReminderCase {
  LocalDateTime last, now;
  bool due;
};

void PrintTo(const ReminderCase& c, std::ostream* os) {
  *os << c.last.year << "-" << c.last.month << "-" << c.last.day << " to " << c.now.year << "-" << c.now.month << "-"
      << c.now.day;
}

class UpdateReminderTest : public ::testing::TestWithParam<ReminderCase> {};

TEST_P(UpdateReminderTest, IsDueAfterMoreThanFourteenWholeDaysEitherWay) {
  EXPECT_EQ(updateReminderDue(GetParam().last, GetParam().now), GetParam().due);
}

INSTANTIATE_TEST_SUITE_P(Dates, UpdateReminderTest,
                         ::testing::Values(ReminderCase{{2024, 5, 1, 12, 0, 0}, {2024, 5, 1, 12, 0, 0}, false},
                                           // 14 days and almost a whole day more: still 14 whole days.
                                           ReminderCase{{2024, 5, 1, 0, 0, 0}, {2024, 5, 15, 23, 59, 59, 999}, false},
                                           ReminderCase{{2024, 5, 1, 0, 0, 0}, {2024, 5, 16, 0, 0, 0}, true},
                                           // A stored date only (midnight) against an afternoon 15 days on.
                                           ReminderCase{{2024, 5, 1}, {2024, 5, 16, 15, 30, 0}, true},
                                           // Across a leap day and across the turn of a year.
                                           ReminderCase{{2024, 2, 15}, {2024, 3, 1}, true},
                                           ReminderCase{{2023, 2, 15}, {2023, 3, 1}, false},
                                           ReminderCase{{2023, 12, 20}, {2024, 1, 4}, true},
                                           ReminderCase{{2023, 12, 21}, {2024, 1, 4}, false},
                                           // A date in the future counts as well (the difference is absolute).
                                           ReminderCase{{2030, 1, 1}, {2024, 5, 1}, true},
                                           ReminderCase{{2024, 5, 15}, {2024, 5, 1}, false}));

TEST(UpdateRules, AddressesAndHeaders) {
  EXPECT_EQ(updateFileUrl(updateServer(nullptr)), std::string(kUpdateServer) + "/update/Update_new.ini");
  EXPECT_EQ(updateServer(""), kUpdateServer);
  EXPECT_EQ(updateFileUrl(updateServer("http://127.0.0.1:8080/")), "http://127.0.0.1:8080/update/Update_new.ini");
  EXPECT_EQ(updateUserAgent("1.0.0.1"), "Brevane Updater v1.0.0.1");
  // The server of this project is a placeholder that resolves nowhere.
  EXPECT_TRUE(std::string(kUpdateServer).ends_with(".invalid"));
}

TEST(UpdateRules, DownloadPageIsRussianOnlyForExactlyRussian) {
  EXPECT_EQ(downloadPage("Russian"), "https://ru.brevane.invalid/Download");
  for (const char* lang : {"English", "russian", "Russian ", "Deutsch", ""})
    EXPECT_EQ(downloadPage(lang), "https://www.brevane.invalid/Download") << lang;
}

}  // namespace
}  // namespace brevane::services
