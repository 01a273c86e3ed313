// Date-time formatting with the core's format settings.
#include "base/datetime.h"

#include <langinfo.h>
#include <sys/time.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace brevane {

LocalDateTime toLocal(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0};
}

LocalDateTime localNow() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  LocalDateTime t = toLocal(tv.tv_sec);
  t.millisecond = static_cast<int>(tv.tv_usec / 1000);
  return t;
}

namespace {

// Replaces the separators of a locale pattern by the placeholders "/" and ":".
std::string normalise(const std::string& pattern, char placeholder, char& separator) {
  std::string out;
  bool found = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size()) {
      out += c;
      out += pattern[++i];
      continue;
    }
    bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alnum && c != ' ') {
      if (!found) {
        separator = c;
        found = true;
      }
      out += (c == separator) ? placeholder : c;
    } else {
      out += c;
    }
  }
  return out;
}

std::string two(int v) {
  char b[16];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

std::string expand(const std::string& pattern, const LocalDateTime& t, char dateSep, char timeSep) {
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '/') { out += dateSep; continue; }
    if (c == ':') { out += timeSep; continue; }
    if (c != '%' || i + 1 >= pattern.size()) { out += c; continue; }
    char k = pattern[++i];
    switch (k) {
      case 'd': out += two(t.day); break;
      case 'e': out += std::to_string(t.day); break;
      case 'm': out += two(t.month); break;
      case 'y': out += two(t.year % 100); break;
      case 'Y': { char b[16]; std::snprintf(b, sizeof b, "%04d", t.year); out += b; break; }
      case 'H': out += two(t.hour); break;
      case 'I': out += two(t.hour % 12 == 0 ? 12 : t.hour % 12); break;
      case 'M': out += two(t.minute); break;
      case 'S': out += two(t.second); break;
      case 'p': out += t.hour < 12 ? "AM" : "PM"; break;
      case 'T': out += two(t.hour) + timeSep + two(t.minute) + timeSep + two(t.second); break;
      case 'R': out += two(t.hour) + timeSep + two(t.minute); break;
      case 'D': out += two(t.month) + dateSep + two(t.day) + dateSep + two(t.year % 100); break;
      case '%': out += '%'; break;
      default: break;
    }
  }
  return out;
}

}  // namespace

DateTimeFormat DateTimeFormat::fromCLocale() {
  DateTimeFormat fs;
  const char* d = nl_langinfo(D_FMT);
  const char* t = nl_langinfo(T_FMT);
  if (d && *d) fs.shortDate = normalise(d, '/', fs.dateSeparator);
  if (t && *t) fs.longTime = normalise(t, ':', fs.timeSeparator);
  if (const lconv* lc = std::localeconv(); lc && lc->decimal_point && *lc->decimal_point)
    fs.decimalSeparator = lc->decimal_point[0];
  return fs;
}

DateTimeFormat DateTimeFormat::forFileNames() const {
  DateTimeFormat fs = *this;
  fs.dateSeparator = '_';
  fs.timeSeparator = '_';
  return fs;
}

std::string formatShortDate(const LocalDateTime& t, const DateTimeFormat& fs) {
  return expand(fs.shortDate, t, fs.dateSeparator, fs.timeSeparator);
}

std::string formatHourMinute(const LocalDateTime& t, const DateTimeFormat& fs) {
  return two(t.hour) + fs.timeSeparator + two(t.minute);
}

std::string formatLongTime(const LocalDateTime& t, const DateTimeFormat& fs) {
  return expand(fs.longTime, t, fs.dateSeparator, fs.timeSeparator);
}

bool isValidDateTime(const LocalDateTime& t) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12) return false;
  bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  int days = kDays[t.month - 1] + (t.month == 2 && leap ? 1 : 0);
  if (t.day < 1 || t.day > days) return false;
  return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second < 60 &&
         t.millisecond >= 0 && t.millisecond < 1000;
}

bool parseShortDate(const std::string& text, const DateTimeFormat& fs, LocalDateTime& out) {
  LocalDateTime t;
  size_t p = 0;
  auto number = [&](int maxDigits, int& v) {
    size_t start = p;
    v = 0;
    while (p < text.size() && p - start < static_cast<size_t>(maxDigits) && text[p] >= '0' && text[p] <= '9')
      v = v * 10 + (text[p++] - '0');
    return p > start;
  };
  const std::string& pat = fs.shortDate;
  for (size_t i = 0; i < pat.size(); ++i) {
    char c = pat[i];
    if (c == '%' && i + 1 < pat.size()) {
      char k = pat[++i];
      int v = 0;
      switch (k) {
        case 'd': case 'e': if (!number(2, v)) return false; t.day = v; break;
        case 'm': if (!number(2, v)) return false; t.month = v; break;
        case 'y': if (!number(4, v)) return false; t.year = v < 100 ? (v < 50 ? 2000 + v : 1900 + v) : v; break;
        case 'Y': if (!number(4, v)) return false; t.year = v; break;
        default: return false;
      }
      continue;
    }
    char expect = c == '/' ? fs.dateSeparator : c;
    if (p >= text.size() || text[p] != expect) return false;
    ++p;
  }
  while (p < text.size() && text[p] == ' ') ++p;
  if (p != text.size() || !isValidDateTime(t)) return false;
  out = t;
  return true;
}

}  // namespace brevane
