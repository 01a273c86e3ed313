// Helpers of the reliability tests: folder listings and fingerprints of files.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace brevane::test {

/// Names in a folder (hidden ones included), sorted.
inline std::vector<std::string> folderEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

inline mode_t currentUmask() {
  mode_t m = ::umask(0);
  ::umask(m);
  return m;
}

/// FNV-1a of a file's bytes with its size: enough to see that a source never changed.
inline uint64_t fingerprint(const std::string& path) {
  std::vector<uint8_t> bytes = readBytes(path);
  uint64_t h = 1469598103934665603ull ^ bytes.size();
  for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
  return h;
}

/// Fingerprints of several files, to compare before and after a run.
inline std::map<std::string, uint64_t> fingerprints(const std::vector<std::string>& paths) {
  std::map<std::string, uint64_t> out;
  for (const std::string& p : paths) out[p] = fingerprint(p);
  return out;
}

}  // namespace brevane::test

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>

namespace brevane::test {

/// What a function did in a child process: the most memory it made resident beyond what the
/// process held before (KiB), and the message of the exception it ended with ("" for none).
struct ChildOutcome {
  bool exited = false;  // false: the child crashed or was killed
  long growthKiB = 0;
  std::string message;
};

/// Runs `fn` in a forked child, so that its peak memory can be read on its own.
inline ChildOutcome inChild(const std::function<void()>& fn) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return {};
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeFds[0]);
    long before = 0;
    {
      std::ifstream statm("/proc/self/statm");
      long size = 0, resident = 0;
      statm >> size >> resident;
      before = resident * (::sysconf(_SC_PAGESIZE) / 1024);
    }
    std::string message;
    try {
      fn();
    } catch (const std::exception& e) {
      message = e.what();
      if (message.empty()) message = "(empty message)";
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    long growth = usage.ru_maxrss - before;
    (void)!::write(pipeFds[1], &growth, sizeof growth);
    (void)!::write(pipeFds[1], message.data(), message.size());
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  ChildOutcome out;
  if (pid < 0) {
    ::close(pipeFds[0]);
    return out;
  }
  long growth = 0;
  bool haveGrowth = ::read(pipeFds[0], &growth, sizeof growth) == static_cast<ssize_t>(sizeof growth);
  char buf[4096];
  ssize_t n;
  while ((n = ::read(pipeFds[0], buf, sizeof buf)) > 0) out.message.append(buf, static_cast<size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  out.exited = haveGrowth && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  out.growthKiB = growth;
  return out;
}

}  // namespace brevane::test
