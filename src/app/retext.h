// The language re-texting of a window: its title and every named component by exact kind.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "i18n/retext_rules.h"

class QWidget;

namespace brevane::app {

/// The text of a key, or none when the language has no such key.
using TextLookup = std::function<std::optional<std::string>(const std::string& key)>;

/// Re-texts `window` for a window of `role`: the title from the window-name key, then each
/// component in the window's component order by the rows of its exact kind. A missing key
/// leaves the element as it is.
void retextWindow(QWidget* window, i18n::WindowRole role, const TextLookup& lookup);

/// The ChangeLang of a dialog: reads the language file at `languageFile` anew and re-texts
/// `dialog` for `section`; nothing changes when the file cannot be read.
void retextDialog(QWidget* dialog, i18n::WindowRole role, const std::string& languageFile, const QString& section);

}  // namespace brevane::app
