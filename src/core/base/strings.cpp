// Small text helpers: ASCII case folding and comparison, trimming.
#include "base/strings.h"

namespace brevane {

namespace {

constexpr char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string toUpper(std::string s) {
  for (char& c : s) c = upperAscii(c);
  return s;
}

std::string toLower(std::string s) {
  for (char& c : s) c = lowerAscii(c);
  return s;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && matchesAtIgnoreCase(a, 0, b);
}

bool matchesAtIgnoreCase(std::string_view text, size_t pos, std::string_view token) {
  if (pos > text.size() || text.size() - pos < token.size()) return false;
  for (size_t i = 0; i < token.size(); ++i)
    if (upperAscii(text[pos + i]) != upperAscii(token[i])) return false;
  return true;
}

std::string_view trim(std::string_view text, std::string_view blanks) {
  size_t begin = text.find_first_not_of(blanks);
  if (begin == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(blanks);
  return text.substr(begin, end - begin + 1);
}

std::string_view trimSpaceAndControls(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace brevane
