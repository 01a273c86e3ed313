// The conversion job: the start of a run, the dispatch and reap ticks, the completion watcher,
// and the worker thread object.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/error_log.h"
#include "engine/settings.h"
#include "engine/written_files.h"

namespace brevane {

/// Counters of one run; changed by workers only through atomic increment and add.
struct RunCounters {
  std::atomic<int32_t> processed{0};
  std::atomic<int32_t> processedbytes{0};  // KiB
  std::atomic<int32_t> outputbytes{0};     // KiB
};

/// Lifetime totals, kept across runs (stored in the settings file). They are 64-bit: at
/// 32 bits the KiB total would turn negative after 2 TiB of input.
struct LifetimeTotals {
  std::atomic<int64_t> allprocessedfiles{0};
  std::atomic<int64_t> allprocessedbytes{0};  // KiB
};

/// Adds with the 32-bit wrap-around of the original counters.
inline void atomicAdd(std::atomic<int32_t>& counter, int32_t value) {
  // fetch_add on a signed atomic wraps (two's complement) without undefined behaviour.
  counter.fetch_add(value, std::memory_order_relaxed);
}
inline void atomicAdd(std::atomic<int64_t>& counter, int64_t value) {
  counter.fetch_add(value, std::memory_order_relaxed);
}

/// What a worker needs besides its own fields: the run's options, counters and log.
struct PipelineEnv {
  const TConversionSettings& settings;
  RunCounters& counters;
  LifetimeTotals& totals;
  ErrorLog& log;
  WrittenFiles* written = nullptr;  // the run's outputs; none when converting outside a job
};

/// One worker: converts exactly one file on its own thread, then sets `kill`.
class TConversionThread {
 public:
  explicit TConversionThread(const PipelineEnv& env) : m_env(env) {}
  /// Waits for the thread. A derived class whose body overrides Execute waits in its own
  /// destructor, before its part of the object is gone.
  virtual ~TConversionThread();
  TConversionThread(const TConversionThread&) = delete;
  TConversionThread& operator=(const TConversionThread&) = delete;

  std::string filename;  // full source path
  std::string target;    // output path (provisional at dispatch)
  std::string format;    // output format code
  int32_t index = 0;     // run index
  std::atomic<bool> kill{false};

  /// Lets the thread run (the object is created "suspended"). Throws std::system_error.
  void start();
  /// Waits for the thread to end.
  void wait();

 protected:
  /// The thread body: the pipeline once, then `processed` counted and `kill` set.
  virtual void Execute();

 private:
  PipelineEnv m_env;
  std::thread m_thread;
};

/// Message boxes and the progress dialog of a run, implemented by the batch command now and by
/// the desktop program later.
class RunHost {
 public:
  enum class Icon { kError, kWarning, kInformation };
  virtual ~RunHost() = default;
  virtual void showMessage(const std::string& text, const std::string& caption, Icon icon) = 0;
  /// A language text by key (the batch command answers from lang.ini or built-in English).
  virtual std::string langString(const std::string& key) = 0;
  /// The output folder control shows a changed value (the trailing "/").
  virtual void outputPathChanged(const std::string&) {}
  /// The rename mask control shows a changed value (the unique-name guard).
  virtual void renameMaskChanged(const std::string&) {}
  /// Progress dialog prepared (caption of Cancel, flags cleared, maximum set) and shown.
  virtual void progressStarted(int total) { (void)total; }
  /// The progress dialog is closed because a worker could not be started.
  virtual void progressAborted() {}
};

/// The run, driven by ticks from any loop on one thread (the batch command's loop, the
/// desktop program's timers). Everything but the workers runs on that thread.
class ConversionJob {
 public:
  using MemoryLoadFn = std::function<int()>;
  using ThreadFactory = std::function<std::unique_ptr<TConversionThread>(const PipelineEnv&)>;

  ConversionJob(RunHost& host, ErrorLog& log, LifetimeTotals& totals);
  ~ConversionJob();

  /// Start of a run with the options as they stand in `settings` (which takes the changes of
  /// the start: the guarded mask, the trailing "/"). False when the run does not start.
  bool start(TConversionSettings& settings, const std::vector<std::string>& files);

  /// One step of the dispatcher: starts at most one worker.
  void dispatchTick();
  /// One step of the reaper: frees at most one finished worker.
  void reapTick();
  /// One step of the completion watcher; true when it ended the run (no worker left).
  bool completionTick();
  /// Cancel: no further worker starts; running ones finish their file.
  void cancel();

  bool dispatchEnabled() const { return m_dispatchEnabled; }
  bool reapEnabled() const { return m_reapEnabled; }
  bool watcherEnabled() const { return m_watcherEnabled; }
  bool finished() const { return m_finished; }
  bool cancelled() const { return m_cancelled; }
  /// A worker could not be started: the run stopped dispatching and reaping.
  bool aborted() const { return m_aborted; }

  /// Drives the ticks with a plain loop until the run ends; `onIdle` is called about every
  /// 100 ms (progress display) and may call cancel().
  void runToCompletion(const std::function<void()>& onIdle = {});

  // Run state (the main window's fields).
  bool RUN = false;
  std::atomic<bool> prevthrfree{true};
  std::deque<std::string> filelisttemp;
  std::vector<std::unique_ptr<TConversionThread>> thr;
  int32_t counter = 0;
  uint64_t starttime = 0;
  RunCounters counters;
  int total = 0;

  const TConversionSettings& runSettings() const { return m_settings; }
  /// Elapsed milliseconds since the start of the run.
  uint64_t elapsedMs() const;

  // Test seams.
  void setMemoryLoad(MemoryLoadFn fn) { m_memoryLoad = std::move(fn); }
  void setThreadFactory(ThreadFactory fn) { m_threadFactory = std::move(fn); }

 private:
  RunHost& m_host;
  ErrorLog& m_log;
  LifetimeTotals& m_totals;
  TConversionSettings m_settings;
  std::map<std::string, std::string> m_keptFolders;  // Keep_folders: source -> folder below the output
  MemoryLoadFn m_memoryLoad;
  ThreadFactory m_threadFactory;
  WrittenFiles m_written;
  std::mutex m_dispatchLock;
  std::mutex m_reapLock;
  bool m_dispatchEnabled = false;
  bool m_reapEnabled = false;
  bool m_watcherEnabled = false;
  bool m_finished = false;
  bool m_cancelled = false;
  bool m_aborted = false;
};

/// The provisional output path: folder + the source's name with its extension (from the last
/// dot of the name) replaced by, or extended with, "." + code.
std::string provisionalTarget(const std::string& outputFolder, const std::string& source, std::string_view code);

}  // namespace brevane
