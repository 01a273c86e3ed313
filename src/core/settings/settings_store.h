// The keys of Settings.ini with their defaults and ranges, the load and save sequences, the
// window placement per screen resolution and the settings folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/datetime.h"
#include "engine/settings.h"
#include "settings/ini_file.h"

namespace brevane::settings {

inline constexpr std::string_view kSettingsSection = "Settings";
inline constexpr std::string_view kFontSection = "Text_Font";
inline constexpr std::string_view kFontKey = "Font";
inline constexpr std::string_view kSettingsFileName = "Settings.ini";

/// What the defaults depend on: the machine, the primary screen and the moment of the start.
struct Environment {
  int cpuCount = 1;
  int screenWidth = 1920;
  int screenHeight = 1080;
  std::string programFolder;  // with a trailing "/"
  std::string homeFolder;     // without a trailing "/"
  LocalDateTime now;
  DateTimeFormat dateFormat;  // the short date of "LastUpdateDate" (textfs)

  /// This machine and this moment, with the given primary screen (1920 x 1080 without one).
  static Environment current(int screenWidth = 1920, int screenHeight = 1080);
};

/// kCounter: a lifetime total, a non-negative 64-bit integer.
enum class ValueType { kInteger, kBoolean, kString, kDate, kCounter };

/// How a read integer is brought into its control's range.
enum class RangeRule {
  kNone,        // any 32-bit value
  kClamp,       // clamped to [minimum, maximum] like a slider or number box
  kListIndex,   // an index into a list: outside [minimum, maximum] reads as the default
  kSelectOnly,  // a choice: outside [minimum, maximum] selects nothing (the value is kept)
};

/// One key of section "Settings".
struct SettingsKey {
  std::string_view name;
  ValueType type;
  std::string_view control;  // the main window's component (or field) that holds the value
  RangeRule range = RangeRule::kNone;
  int minimum = 0;
  int maximum = 0;  // kMaxIsCpuCount: the number of logical processors
};
inline constexpr int kMaxIsCpuCount = -1;

using SettingsValue = std::variant<int32_t, bool, std::string, LocalDateTime, int64_t>;

/// A stored lifetime total: any integer an older version wrote (a negative 32-bit value is a
/// total that wrapped past 2^31 there and reads as its unsigned value), or a decimal up to 2^63-1.
std::optional<int64_t> parseCounterValue(std::string_view text);

/// Every key of section "Settings" in the order in which the table lists them.
const std::vector<SettingsKey>& settingsKeys();
/// The key of that name (without regard to case), or null.
const SettingsKey* findSettingsKey(std::string_view name);
/// True for the keys that are application state, not run options ("Language",
/// "Mainform_height", "LastUpdateDate", "AllProcessedBytes", "AllProcessedFiles").
bool isApplicationStateKey(const SettingsKey& key);

/// The value of a first start without a settings file.
SettingsValue defaultValue(const SettingsKey& key, const Environment& env);
/// A value text read as the key's type and brought into its range; none when malformed (for
/// a kSelectOnly key an out-of-range value is returned as it is).
std::optional<SettingsValue> parseSettingsValue(const SettingsKey& key, std::string_view text, const Environment& env);
/// The key read from the file: the default when missing or malformed, else the parsed value.
SettingsValue readSettingsValue(const IniFile& ini, const SettingsKey& key, const Environment& env);
/// Writes one value in the key's encoding; throws brevane::Error when the write fails.
void writeSettingsValue(IniFile& ini, const SettingsKey& key, const SettingsValue& value, const Environment& env);

/// Reads the key "Font" of `section` (default ",,,,") onto `font`.
void readFont(const IniFile& ini, std::string_view section, FontSpec& font);
/// Writes the font string to the key "Font" of `section`; throws brevane::Error on failure.
void writeFont(IniFile& ini, std::string_view section, const FontSpec& font);

/// The main window's outer rectangle in its normal state, and whether it is maximized.
struct WindowPlacement {
  int X = 0, Y = 0, Width = 900, Height = 548;
  bool Maximized = false;
  bool operator==(const WindowPlacement&) const = default;
};
inline constexpr int kMinWindowWidth = 764;
inline constexpr int kMinWindowHeight = 423;

/// "Form_pos_" + width + "x" + height of the primary screen.
std::string placementSection(int screenWidth, int screenHeight);
/// A 900 x 548 window centred on the screen.
WindowPlacement defaultPlacement(int screenWidth, int screenHeight);
/// A stored placement as the window takes it: the size raised to the minimum window size,
/// then centred at that size when its right or bottom edge lies beyond the screen.
WindowPlacement fitPlacement(WindowPlacement stored, int screenWidth, int screenHeight);
/// The placement stored for this screen resolution (defaults when none), fitted.
WindowPlacement readPlacement(const IniFile& ini, int screenWidth, int screenHeight);
/// Writes the placement of this resolution: X, Y, Width, Height only when not maximized (so a
/// maximized close keeps the stored normal rectangle), then Maximized. Throws on failure.
void writePlacement(IniFile& ini, int screenWidth, int screenHeight, const WindowPlacement& placement);

/// The options and application state kept in the settings file.
struct AppSettings {
  TConversionSettings conversion;  // run options, Text_Font included
  std::string Language = "English";
  LocalDateTime LastUpdate;
  int64_t AllProcessedBytes = 0;  // KiB
  int64_t AllProcessedFiles = 0;
  int32_t Mainform_height = 0;  // written only
  WindowPlacement placement;

  /// The state of a first start without a settings file.
  static AppSettings defaults(const Environment& env);
};

/// The value of a key in the state, for writing.
SettingsValue settingsValueOf(const AppSettings& state, const SettingsKey& key);
/// Puts a value read for a key into the state (a kSelectOnly value outside its range is
/// ignored, leaving the state as it was).
void applySettingsValue(AppSettings& state, const SettingsKey& key, const SettingsValue& value);

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
