// Shared pieces of the engine tests: a recording run host and a run driven to its end.
#pragma once

#include <string>
#include <vector>

#include "engine/job.h"

namespace brevane::test {

class RecordingHost : public RunHost {
 public:
  struct Message {
    std::string text, caption;
    Icon icon;
  };
  std::vector<Message> messages;
  std::vector<std::string> outputPaths, masks;
  bool aborted = false;

  void showMessage(const std::string& text, const std::string& caption, Icon icon) override {
    messages.push_back({text, caption, icon});
  }
  std::string langString(const std::string& key) override { return "<" + key + ">"; }
  void outputPathChanged(const std::string& p) override { outputPaths.push_back(p); }
  void renameMaskChanged(const std::string& m) override { masks.push_back(m); }
  void progressAborted() override { aborted = true; }
};

/// Settings for a test run: BMP output into `out`, no renaming, one thread.
inline TConversionSettings testSettings(const std::string& out) {
  TConversionSettings s = TConversionSettings::defaults();
  s.Output_path = out;
  s.Output_format = 2;
  s.Rename_enabled = false;
  s.Exif = false;
  s.Threads = 1;
  return s;
}

/// Runs a whole job; returns the error log's lines.
struct RunResult {
  bool started = false;
  std::vector<std::string> lines;
  int32_t processed = 0, processedbytes = 0, outputbytes = 0;
};

inline RunResult runJob(TConversionSettings& s, const std::vector<std::string>& files, LifetimeTotals* totals = nullptr,
                        RecordingHost* host = nullptr) {
  RecordingHost localHost;
  LifetimeTotals localTotals;
  ErrorLog log;
  ConversionJob job(host ? *host : localHost, log, totals ? *totals : localTotals);
  RunResult r;
  r.started = job.start(s, files);
  if (r.started) job.runToCompletion();
  r.lines = log.lines();
  r.processed = job.counters.processed;
  r.processedbytes = job.counters.processedbytes;
  r.outputbytes = job.counters.outputbytes;
  return r;
}

}  // namespace brevane::test
