// Small text helpers: ASCII case folding and comparison, trimming.
#pragma once

#include <string>
#include <string_view>

namespace brevane {

/// ASCII upper / lower case copies; other bytes (UTF-8 sequences included) are left as they are.
std::string toUpper(std::string s);
std::string toLower(std::string s);
/// One character's ASCII upper case.
constexpr char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

/// True when `a` and `b` are equal with ASCII letters compared without regard to case.
bool equalsIgnoreCase(std::string_view a, std::string_view b);
/// True when `text` holds `token` at `pos` (ASCII letters compared without regard to case).
bool matchesAtIgnoreCase(std::string_view text, size_t pos, std::string_view token);

/// `text` without any of the characters of `blanks` at either end.
std::string_view trim(std::string_view text, std::string_view blanks = " \t");
/// `text` without spaces and control characters (every byte up to 0x20) at either end.
std::string_view trimSpaceAndControls(std::string_view text);

}  // namespace brevane
