// The state of a progress bar that mirrors itself on the program's taskbar button: its range
// rules, and the calls that bring the button up to date with it.
#pragma once

#include <cstdint>
#include <vector>

namespace brevane {

/// The bar's state; 1 to 3 are also the states of a plain progress bar.
enum class TTaskbarProgressState : int { pbstMarquee = 0, pbstNormal = 1, pbstError = 2, pbstPaused = 3 };

/// The progress states of a taskbar button.
enum class TaskbarFlag : int { kNoProgress = 0, kIndeterminate = 1, kNormal = 2, kError = 4, kPaused = 8 };

/// One call to the taskbar button: a state, or a progress value out of a total.
struct TaskbarCall {
  enum class Kind { kState, kValue };
  Kind kind = Kind::kState;
  TaskbarFlag flag = TaskbarFlag::kNoProgress;
  uint64_t completed = 0;
  uint64_t total = 0;

  static TaskbarCall state(TaskbarFlag f) { return {Kind::kState, f, 0, 0}; }
  static TaskbarCall value(uint64_t completed, uint64_t total) {
    return {Kind::kValue, TaskbarFlag::kNoProgress, completed, total};
  }
  bool operator==(const TaskbarCall&) const = default;
};

/// Range, position, state and mirroring of one bar, without its window.
class ProgressBarModel {
 public:
  /// Without 32-bit ranges (an old common-controls library) the bar takes 0 to 65535 only.
  explicit ProgressBarModel(bool in32BitMode = true) : m_in32BitMode(in32BitMode) {}

  int min() const { return m_min; }
  int max() const { return m_max; }
  int position() const { return m_position; }
  /// Throws Error "TTaskbarProgressBar property out of range" when max is below min, and,
  /// without 32-bit ranges, "Value must be between 0 and 65535" for a bound outside that. The
  /// position is kept inside the new range, as the native bar keeps it.
  void setRange(int min, int max);
  void setMin(int min) { setRange(min, m_max); }
  void setMax(int max) { setRange(m_min, max); }
  /// Clamped to the range; without 32-bit ranges a value outside 0 to 65535 is refused.
  void setPosition(int position);

  TTaskbarProgressState state = TTaskbarProgressState::pbstNormal;
  bool marqueeEnabled = false;
  bool showInTaskbar = false;

  /// The calls of one taskbar update for the state as it is now.
  std::vector<TaskbarCall> taskbarUpdate() const;

 private:
  void check16Bit(int value) const;

  bool m_in32BitMode;
  int m_min = 0;
  int m_max = 100;
  int m_position = 0;
};

/// What a taskbar button shows after the calls it has been given.
struct TaskbarButton {
  TaskbarFlag flag = TaskbarFlag::kNoProgress;
  uint64_t completed = 0;
  uint64_t total = 0;

  void apply(const std::vector<TaskbarCall>& calls);
  bool progressVisible() const { return flag != TaskbarFlag::kNoProgress; }
  /// The filled fraction, 0 to 1: completed out of total; 0 while indeterminate, with a total
  /// of 0, or without progress.
  double fraction() const;
};

}  // namespace brevane
