// The one table of the keys of section "Settings": type, control, range, default and meaning of
// each key, their values as text, and the options record a first start begins with.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/datetime.h"
#include "engine/settings.h"

namespace brevane::settings {

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

/// Where the value of a first start comes from.
enum class DefaultRule {
  kText,           // `defaultText`, in the file's encoding
  kCpuCount,       // the number of logical processors
  kOutputFolder,   // the home folder followed by "/brv-output/"
  kWatermarkFile,  // "watermark.png" beside the program, else in its ../share/brevane/
  kScreenWidth,    // the primary screen's width (1920 without a screen)
  kScreenHeight,   // the primary screen's height (1080 without a screen)
  kNow,            // the moment of the start
};

/// One key of section "Settings".
struct SettingsKey {
  std::string_view name;
  ValueType type;
  std::string_view control;  // the main window's component (or field) that holds the value
  RangeRule range = RangeRule::kNone;
  int minimum = 0;
  int maximum = 0;  // kMaxIsCpuCount: the number of logical processors
  DefaultRule defaultRule = DefaultRule::kText;
  std::string_view defaultText;   // the default in the file's encoding, for DefaultRule::kText
  std::string_view meaning;       // one line
  bool applicationState = false;  // program state kept in the file, not a run option
};
inline constexpr int kMaxIsCpuCount = -1;

using SettingsValue = std::variant<int32_t, bool, std::string, LocalDateTime, int64_t>;

/// A stored lifetime total: any integer an older version wrote (a negative 32-bit value is a
/// total that wrapped past 2^31 there and reads as its unsigned value), or a decimal up to 2^63-1.
std::optional<int64_t> parseCounterValue(std::string_view text);

/// Every key of section "Settings" in the order in which the table lists them (the order of
/// the first writes at close).
const std::vector<SettingsKey>& settingsKeys();
/// The key of that name (without regard to case), or null.
const SettingsKey* findSettingsKey(std::string_view name);
/// True for the keys that are application state, not run options ("Language",
/// "Mainform_height", "LastUpdateDate", "AllProcessedBytes", "AllProcessedFiles").
bool isApplicationStateKey(const SettingsKey& key);

/// The key's upper bound on this machine (the processor count for kMaxIsCpuCount).
int maximumOf(const SettingsKey& key, const Environment& env);

/// The value of a first start without a settings file.
SettingsValue defaultValue(const SettingsKey& key, const Environment& env);
/// The default as a reader is told it without a machine at hand: the value's text, or what
/// the value depends on ("the number of logical processors").
std::string defaultDescription(const SettingsKey& key);

/// A value text read as the key's type and brought into its range as the file is read; none
/// when malformed (for a kSelectOnly key an out-of-range value is returned as it is).
std::optional<SettingsValue> parseSettingsValue(const SettingsKey& key, std::string_view text, const Environment& env);
/// True when the text is a value the key takes as it stands: well formed and inside the range
/// (a boolean is "0" or "1").
bool takesValue(const SettingsKey& key, std::string_view text, const Environment& env);
/// What the key takes, in words: "a whole number from 1 to 100", "0 or 1", "any text".
std::string acceptedValues(const SettingsKey& key, const Environment& env);
/// The range as a short text ("1-100", "0 or 1"); empty when any value of the type is taken.
std::string rangeText(const SettingsKey& key, const Environment& env);
/// A value in the file's encoding: decimal, "1"/"0", the text, the short date.
std::string valueText(const SettingsValue& value, const Environment& env);

/// The text-stamp font before any stored value: Times New Roman, character set 204, white,
/// 26 points, no style.
inline constexpr std::string_view kDefaultFontText = "Times New Roman,204,16777215,26,0";
/// Reads a font string ("name,charset,color,size,style") onto a font: a field counts only when
/// a comma follows it, the fifth is the rest; empty or non-numeric fields leave the attribute.
void applyFontString(FontChoice& font, std::string_view text);
/// The font string of a font.
std::string fontString(const FontChoice& font);

/// The main window's outer rectangle in its normal state, and whether it is maximized.
struct WindowPlacement {
  int X = 0, Y = 0, Width = 900, Height = 548;
  bool Maximized = false;
  bool operator==(const WindowPlacement&) const = default;
};
/// A 900 x 548 window centred on the screen.
WindowPlacement defaultPlacement(int screenWidth, int screenHeight);

/// The options and application state kept in the settings file.
struct AppSettings {
  TConversionSettings conversion;  // run options, Text_Font included
  std::string Language = "English";
  LocalDateTime LastUpdate;
  int64_t AllProcessedBytes = 0;  // KiB
  int64_t AllProcessedFiles = 0;
  int32_t Mainform_height = 0;  // written only
  WindowPlacement placement;

  /// The state of a first start without a settings file: every key at its table default.
  static AppSettings defaults(const Environment& env);
};

/// The value of a key in the state, for writing.
SettingsValue settingsValueOf(const AppSettings& state, const SettingsKey& key);
/// Puts a value read for a key into the state (a kSelectOnly value outside its range is
/// ignored, leaving the state as it was).
void applySettingsValue(AppSettings& state, const SettingsKey& key, const SettingsValue& value);
/// The value of a run option in a record.
SettingsValue settingsValueOf(const TConversionSettings& settings, const SettingsKey& key);

enum class ApplyResult { kApplied, kUnknownKey, kMalformed, kIgnored };

/// Applies one key of section "Settings" to the record as the file would (clamping to the
/// control's range; a list index outside its list is malformed). Keys of application state
/// ("Language", "Mainform_height", ...) are recognised and reported as kIgnored.
ApplyResult applySettingsKey(TConversionSettings& settings, std::string_view key, std::string_view value,
                             const Environment& env);
ApplyResult applySettingsKey(TConversionSettings& settings, std::string_view key, std::string_view value);

}  // namespace brevane::settings
