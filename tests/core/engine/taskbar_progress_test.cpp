// The taskbar mirror of a progress bar: the calls of an update for each state, the range rules,
// and what a button shows after the calls.
#include "engine/taskbar_progress.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace brevane {
namespace {

using Calls = std::vector<TaskbarCall>;
using S = TTaskbarProgressState;
using F = TaskbarFlag;

TaskbarCall st(F f) {
  return TaskbarCall::state(f);
}
TaskbarCall val(uint64_t c, uint64_t t) {
  return TaskbarCall::value(c, t);
}

struct UpdateCase {
  const char* name;
  S state;
  bool marquee;
  bool show;
  int min, max, position;
  Calls calls;
};

class TaskbarUpdates : public ::testing::TestWithParam<UpdateCase> {};

TEST_P(TaskbarUpdates, CallsFollowTheState) {
  const UpdateCase& c = GetParam();
  ProgressBarModel m;
  m.setRange(c.min, c.max);
  m.setPosition(c.position);
  m.state = c.state;
  m.marqueeEnabled = c.marquee;
  m.showInTaskbar = c.show;
  EXPECT_EQ(m.taskbarUpdate(), c.calls);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TaskbarUpdates,
    ::testing::Values(
        UpdateCase{"Hidden", S::pbstNormal, false, false, 0, 10, 4, {st(F::kNoProgress)}},
        UpdateCase{"HiddenMarquee", S::pbstMarquee, true, false, 0, 10, 4, {st(F::kNoProgress)}},
        UpdateCase{"Normal", S::pbstNormal, false, true, 0, 10, 4, {st(F::kNormal), val(4, 10)}},
        UpdateCase{"OffsetRange", S::pbstNormal, false, true, 5, 25, 15, {st(F::kNormal), val(10, 20)}},
        UpdateCase{"Error", S::pbstError, false, true, 0, 10, 7, {st(F::kError), val(7, 10)}},
        UpdateCase{"Paused", S::pbstPaused, true, true, 0, 10, 7, {st(F::kPaused), val(7, 10)}},
        UpdateCase{"MarqueeRunning", S::pbstMarquee, true, true, 0, 10, 4, {st(F::kNormal), st(F::kIndeterminate)}},
        // A stopped marquee shows no progress on the button.
        UpdateCase{"MarqueeStopped", S::pbstMarquee, false, true, 0, 10, 4, {st(F::kNormal), st(F::kNoProgress)}},
        UpdateCase{"EmptyRange", S::pbstNormal, false, true, 0, 0, 0, {st(F::kNormal), val(0, 0)}},
        // The whole int span: the difference is taken in 64 bits.
        UpdateCase{"WideRange",
                   S::pbstNormal,
                   false,
                   true,
                   INT32_MIN,
                   INT32_MAX,
                   INT32_MAX,
                   {st(F::kNormal), val(4294967295u, 4294967295u)}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgressBarModel, RangeRules) {
  ProgressBarModel m;
  m.setRange(0, 10);
  m.setPosition(8);
  EXPECT_THROW(m.setMax(-1), Error);
  try {
    m.setMin(11);
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "TTaskbarProgressBar property out of range");
  }
  EXPECT_EQ(m.max(), 10);  // a refused change leaves the range
  m.setMax(5);             // the position stays inside the range
  EXPECT_EQ(m.position(), 5);
  m.setPosition(-3);
  EXPECT_EQ(m.position(), 0);
  m.setRange(0, 100000);  // 32-bit ranges take any int

  ProgressBarModel old(false);
  EXPECT_NO_THROW(old.setRange(0, 65535));
  try {
    old.setMax(65536);
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Value must be between 0 and 65535");
  }
  EXPECT_THROW(old.setMin(-1), Error);
  EXPECT_THROW(old.setPosition(70000), Error);
}

TEST(TaskbarButton, ShowsTheLastStateAndValue) {
  TaskbarButton b;
  EXPECT_FALSE(b.progressVisible());
  b.apply({st(F::kNormal), val(1, 4)});
  EXPECT_TRUE(b.progressVisible());
  EXPECT_DOUBLE_EQ(b.fraction(), 0.25);
  b.apply({st(F::kNormal), st(F::kIndeterminate)});  // a marquee keeps no fill
  EXPECT_TRUE(b.progressVisible());
  EXPECT_DOUBLE_EQ(b.fraction(), 0.0);
  b.apply({st(F::kError), val(9, 4)});  // never more than full
  EXPECT_DOUBLE_EQ(b.fraction(), 1.0);
  b.apply({st(F::kNormal), val(0, 0)});  // a total of 0 shows empty
  EXPECT_DOUBLE_EQ(b.fraction(), 0.0);
  b.apply({st(F::kNoProgress)});
  EXPECT_FALSE(b.progressVisible());
}

}  // namespace
}  // namespace brevane
