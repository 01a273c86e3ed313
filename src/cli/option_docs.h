// The texts made from the option table and the table of settings keys: --help,
// --list-options, --print-settings, the manual page and the bash completion.
#pragma once

#include <string>

#include "engine/settings.h"
#include "settings/settings_keys.h"

namespace brevane::cli {

/// "brevane-batch 1.0.0.1".
std::string versionText();

/// The --help text: usage, every option with its value and one line, the exit statuses.
std::string helpText();

/// Every settings key a run takes, with its type, range, default on this machine, meaning
/// and the options that set it.
std::string listOptionsText(const settings::Environment& env);

/// The run options of a record as a settings file (sections "Settings" and "Text_Font"),
/// which --settings reads back.
std::string settingsFileText(const TConversionSettings& settings, const settings::Environment& env);

/// The manual page brevane-batch.1 (troff with the man macros). Defaults that depend on the
/// machine are described, not given.
std::string manPage();

/// A bash completion script for the options and their words.
std::string bashCompletion();

}  // namespace brevane::cli
