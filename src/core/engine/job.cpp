// The conversion job: run start, dispatch, reap, completion.
#include "engine/job.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <system_error>

#include "base/byte_buffer.h"
#include "base/memory_budget.h"
#include "base/paths.h"
#include "base/platform.h"
#include "codecs/output_formats.h"
#include "engine/output_names.h"
#include "engine/pipeline.h"
#include "imaging/masks.h"

namespace brevane {

TConversionThread::~TConversionThread() {
  wait();
}

void TConversionThread::start() {
  m_thread = std::thread([this] { Execute(); });
}

void TConversionThread::wait() {
  if (m_thread.joinable()) m_thread.join();
}

void TConversionThread::Execute() {
  try {
    runPipeline(*this, m_env);
  } catch (...) {
    // runPipeline reports every failure itself; nothing may escape the thread.
  }
  m_env.counters.processed.fetch_add(1);
  kill.store(true);
}

std::string provisionalTarget(const std::string& outputFolder, const std::string& source, std::string_view code) {
  return outputFolder + stemOf(source) + "." + std::string(code);
}

ConversionJob::ConversionJob(RunHost& host, ErrorLog& log, LifetimeTotals& totals)
    : m_host(host), m_log(log), m_totals(totals), m_memoryLoad(&memoryLoadPercent) {
  m_threadFactory = [](const PipelineEnv& env) { return std::make_unique<TConversionThread>(env); };
}

ConversionJob::~ConversionJob() {
  for (auto& worker : thr) worker->wait();
}

bool ConversionJob::start(TConversionSettings& settings, const std::vector<std::string>& files) {
  // A rename mask with neither "[C]" nor "[N]" would give every file the same name: it gets a
  // counter in front.
  if (settings.Rename_enabled) {
    std::string guarded = imaging::uniqueNameGuard(settings.Rename_mask);
    if (guarded != settings.Rename_mask) {
      settings.Rename_mask = guarded;
      m_host.renameMaskChanged(guarded);
    }
  }
  if (files.empty()) {
    m_host.showMessage(m_host.langString("NoFiles"), m_host.langString("Error"), RunHost::Icon::kError);
    return false;
  }
  // The folder text gets its trailing "/" (shown back in the control); an empty text names no
  // folder and fails to be created below.
  if (!settings.Output_path.empty() && settings.Output_path.back() != '/') {
    settings.Output_path += '/';
    m_host.outputPathChanged(settings.Output_path);
  }
  // The output folder is created with its parents.
  if (settings.Output_path.empty() || !createDirectories(settings.Output_path)) {
    m_host.showMessage(m_host.langString("DirectoryCreateError"), m_host.langString("Error"), RunHost::Icon::kError);
    return false;
  }
  // Hidden temporary files of an earlier run that was killed on a file system without
  // unnamed files.
  removeStaleTempFiles(settings.Output_path);
  // With Keep_folders each file goes to its folder below the sources' deepest common folder;
  // those folders are made now, and one that cannot be stops the run as the output folder does.
  m_keptFolders.clear();
  if (settings.Keep_folders) {
    m_keptFolders = keptFolders(files);
    std::set<std::string> folders;
    for (const auto& [source, folder] : m_keptFolders) folders.insert(folder);
    for (const std::string& folder : folders) {
      std::string problem = createFoldersBelow(settings.Output_path, folder);
      if (problem.empty()) {
        removeStaleTempFiles(settings.Output_path + folder);
        continue;
      }
      m_host.showMessage(m_host.langString("DirectoryCreateError") + "\n" + problem, m_host.langString("Error"),
                         RunHost::Icon::kError);
      return false;
    }
  }
  // The options of the run are fixed here: every worker reads this copy.
  m_settings = settings;
  m_written.clear();
  // Each file's buffers are reused by the next instead of being mapped and faulted in anew.
  memory::keepFreedHeapMemory();
  // The progress state of the last run is cleared.
  m_finished = false;
  m_cancelled = false;
  m_aborted = false;
  counters.processed = 0;
  total = static_cast<int>(files.size());
  filelisttemp.assign(files.begin(), files.end());
  // Dispatch and reaping start; the completion watcher waits until the queue is empty.
  m_dispatchEnabled = true;
  m_reapEnabled = true;
  m_watcherEnabled = false;
  RUN = true;
  // A fresh error log, clock and byte counters; run indexes start at 1.
  m_log.clear();
  starttime = monotonicMs();
  counters.processedbytes = 0;
  counters.outputbytes = 0;
  counter = 1;
  m_host.progressStarted(total);
  return true;
}

void ConversionJob::dispatchTick() {
  if (!m_dispatchEnabled) return;
  std::lock_guard lock(m_dispatchLock);
  const codecs::OutputFormatInfo& format = codecs::outputFormat(m_settings.Output_format);
  size_t limit = static_cast<size_t>(std::max(1, m_settings.Threads));
  if (format.maxWorkers > 0) limit = std::min(limit, static_cast<size_t>(format.maxWorkers));
  if (!(RUN && prevthrfree.load() && thr.size() < limit)) return;
  // A worker waiting for memory that others hold goes first: nobody new starts meanwhile.
  if (MemoryBudget::process().waiting() > 0) return;
  // Reading the memory load costs tens of microseconds: only when a worker could start, not
  // at every tick while the pool is full.
  int load = m_memoryLoad ? m_memoryLoad() : 0;
  if (load >= 90) return;
  if (filelisttemp.empty()) {
    m_dispatchEnabled = false;
    m_watcherEnabled = true;
    return;
  }
  bool appended = false;
  try {
    PipelineEnv env{m_settings, counters, m_totals, m_log, &m_written};
    std::unique_ptr<TConversionThread> worker = m_threadFactory(env);
    if (!worker) throw std::runtime_error("no worker");
    TConversionThread& w = *worker;
    thr.push_back(std::move(worker));
    appended = true;
    w.filename = filelisttemp.front();
    w.kill = false;
    w.index = counter;
    counter = counter + 1;
    w.format = std::string(format.code);
    auto kept = m_keptFolders.find(w.filename);
    std::string folder = m_settings.Output_path + (kept == m_keptFolders.end() ? std::string() : kept->second);
    w.target = provisionalTarget(folder, w.filename, w.format);
    filelisttemp.pop_front();
    w.start();
  } catch (...) {
    // The entry of a worker whose thread never ran is dropped: nobody would ever reap it.
    if (appended) thr.pop_back();
    RUN = false;
    m_dispatchEnabled = false;
    m_reapEnabled = false;
    m_aborted = true;
    m_host.progressAborted();
    m_host.showMessage("Error creating thread!", "Error", RunHost::Icon::kError);
  }
}

void ConversionJob::reapTick() {
  if (!m_reapEnabled) return;
  std::lock_guard lock(m_reapLock);
  for (size_t i = 0; i < thr.size(); ++i) {
    if (thr[i]->kill.load()) {
      thr[i]->wait();
      thr.erase(thr.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
}

bool ConversionJob::completionTick() {
  if (!m_watcherEnabled || !thr.empty()) return false;
  m_watcherEnabled = false;
  m_reapEnabled = false;
  m_finished = true;
  memory::trimLargeBlockCache();  // an idle program keeps no picture memory
  return true;
}

void ConversionJob::cancel() {
  if (m_finished) return;
  m_cancelled = true;
  RUN = false;
  m_dispatchEnabled = false;
  m_watcherEnabled = true;
}

uint64_t ConversionJob::elapsedMs() const {
  return monotonicMs() - starttime;
}

void ConversionJob::runToCompletion(const std::function<void()>& onIdle) {
  uint64_t lastWatch = monotonicMs(), lastIdle = lastWatch;
  while (!m_finished) {
    if (m_aborted) {
      for (auto& worker : thr) worker->wait();
      thr.clear();
      break;
    }
    // A finished worker is freed before the dispatcher looks for room, so that its slot is
    // given to the next file in the same round.
    reapTick();
    dispatchTick();
    uint64_t now = monotonicMs();
    if (now - lastWatch >= 250 || (m_watcherEnabled && thr.empty())) {
      lastWatch = now;
      if (completionTick()) break;
    }
    if (onIdle && now - lastIdle >= 100) {
      lastIdle = now;
      onIdle();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (onIdle) onIdle();
}

}  // namespace brevane
