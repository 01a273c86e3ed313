// The preset sizes of the resize page, their parser and decoration, and the aspect-ratio text.
#include "imaging/presets.h"

#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <optional>

#include "base/strings.h"

namespace brevane::imaging {

namespace {

size_t characterCount(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;  // UTF-8 continuation bytes do not count
  return n;
}

// A decimal integer with an optional sign, nothing else, within 32 bits.
std::optional<int> toInt(const std::string& text) {
  std::string s(trimSpaceAndControls(text));
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i == s.size()) return std::nullopt;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return std::nullopt;
    v = v * 10 + (s[i] - '0');
    if (v > int64_t{2147483648}) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > 2147483647 || v < -int64_t{2147483648}) return std::nullopt;
  return static_cast<int>(v);
}

}  // namespace

const std::vector<std::string>& presetSizes() {
  static const std::vector<std::string> kPresets = {"--",        "120x90",    "160x120",
                                                    "200x150",   "320x240",   "400x300",
                                                    "640x480",   "800x600",   "1024x600 ( \u224815:9 )  0,61 M",
                                                    "1024x768",  "1280x720",  "1280x768",
                                                    "1280x800",  "1200x900",  "1280x800",
                                                    "1280x1024", "1360x768",  "1366x768 ( \u224816:9 ) 1,04 M",
                                                    "1440x900",  "1680x1050", "1600x1200",
                                                    "1920x1080", "1920x1200", "2048x1152",
                                                    "2048x1536", "2272x1704", "2560x1440",
                                                    "2560x1600", "2560x2048", "3200x2048",
                                                    "3200x2400", "3840x2400", "4096x2160",
                                                    "5120x4096", "6400x4096", "6400x4800",
                                                    "7680x4320", "7680x4800"};
  return kPresets;
}

Size parsePresetSize(const std::string& entry) {
  const Size invalid{-1, -1};
  if (characterCount(entry) < 4) return invalid;
  std::string s;
  for (char c : entry)
    if (c != ' ') s += c;
  const size_t x = s.find('x');
  if (x == std::string::npos) return invalid;
  const size_t paren = s.find('(');
  if (paren != std::string::npos && paren < x) return invalid;
  const std::optional<int> w = toInt(s.substr(0, x));
  const std::optional<int> h = toInt(s.substr(x + 1, paren == std::string::npos ? std::string::npos : paren - x - 1));
  if (!w || !h) return invalid;
  return {*w, *h};
}

std::string aspectText(int width, int height) {
  const int g = (width == 0 || height == 0) ? 0 : std::gcd(width, height);
  if (g == 0) return std::to_string(width) + ":" + std::to_string(height);
  return std::to_string(width / g) + ":" + std::to_string(height / g);
}

std::string megapixelText(int width, int height, char decimalSeparator) {
  // Hundredths of a megapixel, rounded exactly with ties to even.
  const int64_t area = static_cast<int64_t>(width) * height;
  const bool negative = area < 0;
  const int64_t a = negative ? -area : area;
  int64_t q = a / 10000;
  const int64_t rest = a % 10000;
  if (rest > 5000 || (rest == 5000 && (q & 1))) ++q;
  std::string out = (negative && q != 0 ? "-" : "") + std::to_string(q / 100);
  const int64_t frac = q % 100;
  if (frac != 0) {
    out += decimalSeparator;
    out += static_cast<char>('0' + frac / 10);
    if (frac % 10 != 0) out += static_cast<char>('0' + frac % 10);
  }
  return out;
}

std::string decoratePreset(const std::string& entry, char decimalSeparator) {
  const Size size = parsePresetSize(entry);
  if (size.width == -1 || size.height == -1 || entry.find(':') != std::string::npos) return entry;
  return std::to_string(size.width) + "x" + std::to_string(size.height) + " ( " + aspectText(size.width, size.height) +
         " ) " + megapixelText(size.width, size.height, decimalSeparator) + " M";
}

std::vector<std::string> decoratedPresetSizes(char decimalSeparator) {
  std::vector<std::string> out;
  for (const std::string& entry : presetSizes()) out.push_back(decoratePreset(entry, decimalSeparator));
  return out;
}

}  // namespace brevane::imaging
