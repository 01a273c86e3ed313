// The log of exceptions that escape an event handler of the desktop program: where it lies,
// what one line holds, and the append.
#pragma once

#include <string>
#include <string_view>

#include "base/datetime.h"

namespace brevane::services {

/// The executable's path with the extension of its name replaced by ".error.log" (appended
/// when the name has none): /usr/bin/brevane gives /usr/bin/brevane.error.log.
std::string exceptionLogPath(const std::string& executablePath);

/// The same file name under "<state>/Brevane/", for when the executable's folder is not
/// writable: <state> is XDG_STATE_HOME when it is absolute, else <home>/.local/state.
std::string exceptionLogFallbackPath(const std::string& executablePath, const char* xdgStateHome,
                                     const std::string& home);

/// One line: the local date (short date) and time (long time), " : ", the message, "\n".
/// Line breaks inside the message become spaces, so one exception is always one line.
std::string exceptionLogLine(const LocalDateTime& now, const DateTimeFormat& fs, std::string_view message);

/// Appends `line` to `primary`, creating it when missing; when that fails, to `fallback`
/// (its folders created). Returns the path written, or "" when neither could be written.
/// The file is opened and closed for this one line and never truncated.
std::string appendExceptionLog(const std::string& primary, const std::string& fallback, std::string_view line);

}  // namespace brevane::services
