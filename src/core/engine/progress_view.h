// What the progress dialog of a run shows: its values at each refresh and at the end of the run,
// and the two lines that close its log.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brevane {

/// The run's counters read at one moment (without a lock: a value may be one file behind).
struct ProgressSample {
  int32_t processed = 0;
  int32_t total = 0;           // the progress bar's maximum
  int32_t workers = 0;         // registered workers, running or finished but not yet freed
  int32_t processedbytes = 0;  // KiB
  int32_t outputbytes = 0;     // KiB
  uint64_t elapsedMs = 0;
  bool clockRunning = false;  // the reaper still runs: the time value follows the clock
};

/// The words after the numbers: the built-in ones, or the language's.
struct ProgressUnits {
  std::string kib = "KiB";
  std::string mib = "MiB";
  std::string second = "s";
};

/// The values of the dialog; an empty value leaves its label as it is.
struct ProgressTexts {
  int32_t position = 0;  // the progress bar
  std::string files;     // "done/total"
  std::string workers;
  std::string input;
  std::optional<std::string> output;   // only once output and input are both above 0 KiB
  std::optional<std::string> seconds;  // only while the clock runs (always at the end)
};

/// The values of a refresh. The window passes the language's units, as at the end of the run,
/// so that the summary's units do not turn back into the built-in ones at the next refresh.
ProgressTexts refreshTexts(const ProgressSample& sample, char decimalSeparator, const ProgressUnits& units = {});

/// The values shown when the run has ended, with the language's units; the time value always.
ProgressTexts summaryTexts(const ProgressSample& sample, char decimalSeparator, const ProgressUnits& units);

/// The two lines that end the log: the rule and "<AllProcessed text> <processed>".
std::vector<std::string> endOfRunLines(const std::string& allProcessedText, int32_t processed);

}  // namespace brevane
