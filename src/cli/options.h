// brevane-batch's command line: the table of options (most of them plain aliases of settings
// keys) and the parser that turns arguments into the run's options record.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/settings.h"

namespace brevane::cli {

/// How an option's value becomes settings.
enum class ValueKind {
  kSwitch,    // no value: only the option's fixed assignments
  kNumber,    // a whole number for `key`, inside the key's range
  kQuality,   // a whole number for the quality key of the output format in effect
  kLossless,  // no value: the lossless key of the output format in effect set to 1
  kSize,      // WIDTHxHEIGHT for Resize_width and Resize_height
  kFileSize,  // a file size for `key` in KiB: N or Nk (KiB), Nm (MiB)
  kText,      // any text for `key`
  kWord,      // one of the option's words
  kCommand,   // not a setting: handled by the parser itself (--set, --dry-run, --help, ...)
};

/// A word of a kWord option and the assignments ("KEY=VALUE") it stands for.
struct OptionWord {
  std::string word;
  std::vector<std::string> assignments;
};

/// One option of the command line. A plain option is a thin alias: its value and its fixed
/// assignments go through the same path as `--set KEY=VALUE`.
struct OptionEntry {
  char shortName = 0;          // 'f' for -f; 0 when there is none
  std::string_view longName;   // "format" for --format
  std::string_view valueName;  // "FORMAT"; empty when the option takes no value
  ValueKind kind = ValueKind::kSwitch;
  std::string_view key;           // the key that takes the value (kNumber, kText)
  std::vector<std::string> also;  // assignments that come with the option
  std::vector<OptionWord> words;  // kWord
  std::string_view help;          // one line
};

/// Every option in the order --help lists them: the plain options, then the commands.
const std::vector<OptionEntry>& optionTable();
/// The option of that long name, or null.
const OptionEntry* findOption(std::string_view longName);
/// The settings keys an option sets, in the order it names them.
std::vector<std::string> keysOf(const OptionEntry& option);
/// The words an option takes, joined for a message or a listing ("jpg, png or auto").
std::string wordList(const OptionEntry& option, std::string_view lastJoiner = " or ");

/// What the command is asked to do.
enum class Action { kRun, kDryRun, kHelp, kVersion, kListOptions, kPrintSettings };

/// Parsed command line.
struct Options {
  TConversionSettings settings;
  std::vector<std::string> paths;
  Action action = Action::kRun;
  bool quiet = false;
};

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// Parses the arguments onto the defaults of a first start (or onto the settings file named
/// by --settings); throws UsageError with a message naming the bad argument, and for a bad
/// value the key, the value and what the key takes.
Options parseArguments(const std::vector<std::string>& args);

/// The path `--settings app` reads: the desktop program's Settings.ini.
std::string appSettingsPath();

}  // namespace brevane::cli
