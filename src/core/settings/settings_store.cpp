// The keys of Settings.ini, their defaults, the load and save sequences and the placement.
#include "settings/settings_store.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "base/error.h"
#include "base/ini_syntax.h"
#include "base/platform.h"
#include "base/strings.h"
#include "settings/conversion_keys.h"

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

AppSettings AppSettings::defaults(const Environment& env) {
  AppSettings s;
  TConversionSettings& c = s.conversion;
  c.Threads = std::max(1, env.cpuCount);
  c.Output_path = env.homeFolder + "/brv-output/";
  // Beside the executable, else in the installed layout's share folder.
  c.Img_path = env.programFolder + "watermark.png";
  if (!isRegularFile(c.Img_path) && isRegularFile(env.programFolder + "../share/brevane/watermark.png"))
    c.Img_path = env.programFolder + "../share/brevane/watermark.png";
  c.Resize_width = env.screenWidth;
  c.Resize_height = env.screenHeight;
  c.textfs = env.dateFormat;
  c.filefs = env.dateFormat.forFileNames();
  s.LastUpdate = env.now;
  s.placement = defaultPlacement(env.screenWidth, env.screenHeight);
  return s;
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

const std::vector<KeyEntry>& entries() {
  using enum ValueType;
  using enum RangeRule;
  static const std::vector<KeyEntry> kEntries = {
      entry<int32_t>({"Threads", kInteger, "SpinEdit1", kClamp, 1, kMaxIsCpuCount}, BRV_CONV(Threads)),
      entry<int32_t>({"JPG_quality", kInteger, "TrackBar1", kClamp, 1, 100}, BRV_CONV(JPG_quality)),
      entry<int32_t>({"J2K_quality", kInteger, "TrackBar3", kClamp, 1, 100}, BRV_CONV(J2K_quality)),
      entry<bool>({"JPG_progressive", kBoolean, "CheckBox1"}, BRV_CONV(JPG_progressive)),
      entry<bool>({"Auto_format", kBoolean, "CheckBox3"}, BRV_CONV(Auto_format)),
      entry<bool>({"Overwrite", kBoolean, "CheckBox2"}, BRV_CONV(Overwrite)),
      entry<bool>({"SmartCrop_enable", kBoolean, "CheckBox7"}, BRV_CONV(SmartCrop_enable)),
      entry<bool>({"Text_Shadow", kBoolean, "CheckBox14"}, BRV_CONV(Text_Shadow)),
      entry<int32_t>({"PNG_compression", kInteger, "TrackBar2", kClamp, 0, 9}, BRV_CONV(PNG_compression)),
      entry<std::string>({"Output_path", kString, "Edit1"}, BRV_CONV(Output_path)),
      entry<std::string>({"Rename_mask", kString, "Edit2"}, BRV_CONV(Rename_mask)),
      entry<std::string>({"Watermark_text_mask", kString, "Edit3"}, BRV_CONV(Watermark_text_mask)),
      entry<std::string>({"Language", kString, "lang"}, BRV_APP(Language)),
      entry<int32_t>({"Output_format", kInteger, "ComboBox1", kListIndex, 0, 5}, BRV_CONV(Output_format)),
      entry<int32_t>({"Text_position", kInteger, "ComboBox5", kListIndex, 0, 6}, BRV_CONV(Text_position)),
      entry<int32_t>({"Img_position", kInteger, "ComboBox7", kListIndex, 0, 6}, BRV_CONV(Img_position)),
      entry<std::string>({"Img_path", kString, "Edit5"}, BRV_CONV(Img_path)),
      entry<bool>({"Img_watermark_enabled", kBoolean, "CheckBox15"}, BRV_CONV(Img_watermark_enabled)),
      entry<int32_t>({"Text_opacity", kInteger, "SpinEdit6", kClamp, 1, 100}, BRV_CONV(Text_opacity)),
      entry<int32_t>({"Resampling_filter", kInteger, "ComboBox3", kListIndex, 0, 6}, BRV_CONV(Resampling_filter)),
      entry<int32_t>({"Mainform_height", kInteger, "", kNone}, BRV_APP(Mainform_height)),
      // Shown by the three resize radio buttons; another value selects none of them.
      entry<int32_t>({"Selected_mode", kInteger, "NoResizeRadioButton", kSelectOnly, 0, 2}, BRV_CONV(Selected_mode)),
      entry<int32_t>({"Resize_width", kInteger, "SpinEdit2", kClamp, 1, 99999}, BRV_CONV(Resize_width)),
      entry<int32_t>({"Resize_height", kInteger, "SpinEdit3", kClamp, 1, 99999}, BRV_CONV(Resize_height)),
      entry<int32_t>({"Resize_percent", kInteger, "SpinEdit4", kClamp, 1, 200}, BRV_CONV(Resize_percent)),
      entry<int32_t>({"Counter_length", kInteger, "SpinEdit5", kClamp, 1, 10}, BRV_CONV(Counter_length)),
      entry<LocalDateTime>({"LastUpdateDate", kDate, "LastUpdate"}, BRV_APP(LastUpdate)),
      entry<bool>({"Resize_proportional", kBoolean, "CheckBox4"}, BRV_CONV(Resize_proportional)),
      entry<bool>({"Rename_enabled", kBoolean, "CheckBox5"}, BRV_CONV(Rename_enabled)),
      entry<bool>({"Exif", kBoolean, "CheckBox8"}, BRV_CONV(Exif)),
      entry<bool>({"EnlargeIfSmall", kBoolean, "CheckBox6"}, BRV_CONV(EnlargeIfSmall)),
      entry<bool>({"Png_interlace", kBoolean, "CheckBox9"}, BRV_CONV(Png_interlace)),
      entry<bool>({"Png_filter", kBoolean, "CheckBox10"}, BRV_CONV(Png_filter)),
      entry<bool>({"J2K_Lossless", kBoolean, "CheckBox11"}, BRV_CONV(J2K_Lossless)),
      entry<bool>({"Watermark_enable", kBoolean, "CheckBox12"}, BRV_CONV(Watermark_enable)),
      entry<int64_t>({"AllProcessedBytes", kCounter, "allprocessedbytes", kNone}, BRV_APP(AllProcessedBytes)),
      entry<int64_t>({"AllProcessedFiles", kCounter, "allprocessedfiles", kNone}, BRV_APP(AllProcessedFiles)),
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

int maximumOf(const SettingsKey& key, const Environment& env) {
  return key.maximum == kMaxIsCpuCount ? std::max(1, env.cpuCount) : key.maximum;
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
  for (std::string_view n : {"Language", "Mainform_height", "LastUpdateDate", "AllProcessedBytes", "AllProcessedFiles"})
    if (key.name == n) return true;
  return false;
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

SettingsValue defaultValue(const SettingsKey& key, const Environment& env) {
  return entryOf(key).get(AppSettings::defaults(env));
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

SettingsValue readSettingsValue(const IniFile& ini, const SettingsKey& key, const Environment& env) {
  if (auto text = ini.value(kSettingsSection, key.name))
    if (auto v = parseSettingsValue(key, *text, env)) return *v;
  return defaultValue(key, env);
}

void writeSettingsValue(IniFile& ini, const SettingsKey& key, const SettingsValue& value, const Environment& env) {
  if (const auto* i = std::get_if<int32_t>(&value)) return ini.writeInteger(kSettingsSection, key.name, *i);
  if (const auto* b = std::get_if<bool>(&value)) return ini.writeBool(kSettingsSection, key.name, *b);
  if (const auto* s = std::get_if<std::string>(&value)) return ini.writeString(kSettingsSection, key.name, *s);
  if (const auto* n = std::get_if<int64_t>(&value))
    return ini.writeString(kSettingsSection, key.name, std::to_string(*n));
  ini.writeDate(kSettingsSection, key.name, std::get<LocalDateTime>(value), env.dateFormat);
}

void readFont(const IniFile& ini, std::string_view section, FontSpec& font) {
  applyFontString(font, ini.readString(section, kFontKey, ",,,,"));
}

void writeFont(IniFile& ini, std::string_view section, const FontSpec& font) {
  ini.writeString(section, kFontKey, fontString(font));
}

std::string placementSection(int screenWidth, int screenHeight) {
  return "Form_pos_" + std::to_string(screenWidth) + "x" + std::to_string(screenHeight);
}

WindowPlacement defaultPlacement(int screenWidth, int screenHeight) {
  WindowPlacement p;
  p.X = screenWidth / 2 - 450;
  p.Y = screenHeight / 2 - 274;
  p.Width = 900;
  p.Height = 548;
  return p;
}

WindowPlacement fitPlacement(WindowPlacement p, int screenWidth, int screenHeight) {
  p.Width = std::max(p.Width, kMinWindowWidth);
  p.Height = std::max(p.Height, kMinWindowHeight);
  // 64-bit sums: stored coordinates are arbitrary 32-bit values.
  if (static_cast<int64_t>(p.X) + p.Width > screenWidth || static_cast<int64_t>(p.Y) + p.Height > screenHeight) {
    p.X = screenWidth / 2 - p.Width / 2;
    p.Y = screenHeight / 2 - p.Height / 2;
  }
  return p;
}

WindowPlacement readPlacement(const IniFile& ini, int screenWidth, int screenHeight) {
  std::string section = placementSection(screenWidth, screenHeight);
  WindowPlacement d = defaultPlacement(screenWidth, screenHeight);
  WindowPlacement p;
  p.X = ini.readInteger(section, "X", d.X);
  p.Y = ini.readInteger(section, "Y", d.Y);
  p.Width = ini.readInteger(section, "Width", d.Width);
  p.Height = ini.readInteger(section, "Height", d.Height);
  p.Maximized = ini.readBool(section, "Maximized", false);
  return fitPlacement(p, screenWidth, screenHeight);
}

namespace {

// Writes the placement key by key, naming the key being written so a failure can say which.
void writePlacementKeys(IniFile& ini, int screenWidth, int screenHeight, const WindowPlacement& p,
                        std::string& current) {
  std::string section = placementSection(screenWidth, screenHeight);
  if (!p.Maximized) {
    for (auto [name, value] : {std::pair{"X", p.X}, {"Y", p.Y}, {"Width", p.Width}, {"Height", p.Height}}) {
      current = name;
      ini.writeInteger(section, name, value);
    }
  }
  current = "Maximized";
  ini.writeBool(section, "Maximized", p.Maximized);
}

}  // namespace

void writePlacement(IniFile& ini, int screenWidth, int screenHeight, const WindowPlacement& placement) {
  std::string current;
  writePlacementKeys(ini, screenWidth, screenHeight, placement, current);
}

SettingsValue settingsValueOf(const AppSettings& state, const SettingsKey& key) {
  return entryOf(key).get(state);
}

void applySettingsValue(AppSettings& state, const SettingsKey& key, const SettingsValue& value) {
  if (key.range == RangeRule::kSelectOnly) {
    int32_t v = std::get<int32_t>(value);
    if (v < key.minimum || v > key.maximum) return;
  }
  entryOf(key).set(state, value);
}

const std::vector<SettingsStep>& loadSequence() {
  using enum StepKind;
  static const std::vector<SettingsStep> kSteps = {
      {1, kKey, "JPG_quality"},
      {1, kKey, "J2K_quality"},
      {2, kKey, "JPG_progressive"},
      {2, kKey, "Auto_format"},
      {3, kKey, "Selected_mode"},
      {4, kKey, "PNG_compression"},
      {4, kKey, "Output_path"},
      {4, kKey, "Rename_mask"},
      {4, kKey, "Watermark_text_mask"},
      {4, kKey, "Output_format"},
      {4, kKey, "Text_position"},
      {4, kKey, "Resize_width"},
      {4, kKey, "Resize_height"},
      {4, kKey, "Resize_percent"},
      {4, kKey, "Counter_length"},
      {4, kKey, "Text_opacity"},
      {4, kKey, "Resize_proportional"},
      {4, kKey, "Rename_enabled"},
      {4, kKey, "Overwrite"},
      {4, kKey, "Exif"},
      {4, kKey, "SmartCrop_enable"},
      {4, kKey, "J2K_Lossless"},
      {4, kKey, "Watermark_enable"},
      {4, kKey, "Text_Shadow"},
      {4, kKey, "Img_position"},
      {4, kKey, "Img_path"},
      {4, kKey, "Img_watermark_enabled"},
      {5, kFont, ""},
      {6, kPlacement, ""},
      {7, kKey, "Png_interlace"},
      {7, kKey, "Png_filter"},
      {7, kKey, "EnlargeIfSmall"},
      {7, kKey, "Resampling_filter"},
      {8, kKey, "LastUpdateDate"},
      {9, kKey, "AllProcessedBytes"},
      {9, kKey, "AllProcessedFiles"},
      {10, kKey, "Language"},
      {11, kKey, "Threads"},
      {12, kAutoFormatEnable, ""},
  };
  return kSteps;
}

const std::vector<SettingsStep>& saveSequence() {
  using enum StepKind;
  static const std::vector<SettingsStep> kSteps = [] {
    std::vector<SettingsStep> steps;
    for (const SettingsKey& k : settingsKeys()) {
      steps.push_back({2, kKey, k.name});
      if (k.name == "Resampling_filter") break;
    }
    steps.push_back({2, kKey, "Mainform_height"});
    steps.push_back({2, kKey, "Selected_mode"});
    steps.push_back({3, kFont, ""});
    for (std::string_view k : {"Resize_width", "Resize_height", "Resize_percent", "Counter_length"})
      steps.push_back({4, kKey, k});
    steps.push_back({5, kPlacement, ""});
    for (std::string_view k :
         {"LastUpdateDate", "Resize_proportional", "Rename_enabled", "Exif", "EnlargeIfSmall", "Png_interlace",
          "Png_filter", "J2K_Lossless", "Watermark_enable", "AllProcessedBytes", "AllProcessedFiles"})
      steps.push_back({6, kKey, k});
    return steps;
  }();
  return kSteps;
}

AppSettings loadSettings(const IniFile& ini, const Environment& env) {
  AppSettings state = AppSettings::defaults(env);
  for (const SettingsStep& step : loadSequence()) {
    switch (step.kind) {
      case StepKind::kKey: {
        const SettingsKey& key = *findSettingsKey(step.key);
        applySettingsValue(state, key, readSettingsValue(ini, key, env));
        break;
      }
      case StepKind::kFont: readFont(ini, kFontSection, state.conversion.Text_Font); break;
      case StepKind::kPlacement: state.placement = readPlacement(ini, env.screenWidth, env.screenHeight); break;
      case StepKind::kAutoFormatEnable: break;  // a window rule; nothing is read
    }
  }
  return state;
}

MessageText saveFailureMessage(std::string_view lang) {
  if (lang == "Russian") return {"Невозможно сохранить настройки.", "Ошибка"};
  return {"Unable to save settings.", "Error"};
}

SaveOutcome saveSettings(IniFile& ini, const AppSettings& state, const Environment& env) {
  SaveOutcome outcome;
  std::string current;
  try {
    for (const SettingsStep& step : saveSequence()) {
      switch (step.kind) {
        case StepKind::kKey: {
          const SettingsKey& key = *findSettingsKey(step.key);
          current = key.name;
          writeSettingsValue(ini, key, settingsValueOf(state, key), env);
          break;
        }
        case StepKind::kFont:
          current = kFontKey;
          writeFont(ini, kFontSection, state.conversion.Text_Font);
          break;
        case StepKind::kPlacement:
          writePlacementKeys(ini, env.screenWidth, env.screenHeight, state.placement, current);
          break;
        case StepKind::kAutoFormatEnable: break;
      }
    }
  } catch (const Error& e) {
    outcome.saved = false;
    outcome.failedKey = current;
    outcome.reason = e.what();
    outcome.message = saveFailureMessage(state.Language);
  }
  return outcome;
}

std::string settingsFolderFor(const char* xdgConfigHome, const std::string& home) {
  std::string base = xdgConfigHome && xdgConfigHome[0] == '/' ? xdgConfigHome : home + "/.config";
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base + "/Brevane/";
}

std::string settingsFolder() {
  std::string folder = settingsFolderFor(std::getenv("XDG_CONFIG_HOME"), homeFolder());
  // Missing parents are created too: a fresh account may have no ~/.config yet. When the
  // folder cannot be made, the first write fails and the save reports it.
  createDirectories(folder.substr(0, folder.size() - 1));
  return folder;
}

std::string settingsFilePath() {
  return settingsFolder() + std::string(kSettingsFileName);
}

}  // namespace brevane::settings
