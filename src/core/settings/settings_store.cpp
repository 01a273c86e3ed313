// Settings.ini read and written: the keys of the table, the font, the placement, in their sequences.
#include "settings/settings_store.h"

#include <algorithm>
#include <cstdlib>

#include "base/error.h"
#include "base/ini_syntax.h"
#include "base/platform.h"

namespace brevane::settings {

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

void readFont(const IniFile& ini, std::string_view section, FontChoice& font) {
  applyFontString(font, ini.readString(section, kFontKey, ",,,,"));
}

void writeFont(IniFile& ini, std::string_view section, const FontChoice& font) {
  ini.writeString(section, kFontKey, fontString(font));
}

std::string placementSection(int screenWidth, int screenHeight) {
  return "Form_pos_" + std::to_string(screenWidth) + "x" + std::to_string(screenHeight);
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

// The steps followed by a step for each table key they do not name (in table order, in one
// last group), so that a key added to the table is read and saved without a new step here.
std::vector<SettingsStep> withUnlistedKeys(std::vector<SettingsStep> steps, int group,
                                           std::initializer_list<std::string_view> leftOut) {
  auto listed = [&](std::string_view name) {
    return std::any_of(steps.begin(), steps.end(),
                       [&](const SettingsStep& s) { return s.kind == StepKind::kKey && s.key == name; }) ||
           std::find(leftOut.begin(), leftOut.end(), name) != leftOut.end();
  };
  for (const SettingsKey& k : settingsKeys())
    if (!listed(k.name)) steps.push_back({group, StepKind::kKey, k.name});
  return steps;
}

}  // namespace

void writePlacement(IniFile& ini, int screenWidth, int screenHeight, const WindowPlacement& placement) {
  std::string current;
  writePlacementKeys(ini, screenWidth, screenHeight, placement, current);
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
  static const std::vector<SettingsStep> kAll = withUnlistedKeys(kSteps, 13, {"Mainform_height"});
  return kAll;
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
    return withUnlistedKeys(steps, 7, {});
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
