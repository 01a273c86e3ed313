// The core's own date-time format settings (textfs / filefs) and the patterns used with them.
#pragma once

#include <ctime>
#include <string>

namespace brevane {

/// A broken-down local date and time with milliseconds.
struct LocalDateTime {
  int year = 1970, month = 1, day = 1;  // month 1-12
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

LocalDateTime localNow();
LocalDateTime toLocal(std::time_t t);

/// Locale conventions for dates and times. Patterns use strftime conversions (%d %m %y %Y %e
/// %H %I %M %S %p); in `shortDate` every "/" stands for the date separator and in `longTime`
/// every ":" for the time separator.
struct DateTimeFormat {
  std::string shortDate = "%m/%d/%y";
  std::string longTime = "%H:%M:%S";
  char dateSeparator = '/';
  char timeSeparator = ':';
  char decimalSeparator = '.';

  /// The C library's locale (after setlocale(LC_ALL, "")): nl_langinfo(D_FMT / T_FMT).
  static DateTimeFormat fromCLocale();
  /// The same conventions with "_" as date and time separator, for file names.
  DateTimeFormat forFileNames() const;
};

/// "ddddd": the short date with the settings' date separator.
std::string formatShortDate(const LocalDateTime& t, const DateTimeFormat& fs);
/// "hh:mm": two-digit 24-hour hour and minutes joined by the time separator.
std::string formatHourMinute(const LocalDateTime& t, const DateTimeFormat& fs);
/// The long time format (hours, minutes, seconds) with the time separator.
std::string formatLongTime(const LocalDateTime& t, const DateTimeFormat& fs);
/// Parses a date written by formatShortDate; false when it does not match or is invalid.
bool parseShortDate(const std::string& text, const DateTimeFormat& fs, LocalDateTime& out);
/// True for a real calendar date and a valid time of day.
bool isValidDateTime(const LocalDateTime& t);

}  // namespace brevane
