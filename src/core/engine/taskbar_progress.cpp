// The state of a progress bar that mirrors itself on the taskbar button.
#include "engine/taskbar_progress.h"

#include <algorithm>
#include <string>

#include "base/error.h"

namespace brevane {

void ProgressBarModel::check16Bit(int value) const {
  if (!m_in32BitMode && (value < 0 || value > 65535)) throw Error(format("Value must be between %d and %d", 0, 65535));
}

void ProgressBarModel::setRange(int min, int max) {
  if (max < min) throw Error("TTaskbarProgressBar property out of range");
  check16Bit(min);
  check16Bit(max);
  m_min = min;
  m_max = max;
  m_position = std::clamp(m_position, m_min, m_max);
}

void ProgressBarModel::setPosition(int position) {
  check16Bit(position);
  m_position = std::clamp(position, m_min, m_max);
}

std::vector<TaskbarCall> ProgressBarModel::taskbarUpdate() const {
  if (!showInTaskbar) return {TaskbarCall::state(TaskbarFlag::kNoProgress)};
  std::vector<TaskbarCall> calls;
  switch (state) {
    case TTaskbarProgressState::pbstMarquee:
      calls.push_back(TaskbarCall::state(TaskbarFlag::kNormal));
      calls.push_back(TaskbarCall::state(marqueeEnabled ? TaskbarFlag::kIndeterminate : TaskbarFlag::kNoProgress));
      return calls;
    case TTaskbarProgressState::pbstNormal: calls.push_back(TaskbarCall::state(TaskbarFlag::kNormal)); break;
    case TTaskbarProgressState::pbstError: calls.push_back(TaskbarCall::state(TaskbarFlag::kError)); break;
    case TTaskbarProgressState::pbstPaused: calls.push_back(TaskbarCall::state(TaskbarFlag::kPaused)); break;
  }
  // Widened before subtracting: a range of the whole int span does not overflow.
  int64_t completed = static_cast<int64_t>(m_position) - m_min;
  int64_t total = static_cast<int64_t>(m_max) - m_min;
  calls.push_back(TaskbarCall::value(static_cast<uint64_t>(completed), static_cast<uint64_t>(total)));
  return calls;
}

void TaskbarButton::apply(const std::vector<TaskbarCall>& calls) {
  for (const TaskbarCall& c : calls) {
    if (c.kind == TaskbarCall::Kind::kState) {
      flag = c.flag;
    } else {
      completed = c.completed;
      total = c.total;
    }
  }
}

double TaskbarButton::fraction() const {
  if (flag == TaskbarFlag::kNoProgress || flag == TaskbarFlag::kIndeterminate || total == 0) return 0.0;
  return std::min(1.0, static_cast<double>(completed) / static_cast<double>(total));
}

}  // namespace brevane
