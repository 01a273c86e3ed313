// Runs the built brevane-batch with arguments and returns its exit status and output.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace brevane::test {

struct BatchResult {
  int status = -1;
  std::string output;  // what the command wrote (by default stdout and stderr together)
};

inline std::string shellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

/// The shell command that runs brevane-batch with `args`, after an optional command prefix
/// such as {"env", "XDG_CONFIG_HOME=/tmp/x"}.
inline std::string batchCommand(const std::vector<std::string>& args, const std::vector<std::string>& prefix = {}) {
  std::string cmd;
  for (const std::string& p : prefix) cmd += shellQuote(p) + " ";
  cmd += shellQuote(BREVANE_BATCH_EXE);
  for (const std::string& a : args) cmd += " " + shellQuote(a);
  return cmd;
}

/// Runs a shell command and collects its standard output.
inline BatchResult runCommand(const std::string& cmd) {
  BatchResult r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.output.append(buf.data(), n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

inline BatchResult runBatch(const std::vector<std::string>& args) {
  return runCommand(batchCommand(args) + " 2>&1");
}

/// Standard output alone, or standard error alone.
inline BatchResult runBatchStdout(const std::vector<std::string>& args, const std::vector<std::string>& prefix = {}) {
  return runCommand(batchCommand(args, prefix) + " 2>/dev/null");
}
inline BatchResult runBatchStderr(const std::vector<std::string>& args, const std::vector<std::string>& prefix = {}) {
  return runCommand(batchCommand(args, prefix) + " 2>&1 >/dev/null");
}

}  // namespace brevane::test
