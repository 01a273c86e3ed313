// The table of settings keys bound to the fields of the options record, their defaults and
// their values as text.
#include "settings/settings_keys.h"

#include <algorithm>
#include <climits>
#include <functional>

#include "base/error.h"
#include "base/ini_syntax.h"
#include "base/platform.h"
#include "base/strings.h"
#include "codecs/output_formats.h"
#include "settings/ini_file.h"

namespace brevane::settings {

Environment Environment::current(int screenWidth, int screenHeight) {
  Environment env;
  env.cpuCount = brevane::cpuCount();
  env.screenWidth = screenWidth;
  env.screenHeight = screenHeight;
  env.programFolder = brevane::programFolder();
  env.homeFolder = brevane::homeFolder();
  env.now = localNow();
  return env;
}

namespace {

using Getter = std::function<SettingsValue(const AppSettings&)>;
using Setter = std::function<void(AppSettings&, const SettingsValue&)>;

struct KeyEntry {
  SettingsKey key;
  Getter get;
  Setter set;
};

// A key bound to its field; `field` maps a (const or mutable) state to the field.
template <typename T, typename Field>
KeyEntry entry(SettingsKey key, Field field) {
  return {key, [field](const AppSettings& s) -> SettingsValue { return static_cast<T>(field(s)); },
          [field](AppSettings& s, const SettingsValue& v) { field(s) = std::get<T>(v); }};
}

#define BRV_CONV(member)        \
  [](auto& s) -> auto& {        \
    return s.conversion.member; \
  }
#define BRV_APP(member)  \
  [](auto& s) -> auto& { \
    return s.member;     \
  }

// The output formats are those of the format table: a new format is a row there.
int lastOutputFormat() {
  return static_cast<int>(codecs::outputFormats().size()) - 1;
}

std::string_view outputFormatMeaning() {
  static const std::string kMeaning = [] {
    std::string text = "output format:";
    for (const codecs::OutputFormatInfo& f : codecs::outputFormats())
      text += (f.index() > 0 ? ", " : " ") + std::to_string(f.index()) + " " + std::string(f.code);
    return text;
  }();
  return kMeaning;
}

// One row per key: name, type, control, range rule, minimum, maximum, default rule, default,
// meaning, application state.
const std::vector<KeyEntry>& entries() {
  using enum ValueType;
  using enum RangeRule;
  using enum DefaultRule;
  static const std::vector<KeyEntry> kEntries = {
      entry<int32_t>({"Threads", kInteger, "SpinEdit1", kClamp, 1, kMaxIsCpuCount, kCpuCount, "",
                      "worker threads of a run (always 1 for JPEG 2000 output)"},
                     BRV_CONV(Threads)),
      entry<int32_t>({"JPG_quality", kInteger, "TrackBar1", kClamp, 1, 100, kText, "85", "JPEG quality"},
                     BRV_CONV(JPG_quality)),
      entry<int32_t>({"J2K_quality", kInteger, "TrackBar3", kClamp, 1, 100, kText, "75", "JPEG 2000 quality"},
                     BRV_CONV(J2K_quality)),
      entry<bool>({"JPG_progressive", kBoolean, "CheckBox1", kNone, 0, 0, kText, "0", "progressive JPEG"},
                  BRV_CONV(JPG_progressive)),
      entry<bool>({"Auto_format", kBoolean, "CheckBox3", kNone, 0, 0, kText, "0",
                   "write the smaller of JPEG and PNG (JPEG only for JPEG sources) instead of Output_format"},
                  BRV_CONV(Auto_format)),
      entry<bool>({"Overwrite", kBoolean, "CheckBox2", kNone, 0, 0, kText, "0", "overwrite existing output files"},
                  BRV_CONV(Overwrite)),
      entry<bool>({"SmartCrop_enable", kBoolean, "CheckBox7", kNone, 0, 0, kText, "0",
                   "crop to the target's proportions before fitting to width and height"},
                  BRV_CONV(SmartCrop_enable)),
      entry<bool>({"Text_Shadow", kBoolean, "CheckBox14", kNone, 0, 0, kText, "1", "shadow under the text stamp"},
                  BRV_CONV(Text_Shadow)),
      entry<int32_t>({"PNG_compression", kInteger, "TrackBar2", kClamp, 0, 9, kText, "9", "PNG compression level"},
                     BRV_CONV(PNG_compression)),
      entry<std::string>({"Output_path", kString, "Edit1", kNone, 0, 0, kOutputFolder, "", "output folder"},
                         BRV_CONV(Output_path)),
      entry<std::string>({"Rename_mask", kString, "Edit2", kNone, 0, 0, kText, "[N]_[C]_[W]x[H][E]",
                          "output name: [N] name, [E] extension, [C] counter, [W] [H] size, [D] [T] date and time"},
                         BRV_CONV(Rename_mask)),
      entry<std::string>({"Watermark_text_mask", kString, "Edit3", kNone, 0, 0, kText, "[D] - [T]",
                          "text of the text stamp: the variables of Rename_mask and [ET] [ED] the Exif time and date"},
                         BRV_CONV(Watermark_text_mask)),
      entry<std::string>({"Language", kString, "lang", kNone, 0, 0, kText, "English",
                          "interface language of the desktop program", true},
                         BRV_APP(Language)),
      entry<int32_t>({"Output_format", kInteger, "ComboBox1", kListIndex, 0, lastOutputFormat(), kText, "0",
                      outputFormatMeaning()},
                     BRV_CONV(Output_format)),
      entry<int32_t>({"Text_position", kInteger, "ComboBox5", kListIndex, 0, 6, kText, "6",
                      "anchor of the text stamp: 0 top-left, 1 top-center, 2 top-right, 3 center, 4 bottom-left, "
                      "5 bottom-center, 6 bottom-right"},
                     BRV_CONV(Text_position)),
      entry<int32_t>({"Img_position", kInteger, "ComboBox7", kListIndex, 0, 6, kText, "6",
                      "anchor of the image watermark, numbered as Text_position"},
                     BRV_CONV(Img_position)),
      entry<std::string>({"Img_path", kString, "Edit5", kNone, 0, 0, kWatermarkFile, "", "watermark image file"},
                         BRV_CONV(Img_path)),
      entry<bool>(
          {"Img_watermark_enabled", kBoolean, "CheckBox15", kNone, 0, 0, kText, "0", "draw the image watermark"},
          BRV_CONV(Img_watermark_enabled)),
      entry<int32_t>(
          {"Text_opacity", kInteger, "SpinEdit6", kClamp, 1, 100, kText, "75", "opacity of the text stamp in percent"},
          BRV_CONV(Text_opacity)),
      entry<int32_t>({"Resampling_filter", kInteger, "ComboBox3", kListIndex, 0, 6, kText, "5",
                      "resize filter: 0 nearest neighbour, 1 bilinear, 2 Hermite, 3 bell, 4 B-spline, 5 Lanczos3, "
                      "6 Mitchell"},
                     BRV_CONV(Resampling_filter)),
      entry<int32_t>({"Mainform_height", kInteger, "", kNone, 0, 0, kText, "0",
                      "outer height of the main window at close (written only)", true},
                     BRV_APP(Mainform_height)),
      // Shown by the three resize radio buttons; another value selects none of them.
      entry<int32_t>({"Selected_mode", kInteger, "NoResizeRadioButton", kSelectOnly, 0, 2, kText, "0",
                      "resize mode: 0 none, 1 to width and height, 2 by percent"},
                     BRV_CONV(Selected_mode)),
      entry<int32_t>(
          {"Resize_width", kInteger, "SpinEdit2", kClamp, 1, 99999, kScreenWidth, "", "target width in pixels"},
          BRV_CONV(Resize_width)),
      entry<int32_t>(
          {"Resize_height", kInteger, "SpinEdit3", kClamp, 1, 99999, kScreenHeight, "", "target height in pixels"},
          BRV_CONV(Resize_height)),
      entry<int32_t>({"Resize_percent", kInteger, "SpinEdit4", kClamp, 1, 200, kText, "50", "resize percentage"},
                     BRV_CONV(Resize_percent)),
      entry<int32_t>({"Counter_length", kInteger, "SpinEdit5", kClamp, 1, 10, kText, "3",
                      "least number of digits of the [C] counter"},
                     BRV_CONV(Counter_length)),
      entry<LocalDateTime>(
          {"LastUpdateDate", kDate, "LastUpdate", kNone, 0, 0, kNow, "", "date of the last update check", true},
          BRV_APP(LastUpdate)),
      entry<bool>({"Resize_proportional", kBoolean, "CheckBox4", kNone, 0, 0, kText, "1",
                   "keep proportions when resizing to width and height"},
                  BRV_CONV(Resize_proportional)),
      entry<bool>(
          {"Rename_enabled", kBoolean, "CheckBox5", kNone, 0, 0, kText, "1", "name output files by Rename_mask"},
          BRV_CONV(Rename_enabled)),
      entry<bool>({"Exif", kBoolean, "CheckBox8", kNone, 0, 0, kText, "1",
                   "carry Exif data over into JPEG, WebP, AVIF and JPEG XL output"},
                  BRV_CONV(Exif)),
      entry<bool>(
          {"EnlargeIfSmall", kBoolean, "CheckBox6", kNone, 0, 0, kText, "0", "enlarge images smaller than the target"},
          BRV_CONV(EnlargeIfSmall)),
      entry<bool>({"Png_interlace", kBoolean, "CheckBox9", kNone, 0, 0, kText, "0", "Adam7 interlaced PNG"},
                  BRV_CONV(Png_interlace)),
      entry<bool>({"Png_filter", kBoolean, "CheckBox10", kNone, 0, 0, kText, "1", "PNG row filtering"},
                  BRV_CONV(Png_filter)),
      entry<bool>({"J2K_Lossless", kBoolean, "CheckBox11", kNone, 0, 0, kText, "0", "lossless JPEG 2000"},
                  BRV_CONV(J2K_Lossless)),
      // The later writers, each with its own page.
      entry<int32_t>({"WEBP_quality", kInteger, "TrackBar4", kClamp, 1, 100, kText, "80", "WebP quality (lossy)"},
                     BRV_CONV(WEBP_quality)),
      entry<bool>({"WEBP_Lossless", kBoolean, "CheckBox16", kNone, 0, 0, kText, "0", "lossless WebP"},
                  BRV_CONV(WEBP_Lossless)),
      entry<int32_t>({"AVIF_quality", kInteger, "TrackBar5", kClamp, 1, 100, kText, "60", "AVIF quality"},
                     BRV_CONV(AVIF_quality)),
      entry<int32_t>({"AVIF_speed", kInteger, "TrackBar6", kClamp, 0, 10, kText, "6",
                      "AVIF encoder speed: 0 slowest (smallest files) - 10 fastest"},
                     BRV_CONV(AVIF_speed)),
      entry<int32_t>({"JXL_quality", kInteger, "TrackBar7", kClamp, 1, 100, kText, "80", "JPEG XL quality (lossy)"},
                     BRV_CONV(JXL_quality)),
      entry<bool>({"JXL_Lossless", kBoolean, "CheckBox17", kNone, 0, 0, kText, "0", "lossless JPEG XL"},
                  BRV_CONV(JXL_Lossless)),
      entry<bool>({"Watermark_enable", kBoolean, "CheckBox12", kNone, 0, 0, kText, "0", "draw the text stamp"},
                  BRV_CONV(Watermark_enable)),
      entry<int64_t>({"AllProcessedBytes", kCounter, "allprocessedbytes", kNone, 0, 0, kText, "0",
                      "lifetime total of the input of runs, in KiB", true},
                     BRV_APP(AllProcessedBytes)),
      entry<int64_t>({"AllProcessedFiles", kCounter, "allprocessedfiles", kNone, 0, 0, kText, "0",
                      "lifetime count of files converted", true},
                     BRV_APP(AllProcessedFiles)),
      // Photo options: orientation, colour profiles and private metadata.
      entry<bool>({"Auto_rotate", kBoolean, "AutoRotateCheckBox", kNone, 0, 0, kText, "0",
                   "turn pictures upright by their Exif or TIFF orientation before resizing"},
                  BRV_CONV(Auto_rotate)),
      entry<bool>({"Keep_icc", kBoolean, "KeepIccCheckBox", kNone, 0, 0, kText, "1",
                   "embed the source's colour profile in JPEG, PNG and JPEG 2000 output"},
                  BRV_CONV(Keep_icc)),
      entry<bool>({"Convert_srgb", kBoolean, "ConvertSrgbCheckBox", kNone, 0, 0, kText, "0",
                   "convert the colours from the source's profile to sRGB (CMYK too); no profile is embedded"},
                  BRV_CONV(Convert_srgb)),
      entry<bool>({"Strip_private", kBoolean, "StripPrivateCheckBox", kNone, 0, 0, kText, "0",
                   "leave GPS position, owner, serial numbers and maker note out of the carried Exif"},
                  BRV_CONV(Strip_private)),
      entry<bool>({"Strip_metadata", kBoolean, "StripMetadataCheckBox", kNone, 0, 0, kText, "0",
                   "write no Exif, no colour profile and no XMP into any output"},
                  BRV_CONV(Strip_metadata)),
      entry<bool>({"Unique_names", kBoolean, "CheckBox20", kNone, 0, 0, kText, "0",
                   "with Overwrite off, give an output whose name is taken \" (2)\", \" (3)\", ... before its "
                   "extension instead of refusing the file"},
                  BRV_CONV(Unique_names)),
      entry<bool>({"Keep_folders", kBoolean, "CheckBox21", kNone, 0, 0, kText, "0",
                   "write each file into its folder relative to the deepest folder common to all sources, "
                   "below the output folder"},
                  BRV_CONV(Keep_folders)),
      entry<int32_t>({"JPG_target_kb", kInteger, "SpinEdit20", kClamp, 0, 999999, kText, "0",
                      "most KiB of a JPEG output, Exif included: the highest quality up to JPG_quality that fits; "
                      "0 off"},
                     BRV_CONV(JPG_target_kb)),
  };
  return kEntries;
}

#undef BRV_CONV
#undef BRV_APP

const KeyEntry& entryOf(const SettingsKey& key) {
  for (const KeyEntry& e : entries())
    if (e.key.name == key.name) return e;
  throw Error("unknown settings key " + std::string(key.name));
}

// The watermark shipped with the program: beside the executable, else in the installed
// layout's share folder.
std::string watermarkFile(const std::string& programFolder) {
  std::string beside = programFolder + "watermark.png";
  std::string shared = programFolder + "../share/brevane/watermark.png";
  return !isRegularFile(beside) && isRegularFile(shared) ? shared : beside;
}

}  // namespace

const std::vector<SettingsKey>& settingsKeys() {
  static const std::vector<SettingsKey> kKeys = [] {
    std::vector<SettingsKey> keys;
    for (const KeyEntry& e : entries()) keys.push_back(e.key);
    return keys;
  }();
  return kKeys;
}

const SettingsKey* findSettingsKey(std::string_view name) {
  for (const SettingsKey& k : settingsKeys())
    if (sameIniName(k.name, name)) return &k;
  return nullptr;
}

bool isApplicationStateKey(const SettingsKey& key) {
  return key.applicationState;
}

int maximumOf(const SettingsKey& key, const Environment& env) {
  return key.maximum == kMaxIsCpuCount ? std::max(1, env.cpuCount) : key.maximum;
}

SettingsValue defaultValue(const SettingsKey& key, const Environment& env) {
  switch (key.defaultRule) {
    case DefaultRule::kCpuCount: return static_cast<int32_t>(std::max(1, env.cpuCount));
    case DefaultRule::kOutputFolder: return env.homeFolder + "/brv-output/";
    case DefaultRule::kWatermarkFile: return watermarkFile(env.programFolder);
    case DefaultRule::kScreenWidth: return static_cast<int32_t>(env.screenWidth);
    case DefaultRule::kScreenHeight: return static_cast<int32_t>(env.screenHeight);
    case DefaultRule::kNow: return env.now;
    case DefaultRule::kText: break;
  }
  if (auto v = parseSettingsValue(key, key.defaultText, env)) return *v;
  throw Error("the default of settings key " + std::string(key.name) + " is not one of its values");
}

std::string defaultDescription(const SettingsKey& key) {
  switch (key.defaultRule) {
    case DefaultRule::kCpuCount: return "the number of logical processors";
    case DefaultRule::kOutputFolder: return "$HOME/brv-output/";
    case DefaultRule::kWatermarkFile: return "watermark.png beside the program, else in its ../share/brevane/";
    case DefaultRule::kScreenWidth: return "the primary screen's width; 1920 without one";
    case DefaultRule::kScreenHeight: return "the primary screen's height; 1080 without one";
    case DefaultRule::kNow: return "the current date";
    case DefaultRule::kText: break;
  }
  return key.type == ValueType::kString ? "\"" + std::string(key.defaultText) + "\"" : std::string(key.defaultText);
}

std::optional<int64_t> parseCounterValue(std::string_view text) {
  if (auto n = parseIntegerValue(text)) {
    if (*n >= 0) return *n;
    if (*n >= INT32_MIN) return *n + (int64_t{1} << 32);
    return std::nullopt;
  }
  // Beyond 32 bits: plain decimal digits, as this version writes them.
  text = trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    if (v > (INT64_MAX - (c - '0')) / 10) return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::optional<SettingsValue> parseSettingsValue(const SettingsKey& key, std::string_view text, const Environment& env) {
  switch (key.type) {
    case ValueType::kString: return SettingsValue(std::string(text));
    case ValueType::kDate: {
      LocalDateTime t;
      if (text.empty() || !parseShortDate(std::string(text), env.dateFormat, t)) return std::nullopt;
      return SettingsValue(t);
    }
    case ValueType::kCounter: {
      if (auto n = parseCounterValue(text)) return SettingsValue(*n);
      return std::nullopt;
    }
    case ValueType::kBoolean:
    case ValueType::kInteger: break;
  }
  auto n = parseIntegerValue(text);
  if (!n || *n < INT32_MIN || *n > INT32_MAX) return std::nullopt;
  if (key.type == ValueType::kBoolean) return SettingsValue(*n != 0);
  long long v = *n;
  switch (key.range) {
    case RangeRule::kNone:
    case RangeRule::kSelectOnly: break;
    case RangeRule::kClamp: v = std::clamp<long long>(v, key.minimum, maximumOf(key, env)); break;
    case RangeRule::kListIndex:
      if (v < key.minimum || v > maximumOf(key, env)) return std::nullopt;
      break;
  }
  return SettingsValue(static_cast<int32_t>(v));
}

bool takesValue(const SettingsKey& key, std::string_view text, const Environment& env) {
  if (key.type == ValueType::kString || key.type == ValueType::kDate || key.type == ValueType::kCounter)
    return parseSettingsValue(key, text, env).has_value();
  auto n = parseIntegerValue(text);
  if (!n) return false;
  if (key.type == ValueType::kBoolean) return *n == 0 || *n == 1;
  if (key.range == RangeRule::kNone) return *n >= INT32_MIN && *n <= INT32_MAX;
  return *n >= key.minimum && *n <= maximumOf(key, env);
}

std::string rangeText(const SettingsKey& key, const Environment& env) {
  if (key.type == ValueType::kBoolean) return "0 or 1";
  if (key.type != ValueType::kInteger || key.range == RangeRule::kNone) return "";
  return std::to_string(key.minimum) + "-" + std::to_string(maximumOf(key, env));
}

std::string acceptedValues(const SettingsKey& key, const Environment& env) {
  switch (key.type) {
    case ValueType::kString: return "any text";
    case ValueType::kDate: return "a date like " + formatShortDate(env.now, env.dateFormat);
    case ValueType::kBoolean: return "1 (on) or 0 (off)";
    case ValueType::kCounter: return "a whole number from 0";
    case ValueType::kInteger: break;
  }
  if (key.range == RangeRule::kNone) return "a whole number";
  std::string text =
      "a whole number from " + std::to_string(key.minimum) + " to " + std::to_string(maximumOf(key, env));
  if (key.maximum == kMaxIsCpuCount) text += " (the number of logical processors)";
  return text;
}

std::string valueText(const SettingsValue& value, const Environment& env) {
  if (const auto* i = std::get_if<int32_t>(&value)) return std::to_string(*i);
  if (const auto* n = std::get_if<int64_t>(&value)) return std::to_string(*n);
  if (const auto* b = std::get_if<bool>(&value)) return *b ? "1" : "0";
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  return formatShortDate(std::get<LocalDateTime>(value), env.dateFormat);
}

void applyFontString(FontChoice& font, std::string_view text) {
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

std::string fontString(const FontChoice& font) {
  return font.name + "," + std::to_string(font.charset) + "," + std::to_string(font.color) + "," +
         std::to_string(font.size) + "," + std::to_string(font.style);
}

WindowPlacement defaultPlacement(int screenWidth, int screenHeight) {
  WindowPlacement p;
  p.X = screenWidth / 2 - 450;
  p.Y = screenHeight / 2 - 274;
  p.Width = 900;
  p.Height = 548;
  return p;
}

AppSettings AppSettings::defaults(const Environment& env) {
  AppSettings s;
  for (const KeyEntry& e : entries()) e.set(s, defaultValue(e.key, env));
  applyFontString(s.conversion.Text_Font, kDefaultFontText);
  s.conversion.textfs = env.dateFormat;
  s.conversion.filefs = env.dateFormat.forFileNames();
  s.placement = defaultPlacement(env.screenWidth, env.screenHeight);
  return s;
}

SettingsValue settingsValueOf(const AppSettings& state, const SettingsKey& key) {
  return entryOf(key).get(state);
}

SettingsValue settingsValueOf(const TConversionSettings& settings, const SettingsKey& key) {
  AppSettings state;
  state.conversion = settings;
  return settingsValueOf(state, key);
}

void applySettingsValue(AppSettings& state, const SettingsKey& key, const SettingsValue& value) {
  if (key.range == RangeRule::kSelectOnly) {
    int32_t v = std::get<int32_t>(value);
    if (v < key.minimum || v > key.maximum) return;
  }
  entryOf(key).set(state, value);
}

ApplyResult applySettingsKey(TConversionSettings& settings, std::string_view key, std::string_view value,
                             const Environment& env) {
  const SettingsKey* def = findSettingsKey(key);
  if (!def) return ApplyResult::kUnknownKey;
  if (isApplicationStateKey(*def)) return ApplyResult::kIgnored;
  auto parsed = parseSettingsValue(*def, value, env);
  if (!parsed) return ApplyResult::kMalformed;
  AppSettings state;
  state.conversion = std::move(settings);
  applySettingsValue(state, *def, *parsed);
  settings = std::move(state.conversion);
  return ApplyResult::kApplied;
}

ApplyResult applySettingsKey(TConversionSettings& settings, std::string_view key, std::string_view value) {
  return applySettingsKey(settings, key, value, Environment::current());
}

}  // namespace brevane::settings
