// The terminal progress bar's text and its redraw limit.
#include "cli/progress_bar.h"

#include <algorithm>

namespace brevane::cli {

std::string clockText(uint64_t ms) {
  uint64_t seconds = ms / 1000;
  auto two = [](uint64_t v) { return (v < 10 ? "0" : "") + std::to_string(v); };
  if (seconds >= 3600) return std::to_string(seconds / 3600) + ":" + two(seconds / 60 % 60) + ":" + two(seconds % 60);
  return std::to_string(seconds / 60) + ":" + two(seconds % 60);
}

std::string progressBarLine(int done, int total, uint64_t elapsedMs, int columns) {
  done = std::clamp(done, 0, std::max(total, 0));
  std::string counts = std::to_string(done) + "/" + std::to_string(total);
  std::string times = clockText(elapsedMs) + " elapsed";
  if (done > 0 && done < total) {
    uint64_t left = elapsedMs / static_cast<uint64_t>(done) * static_cast<uint64_t>(total - done);
    times += ", " + clockText(left) + " left";
  }
  std::string tail = "  " + counts + "  " + times;
  // The bar takes what is left of the line, from 10 to 40 cells; none on a narrow terminal.
  int cells = std::min(40, columns - 1 - static_cast<int>(tail.size()) - 2);
  if (cells < 10) return counts + "  " + times;
  int filled = total > 0 ? static_cast<int>(static_cast<int64_t>(cells) * done / total) : 0;
  return "[" + std::string(filled, '#') + std::string(cells - filled, ' ') + "]" + tail;
}

bool RedrawLimiter::due(uint64_t nowMs) {
  if (m_drawn && nowMs - m_last < m_interval) return false;
  m_drawn = true;
  m_last = nowMs;
  return true;
}

}  // namespace brevane::cli
