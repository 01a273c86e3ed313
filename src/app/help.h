// The help command: the help page of the current language in the desktop's browser, or in a
// window of the program's own when no browser takes it.
#pragma once

#include <QString>
#include <string>

class QWidget;

namespace brevane::app {

/// Opens help_ru.html when `lang` is exactly "Russian", else help_en.html, found beside the
/// executable or in the installed share folder, with the desktop's handler. When no handler
/// takes it (no browser installed, no desktop session) the page is shown in a help window of
/// `parent` (objectName "HelpViewer"), one window reused from call to call. False only when the
/// page is missing.
bool openHelp(QWidget* parent, const std::string& programFolder, const QString& lang);

}  // namespace brevane::app
