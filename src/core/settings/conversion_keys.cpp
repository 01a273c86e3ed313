// The run options as settings keys.
#include "settings/conversion_keys.h"

#include <algorithm>

#include "base/strings.h"
#include "settings/settings_store.h"

namespace brevane::settings {

std::optional<long long> parseIntegerValue(std::string_view text) {
  std::string_view t = trim(text);
  bool negative = false;
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  int base = 10;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    t.remove_prefix(2);
  } else if (!t.empty() && t[0] == '$') {
    base = 16;
    t.remove_prefix(1);
  }
  if (t.empty()) return std::nullopt;
  long long v = 0;
  for (char c : t) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return std::nullopt;
    v = v * base + d;
    if (v > 0xFFFFFFFFLL) return std::nullopt;
  }
  // Hexadecimal texts are 32-bit patterns: $FFFFFFFF reads as -1.
  if (base == 16 && v > 0x7FFFFFFFLL) v -= 0x100000000LL;
  return negative ? -v : v;
}

ApplyResult applySettingsKey(TConversionSettings& settings, std::string_view key, std::string_view value) {
  const SettingsKey* def = findSettingsKey(key);
  if (!def) return ApplyResult::kUnknownKey;
  if (isApplicationStateKey(*def)) return ApplyResult::kIgnored;
  Environment env = Environment::current();
  auto parsed = parseSettingsValue(*def, value, env);
  if (!parsed) return ApplyResult::kMalformed;
  AppSettings state;
  state.conversion = std::move(settings);
  applySettingsValue(state, *def, *parsed);
  settings = std::move(state.conversion);
  return ApplyResult::kApplied;
}

void applyFontString(FontSpec& font, std::string_view text) {
  std::string_view rest = text;
  for (int field = 0; field < 5; ++field) {
    std::string_view value;
    if (field < 4) {
      size_t comma = rest.find(',');
      if (comma == std::string_view::npos) return;  // a field counts only when a comma follows
      value = trim(rest.substr(0, comma));
      rest.remove_prefix(comma + 1);
    } else {
      value = trim(rest);
    }
    if (value.empty()) continue;
    if (field == 0) {
      font.name = std::string(value);
      continue;
    }
    auto n = parseIntegerValue(value);
    if (!n) continue;
    switch (field) {
      case 1: font.charset = static_cast<int>(std::clamp<long long>(*n, 0, 255)); break;
      case 2: font.color = static_cast<int32_t>(*n); break;
      case 3: font.size = static_cast<int>(*n); break;
      case 4: font.style = static_cast<int>(*n & 15); break;
    }
  }
}

std::string fontString(const FontSpec& font) {
  return font.name + "," + std::to_string(font.charset) + "," + std::to_string(font.color) + "," +
         std::to_string(font.size) + "," + std::to_string(font.style);
}

}  // namespace brevane::settings
