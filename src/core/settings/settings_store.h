// Settings.ini: the keys of the table read and written, the load and save sequences, the
// window placement per screen resolution and the settings folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/ini_file.h"
#include "settings/settings_keys.h"

namespace brevane::settings {

inline constexpr std::string_view kSettingsSection = "Settings";
inline constexpr std::string_view kFontSection = "Text_Font";
inline constexpr std::string_view kFontKey = "Font";
inline constexpr std::string_view kSettingsFileName = "Settings.ini";

/// The key read from the file: the default when missing or malformed, else the parsed value.
SettingsValue readSettingsValue(const IniFile& ini, const SettingsKey& key, const Environment& env);
/// Writes one value in the key's encoding; throws brevane::Error when the write fails.
void writeSettingsValue(IniFile& ini, const SettingsKey& key, const SettingsValue& value, const Environment& env);

/// Reads the key "Font" of `section` (default ",,,,") onto `font`.
void readFont(const IniFile& ini, std::string_view section, FontChoice& font);
/// Writes the font string to the key "Font" of `section`; throws brevane::Error on failure.
void writeFont(IniFile& ini, std::string_view section, const FontChoice& font);

inline constexpr int kMinWindowWidth = 764;
inline constexpr int kMinWindowHeight = 423;

/// "Form_pos_" + width + "x" + height of the primary screen.
std::string placementSection(int screenWidth, int screenHeight);
/// A stored placement as the window takes it: the size raised to the minimum window size,
/// then centred at that size when its right or bottom edge lies beyond the screen.
WindowPlacement fitPlacement(WindowPlacement stored, int screenWidth, int screenHeight);
/// The placement stored for this screen resolution (defaults when none), fitted.
WindowPlacement readPlacement(const IniFile& ini, int screenWidth, int screenHeight);
/// Writes the placement of this resolution: X, Y, Width, Height only when not maximized (so a
/// maximized close keeps the stored normal rectangle), then Maximized. Throws on failure.
void writePlacement(IniFile& ini, int screenWidth, int screenHeight, const WindowPlacement& placement);

/// One step of loading or saving: a key of "Settings", the font, or the placement; on load
/// also the enabled state of the output format list that follows "Auto_format".
enum class StepKind { kKey, kFont, kPlacement, kAutoFormatEnable };
struct SettingsStep {
  int group;  // the numbered stage the step belongs to
  StepKind kind;
  std::string_view key;  // for kKey
};

/// The order in which values are read and given to their controls at start-up.
const std::vector<SettingsStep>& loadSequence();
/// The order in which values are written at close.
const std::vector<SettingsStep>& saveSequence();

/// Every stored value read in load order onto the defaults.
AppSettings loadSettings(const IniFile& ini, const Environment& env);

/// The built-in warning of a failed save: Russian only when `lang` is exactly "Russian".
struct MessageText {
  std::string text, caption;
};
MessageText saveFailureMessage(std::string_view lang);

/// The outcome of a save: a failing write ends the save at that key.
struct SaveOutcome {
  bool saved = true;
  std::string failedKey;  // the key whose write failed ("Font" for the font, "X"... for placement)
  std::string reason;     // the system's message
  MessageText message;    // the warning to show (empty when saved)
};
SaveOutcome saveSettings(IniFile& ini, const AppSettings& state, const Environment& env);

/// "<config>/Brevane/" for XDG_CONFIG_HOME (used when absolute) and the home folder.
std::string settingsFolderFor(const char* xdgConfigHome, const std::string& home);
/// This user's settings folder, created when missing; with a trailing "/".
std::string settingsFolder();
/// settingsFolder() + "Settings.ini".
std::string settingsFilePath();

}  // namespace brevane::settings
