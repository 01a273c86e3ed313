// The log of exceptions that escape an event handler of the desktop program.
#include "services/exception_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "base/paths.h"
#include "base/platform.h"

namespace brevane::services {

namespace {

bool appendTo(const std::string& path, std::string_view line) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  const char* p = line.data();
  size_t left = line.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  ok = ::close(fd) == 0 && ok;
  return ok;
}

}  // namespace

std::string exceptionLogPath(const std::string& executablePath) {
  const std::string ext = extensionOf(executablePath);
  return executablePath.substr(0, executablePath.size() - ext.size()) + ".error.log";
}

std::string exceptionLogFallbackPath(const std::string& executablePath, const char* xdgStateHome,
                                     const std::string& home) {
  std::string base = xdgStateHome && xdgStateHome[0] == '/' ? xdgStateHome : home + "/.local/state";
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base + "/Brevane/" + namePart(exceptionLogPath(executablePath));
}

std::string exceptionLogLine(const LocalDateTime& now, const DateTimeFormat& fs, std::string_view message) {
  std::string text(message);
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return formatShortDate(now, fs) + " " + formatLongTime(now, fs) + " : " + text + "\n";
}

std::string appendExceptionLog(const std::string& primary, const std::string& fallback, std::string_view line) {
  if (appendTo(primary, line)) return primary;
  if (fallback.empty()) return {};
  std::string folder = folderPart(fallback);
  if (!folder.empty()) createDirectories(folder.substr(0, folder.size() - 1));
  if (appendTo(fallback, line)) return fallback;
  return {};
}

}  // namespace brevane::services
