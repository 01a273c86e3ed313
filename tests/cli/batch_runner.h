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
  std::string output;  // stdout and stderr together
};

inline std::string shellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline BatchResult runBatch(const std::vector<std::string>& args) {
  std::string cmd = shellQuote(BREVANE_BATCH_EXE);
  for (const std::string& a : args) cmd += " " + shellQuote(a);
  cmd += " 2>&1";
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

}  // namespace brevane::test
