// The rename mask and the text mask: per-file variables replaced step by step, each step
// working on the text the previous steps produced.
#include "imaging/masks.h"

#include <sys/stat.h>

#include <algorithm>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "base/error.h"
#include "base/paths.h"
#include "base/strings.h"
#include "exif/exif.h"

namespace brevane::imaging {

namespace {

bool containsToken(const std::string& text, const std::string& token) {
  for (size_t pos = 0; pos + token.size() <= text.size(); ++pos)
    if (matchesAtIgnoreCase(text, pos, token)) return true;
  return false;
}

using Steps = std::vector<std::pair<const char*, std::string>>;

std::string substitute(std::string text, const Steps& steps) {
  for (const auto& [token, value] : steps) text = replaceToken(text, token, value);
  return text;
}

std::string counterText(int index, int counterLength) {
  int width = std::clamp(counterLength, 1, 10);
  return format("%.*d", width, index);
}

// The file's last write time in local time; nothing when it cannot be read.
std::optional<LocalDateTime> fileTime(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  LocalDateTime t = toLocal(st.st_mtime);
  if (!isValidDateTime(t)) return std::nullopt;
  return t;
}

// "[ET]" and "[ED]" of the text mask: the Exif date of a JPEG source, else the file's time,
// else (nothing readable) the current time.
std::pair<std::string, std::string> exifTimeAndDate(const std::string& filename, const DateTimeFormat& fs,
                                                    const LocalDateTime& now) {
  try {
    exif::ExifDate d = exif::readExifDate(filename);
    if (d.kind == exif::ExifDate::Kind::kDate) return {formatLongTime(d.value, fs), formatShortDate(d.value, fs)};
    if (std::optional<LocalDateTime> t = fileTime(filename)) return {formatHourMinute(*t, fs), formatShortDate(*t, fs)};
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    // An unreadable source or Exif block falls back to the current time.
  }
  return {formatHourMinute(now, fs), formatShortDate(now, fs)};
}

}  // namespace

std::string replaceToken(const std::string& text, const std::string& token, const std::string& value) {
  if (token.empty()) return text;
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    if (matchesAtIgnoreCase(text, pos, token)) {
      out += value;
      pos += token.size();
    } else {
      out += text[pos++];
    }
  }
  return out;
}

std::string ExpandNameMask(const std::string& mask, int counterLength, const MaskInput& input,
                           const DateTimeFormat& filefs) {
  return ExpandNameMask(mask, counterLength, input, filefs, localNow());
}

std::string ExpandNameMask(const std::string& mask, int counterLength, const MaskInput& input,
                           const DateTimeFormat& filefs, const LocalDateTime& now) {
  LocalDateTime ft = fileTime(input.filename).value_or(now);
  return substitute(folderPart(input.target) + mask, {
                                                         {"[N]", stemOf(input.filename)},
                                                         {"[E]", extensionOf(input.target)},
                                                         {"[W]", std::to_string(input.width)},
                                                         {"[H]", std::to_string(input.height)},
                                                         {"[T]", formatHourMinute(now, filefs)},
                                                         {"[D]", formatShortDate(now, filefs)},
                                                         {"[FCD]", formatShortDate(ft, filefs)},
                                                         {"[FCT]", formatHourMinute(ft, filefs)},
                                                         {"[C]", counterText(input.index, counterLength)},
                                                     });
}

std::string ExpandTextMask(const std::string& mask, const MaskInput& input, const DateTimeFormat& textfs) {
  return ExpandTextMask(mask, input, textfs, localNow());
}

std::string ExpandTextMask(const std::string& mask, const MaskInput& input, const DateTimeFormat& textfs,
                           const LocalDateTime& now) {
  LocalDateTime ft = fileTime(input.filename).value_or(now);
  std::string text = substitute(mask, {
                                          {"[N]", stemOf(input.filename)},
                                          {"[E]", extensionOf(input.target)},
                                          {"[W]", std::to_string(input.width)},
                                          {"[H]", std::to_string(input.height)},
                                          {"[T]", formatHourMinute(now, textfs)},
                                          {"[D]", formatShortDate(now, textfs)},
                                          {"[C]", std::to_string(input.index)},
                                          {"[FCD]", formatShortDate(ft, textfs)},
                                          {"[FCT]", formatHourMinute(ft, textfs)},
                                      });
  // The source is opened for its Exif date only when the text still asks for it.
  if (!containsToken(text, "[ET]") && !containsToken(text, "[ED]")) return text;
  std::pair<std::string, std::string> timeAndDate = exifTimeAndDate(input.filename, textfs, now);
  return substitute(text, {{"[ET]", timeAndDate.first}, {"[ED]", timeAndDate.second}});
}

std::string uniqueNameGuard(const std::string& mask) {
  if (mask.find("[C]") == std::string::npos && mask.find("[N]") == std::string::npos) return "[C]_" + mask;
  return mask;
}

std::string renameSample(const std::string& mask, int counterLength, int width, int height, const LocalDateTime& now,
                         const DateTimeFormat& filefs) {
  std::string time = formatHourMinute(now, filefs), date = formatShortDate(now, filefs);
  return substitute(mask, {
                              {"[N]", "Filename"},
                              {"[E]", ".jpg"},
                              {"[W]", std::to_string(width)},
                              {"[H]", std::to_string(height)},
                              {"[T]", time},
                              {"[FCT]", time},
                              {"[D]", date},
                              {"[FCD]", date},
                              {"[C]", counterText(15, counterLength)},
                          });
}

std::string textSample(const std::string& mask, int width, int height, const LocalDateTime& now,
                       const DateTimeFormat& textfs) {
  std::string time = formatHourMinute(now, textfs), date = formatShortDate(now, textfs);
  return substitute(mask, {
                              {"[N]", "Filename"},
                              {"[E]", ".jpg"},
                              {"[W]", std::to_string(width)},
                              {"[H]", std::to_string(height)},
                              {"[T]", time},
                              {"[ET]", time},
                              {"[FCT]", time},
                              {"[D]", date},
                              {"[ED]", date},
                              {"[FCD]", date},
                              {"[C]", "15"},
                          });
}

}  // namespace brevane::imaging
