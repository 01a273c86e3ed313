// The help command: the help page of the current language in the desktop's browser.
#pragma once

#include <QString>
#include <string>

namespace brevane::app {

/// Opens help_ru.html when `lang` is exactly "Russian", else help_en.html, found beside the
/// executable or in the installed share folder; false when the page is missing or no handler
/// took it.
bool openHelp(const std::string& programFolder, const QString& lang);

}  // namespace brevane::app
