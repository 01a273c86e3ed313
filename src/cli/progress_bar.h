// The progress bar brevane-batch draws on a terminal: files done of the total, the elapsed
// time and an estimate of the time left.
#pragma once

#include <cstdint>
#include <string>

namespace brevane::cli {

/// "m:ss", or "h:mm:ss" from an hour on.
std::string clockText(uint64_t ms);

/// The bar's line fitted to `columns` (at least the counts and times are shown):
/// "[#########           ]  12/40  0:05 elapsed, 0:12 left". The time left is the elapsed
/// time per finished file times the files left, shown once a file is finished.
std::string progressBarLine(int done, int total, uint64_t elapsedMs, int columns);

/// Limits redraws to one per `intervalMs` (the first one is always due).
class RedrawLimiter {
 public:
  explicit RedrawLimiter(uint64_t intervalMs = 100) : m_interval(intervalMs) {}
  /// True when a redraw at `nowMs` is due; it then counts as drawn.
  bool due(uint64_t nowMs);

 private:
  uint64_t m_interval;
  uint64_t m_last = 0;
  bool m_drawn = false;
};

}  // namespace brevane::cli
