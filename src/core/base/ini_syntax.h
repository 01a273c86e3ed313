// INI line syntax shared by the settings store and the language files: line kinds and name
// comparison without regard to letter case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brevane {

enum class IniLineKind { kBlank, kComment, kSection, kKey, kOther };

/// One classified line. `name` is the trimmed section or key name, `value` the trimmed text
/// after the first "=" (everything to the end of the line, no quoting, no escapes).
struct IniLine {
  IniLineKind kind = IniLineKind::kBlank;
  std::string_view name;
  std::string_view value;
};

/// Classifies one line given without its line break (a trailing "\r" is treated as a blank).
IniLine classifyIniLine(std::string_view line);

/// The text's lines, each without its line break ("\n" or "\r\n"); a leading UTF-8
/// byte-order mark is not part of the first line.
std::vector<std::string_view> splitIniLines(std::string_view text);

/// The text without a leading UTF-8 byte-order mark, or without the first bytes of one that
/// was cut short (they cannot begin valid text).
std::string_view skipUtf8Bom(std::string_view text);

/// A name folded for case-insensitive comparison: ASCII, Latin-1, Latin Extended-A, Greek and
/// Cyrillic letters are lower-cased; other bytes stay as they are.
std::string foldName(std::string_view name);

/// True when two section or key names are equal without regard to letter case.
bool sameIniName(std::string_view a, std::string_view b);

}  // namespace brevane
