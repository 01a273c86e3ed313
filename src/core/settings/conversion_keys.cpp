// The run options as settings keys.
#include "settings/conversion_keys.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "base/platform.h"

namespace brevane::settings {

std::optional<long long> parseIntegerValue(std::string_view text) {
  std::string_view t = text;
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
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
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return std::nullopt;
    v = v * base + d;
    if (v > 0xFFFFFFFFLL) return std::nullopt;
  }
  // Hexadecimal texts are 32-bit patterns: $FFFFFFFF reads as -1.
  if (base == 16 && v > 0x7FFFFFFFLL) v -= 0x100000000LL;
  return negative ? -v : v;
}

namespace {

struct KeyDef {
  std::string_view name;
  std::function<bool(TConversionSettings&, std::string_view)> apply;
};

auto intKey(int TConversionSettings::*field, std::function<int()> lo, std::function<int()> hi) {
  return [=](TConversionSettings& s, std::string_view v) {
    auto n = parseIntegerValue(v);
    if (!n) return false;
    s.*field = static_cast<int>(std::clamp<long long>(*n, lo(), hi()));
    return true;
  };
}
auto intKey(int TConversionSettings::*field, int lo, int hi) {
  return intKey(field, [lo] { return lo; }, [hi] { return hi; });
}
auto boolKey(bool TConversionSettings::*field) {
  return [=](TConversionSettings& s, std::string_view v) {
    auto n = parseIntegerValue(v);
    if (!n) return false;
    s.*field = *n != 0;
    return true;
  };
}
auto stringKey(std::string TConversionSettings::*field) {
  return [=](TConversionSettings& s, std::string_view v) {
    s.*field = std::string(v);
    return true;
  };
}

const std::vector<KeyDef>& keys() {
  static const std::vector<KeyDef> kKeys = {
      {"Threads", intKey(&TConversionSettings::Threads, [] { return 1; }, [] { return cpuCount(); })},
      {"JPG_quality", intKey(&TConversionSettings::JPG_quality, 1, 100)},
      {"J2K_quality", intKey(&TConversionSettings::J2K_quality, 1, 100)},
      {"JPG_progressive", boolKey(&TConversionSettings::JPG_progressive)},
      {"Auto_format", boolKey(&TConversionSettings::Auto_format)},
      {"Overwrite", boolKey(&TConversionSettings::Overwrite)},
      {"SmartCrop_enable", boolKey(&TConversionSettings::SmartCrop_enable)},
      {"Text_Shadow", boolKey(&TConversionSettings::Text_Shadow)},
      {"PNG_compression", intKey(&TConversionSettings::PNG_compression, 0, 9)},
      {"Output_path", stringKey(&TConversionSettings::Output_path)},
      {"Rename_mask", stringKey(&TConversionSettings::Rename_mask)},
      {"Watermark_text_mask", stringKey(&TConversionSettings::Watermark_text_mask)},
      {"Output_format", intKey(&TConversionSettings::Output_format, 0, 5)},
      {"Text_position", intKey(&TConversionSettings::Text_position, 0, 6)},
      {"Img_position", intKey(&TConversionSettings::Img_position, 0, 6)},
      {"Img_path", stringKey(&TConversionSettings::Img_path)},
      {"Img_watermark_enabled", boolKey(&TConversionSettings::Img_watermark_enabled)},
      {"Text_opacity", intKey(&TConversionSettings::Text_opacity, 1, 100)},
      {"Resampling_filter", intKey(&TConversionSettings::Resampling_filter, 0, 6)},
      {"Selected_mode",
       [](TConversionSettings& s, std::string_view v) {
         auto n = parseIntegerValue(v);
         if (!n) return false;
         if (*n >= 0 && *n <= 2) s.Selected_mode = static_cast<int>(*n);  // other values select nothing
         return true;
       }},
      {"Resize_width", intKey(&TConversionSettings::Resize_width, 1, 99999)},
      {"Resize_height", intKey(&TConversionSettings::Resize_height, 1, 99999)},
      {"Resize_percent", intKey(&TConversionSettings::Resize_percent, 1, 200)},
      {"Counter_length", intKey(&TConversionSettings::Counter_length, 1, 10)},
      {"Resize_proportional", boolKey(&TConversionSettings::Resize_proportional)},
      {"Rename_enabled", boolKey(&TConversionSettings::Rename_enabled)},
      {"Exif", boolKey(&TConversionSettings::Exif)},
      {"EnlargeIfSmall", boolKey(&TConversionSettings::EnlargeIfSmall)},
      {"Png_interlace", boolKey(&TConversionSettings::Png_interlace)},
      {"Png_filter", boolKey(&TConversionSettings::Png_filter)},
      {"J2K_Lossless", boolKey(&TConversionSettings::J2K_Lossless)},
      {"Watermark_enable", boolKey(&TConversionSettings::Watermark_enable)},
  };
  return kKeys;
}

bool sameName(std::string_view a, std::string_view b) { return toLower(std::string(a)) == toLower(std::string(b)); }

}  // namespace

ApplyResult applySettingsKey(TConversionSettings& settings, std::string_view key, std::string_view value) {
  for (const KeyDef& def : keys())
    if (sameName(def.name, key)) return def.apply(settings, value) ? ApplyResult::kApplied : ApplyResult::kMalformed;
  for (std::string_view state : {"Language", "Mainform_height", "LastUpdateDate", "AllProcessedBytes", "AllProcessedFiles"})
    if (sameName(state, key)) return ApplyResult::kIgnored;
  return ApplyResult::kUnknownKey;
}

namespace {

std::string_view trim(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  return t;
}

}  // namespace

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
