// What the progress dialog of a run shows.
#include "engine/progress_view.h"

#include "engine/progress_text.h"

namespace brevane {

namespace {

ProgressTexts texts(const ProgressSample& s, char sep, const ProgressUnits& units, bool atEnd) {
  ProgressTexts t;
  t.position = s.processed;
  t.files = std::to_string(s.processed) + "/" + std::to_string(s.total);
  t.workers = std::to_string(s.workers);
  t.input = sizeText(s.processedbytes, sep, units.kib, units.mib);
  // Nothing written yet, or nothing read (all files below 1 KiB): the last value stays.
  if (s.outputbytes > 0 && s.processedbytes > 0)
    t.output = outputText(s.outputbytes, s.processedbytes, sep, units.kib, units.mib);
  if (atEnd || s.clockRunning) t.seconds = secondsText(s.elapsedMs, sep) + " " + units.second;
  return t;
}

}  // namespace

ProgressTexts refreshTexts(const ProgressSample& sample, char decimalSeparator, const ProgressUnits& units) {
  return texts(sample, decimalSeparator, units, false);
}

ProgressTexts summaryTexts(const ProgressSample& sample, char decimalSeparator, const ProgressUnits& units) {
  return texts(sample, decimalSeparator, units, true);
}

std::vector<std::string> endOfRunLines(const std::string& allProcessedText, int32_t processed) {
  return {"-----------------------", allProcessedText + " " + std::to_string(processed)};
}

}  // namespace brevane
