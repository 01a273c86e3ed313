// The rules of the update check that need no network.
#include "services/update_rules.h"

#include <cstdlib>

namespace brevane::services {

namespace {

// Days from 1970-01-01 to a civil date of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int64_t millisecondsOf(const LocalDateTime& t) {
  int64_t seconds = daysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
  return seconds * 1000 + t.millisecond;
}

}  // namespace

std::string updateUserAgent(std::string_view programVersion) {
  return "Brevane Updater v" + std::string(programVersion);
}

std::string updateServer(const char* variableValue) {
  if (variableValue && *variableValue) return variableValue;
  return std::string(kUpdateServer);
}

std::string updateFileUrl(std::string_view server) {
  while (!server.empty() && server.back() == '/') server.remove_suffix(1);
  return std::string(server) + std::string(kUpdateFilePath);
}

std::optional<uint64_t> versionNumber(std::string_view text) {
  if (text.empty() || text.size() > kMaxUpdateReplyBytes) return std::nullopt;
  uint64_t value = 0;
  bool digitBefore = false;  // a dot needs a digit on both sides
  for (char c : text) {
    if (c == '.') {
      if (!digitBefore) return std::nullopt;
      digitBefore = false;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    const uint64_t d = static_cast<uint64_t>(c - '0');
    if (value > (UINT64_MAX - d) / 10) return std::nullopt;
    value = value * 10 + d;
    digitBefore = true;
  }
  if (!digitBefore) return std::nullopt;
  return value;
}

uint64_t programVersionNumber(std::string_view programVersion) {
  return versionNumber(programVersion).value_or(0);
}

UpdateVerdict judgeUpdateReply(std::string_view body, uint64_t programNumber) {
  std::optional<uint64_t> remote = versionNumber(body);
  if (!remote) return UpdateVerdict::kUnreadable;
  return *remote > programNumber ? UpdateVerdict::kNewer : UpdateVerdict::kUpToDate;
}

int64_t wholeDaysBetween(const LocalDateTime& a, const LocalDateTime& b) {
  return std::llabs(millisecondsOf(a) - millisecondsOf(b)) / (86400LL * 1000);
}

bool updateReminderDue(const LocalDateTime& lastUpdate, const LocalDateTime& now) {
  return wholeDaysBetween(lastUpdate, now) > kUpdateReminderDays;
}

std::string downloadPage(std::string_view lang) {
  if (lang == "Russian") return "https://ru.brevane.invalid/Download";
  return "https://www.brevane.invalid/Download";
}

}  // namespace brevane::services
