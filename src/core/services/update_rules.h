// The rules of the update check that need no network: the server's address, the request's
// fixed headers, the reading of the server's reply, the version comparison, the reminder
// interval and the download page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/datetime.h"

namespace brevane::services {

/// The update server's base address. It is a placeholder of this project that resolves
/// nowhere until a real server is set up; the environment variable below may point the check
/// elsewhere (the tests point it at a local server).
inline constexpr std::string_view kUpdateServer = "https://updates.brevane.invalid";
inline constexpr std::string_view kUpdateServerVariable = "BREVANE_UPDATE_SERVER";
/// The file on the server that holds the latest version number.
inline constexpr std::string_view kUpdateFilePath = "/update/Update_new.ini";
inline constexpr std::string_view kUpdateAccept = "text/html, */*";
/// Connect and read time-outs of the request.
inline constexpr int kUpdateTimeoutMs = 10000;
/// The reminder is offered when the last check lies more than this many whole days back.
inline constexpr int kUpdateReminderDays = 14;
/// The one-shot delay of the reminder after start-up.
inline constexpr int kUpdateReminderDelayMs = 2500;
/// A reply longer than this is not a version string; reading stops there.
inline constexpr std::size_t kMaxUpdateReplyBytes = 64;

/// "Brevane Updater v" followed by the program version string.
std::string updateUserAgent(std::string_view programVersion);

/// The base address to ask: the value of kUpdateServerVariable when it is set and not empty,
/// else kUpdateServer.
std::string updateServer(const char* variableValue);
/// The address of the version file on `server` (a trailing "/" of the server is dropped).
std::string updateFileUrl(std::string_view server);

/// A dotted version string ("1.0.6.811") read as its number: the digits with the dots removed,
/// as a decimal integer (106811). None when the text is not a dotted version: empty, longer
/// than kMaxUpdateReplyBytes, anything but digits and single dots between them (a sign, a
/// space, a line break, binary bytes), or a number beyond 64 bits.
std::optional<uint64_t> versionNumber(std::string_view text);

/// The program's own version number; 0 when its version string cannot be read.
uint64_t programVersionNumber(std::string_view programVersion);

enum class UpdateVerdict {
  kNewer,      // the server names a larger number: offer the download page
  kUpToDate,   // the same or a smaller number
  kUnreadable  // the reply is not a version string: the check failed
};

/// The verdict on the body of a successful reply; the numbers are compared, so 1.0.7.0 (1070)
/// counts as older than 1.0.6.811 (106811).
UpdateVerdict judgeUpdateReply(std::string_view body, uint64_t programNumber);

/// Whole days between two moments, the absolute difference with the fraction dropped.
int64_t wholeDaysBetween(const LocalDateTime& a, const LocalDateTime& b);

/// True when the reminder is due: more than kUpdateReminderDays whole days lie between the last
/// check and now, in either direction (a date in the future also counts).
bool updateReminderDue(const LocalDateTime& lastUpdate, const LocalDateTime& now);

/// The download page for a language: the Russian page when `lang` is exactly "Russian", the
/// English page otherwise.
std::string downloadPage(std::string_view lang);

}  // namespace brevane::services
