// INI line syntax shared by the settings store and the language files.
#include "base/ini_syntax.h"

#include <cstdint>

#include "base/strings.h"

namespace brevane {

namespace {

// A line break's CR left over from a file written elsewhere counts as a blank.
std::string_view trimBlanks(std::string_view t) { return trim(t, " \t\r"); }

}  // namespace

std::string_view skipUtf8Bom(std::string_view text) {
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    text.remove_prefix(3);
    return text;
  }
  // A mark cut short by a damaged save ("\xEF\xBB" or "\xEF" before plain text) is no text
  // either; left in place it would hide the first section's name.
  auto continuation = [&](size_t i) { return i < text.size() && (static_cast<uint8_t>(text[i]) & 0xC0) == 0x80; };
  if (text.size() >= 2 && text.compare(0, 2, "\xEF\xBB") == 0 && !continuation(2)) text.remove_prefix(2);
  else if (!text.empty() && text[0] == '\xEF' && !continuation(1)) text.remove_prefix(1);
  return text;
}

std::vector<std::string_view> splitIniLines(std::string_view text) {
  text = skipUtf8Bom(text);
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
  return lines;
}

IniLine classifyIniLine(std::string_view line) {
  std::string_view t = trimBlanks(line);
  IniLine out;
  if (t.empty()) return out;
  if (t.front() == ';') {
    out.kind = IniLineKind::kComment;
    return out;
  }
  if (t.front() == '[') {
    if (t.back() != ']' || t.size() < 2) {
      out.kind = IniLineKind::kOther;
      return out;
    }
    out.kind = IniLineKind::kSection;
    out.name = trimBlanks(t.substr(1, t.size() - 2));
    return out;
  }
  size_t eq = t.find('=');
  out.kind = IniLineKind::kOther;
  if (eq == std::string_view::npos) return out;
  std::string_view name = trimBlanks(t.substr(0, eq));
  if (name.empty()) return out;
  out.kind = IniLineKind::kKey;
  out.name = name;
  out.value = trimBlanks(t.substr(eq + 1));
  return out;
}

namespace {

// Lower case of one code point for the scripts names are likely to use.
char32_t lowerCodePoint(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;  // Latin-1
  if (c == 0x178) return 0xFF;                               // Ÿ
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149) {
    bool oddLower = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (oddLower) return (c % 2 == 1) ? c + 1 : c;  // Latin Extended-A pairs
    return (c % 2 == 0) ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic А-Я
  if (c >= 0x400 && c <= 0x40F) return c + 80;                // Cyrillic Ѐ-Џ
  if (c >= 0x460 && c <= 0x4FF && c % 2 == 0 && !(c >= 0x482 && c <= 0x489) && c != 0x4C0) return c + 1;
  return c;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string foldName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  size_t i = 0;
  while (i < name.size()) {
    auto b = static_cast<uint8_t>(name[i]);
    // Two-byte sequences cover every letter folded here; anything else is copied byte by byte.
    if (b >= 0xC2 && b <= 0xDF && i + 1 < name.size() && (static_cast<uint8_t>(name[i + 1]) & 0xC0) == 0x80) {
      char32_t c = (static_cast<char32_t>(b & 0x1F) << 6) | (static_cast<uint8_t>(name[i + 1]) & 0x3F);
      appendUtf8(out, lowerCodePoint(c));
      i += 2;
      continue;
    }
    out += static_cast<char>(b < 0x80 ? static_cast<char>(lowerCodePoint(b)) : name[i]);
    ++i;
  }
  return out;
}

bool sameIniName(std::string_view a, std::string_view b) {
  return foldName(a) == foldName(b);
}

}  // namespace brevane
