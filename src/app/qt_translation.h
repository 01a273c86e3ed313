// Qt's own texts (standard dialogs, message-box buttons) in the language of the interface.
#pragma once

#include <QString>

namespace brevane::app {

/// The locale code of a language section name ("Russian" -> "ru"), "" when unknown.
QString localeOfLanguage(const QString& section);

/// Loads Qt's translation for the language (none for English or an unknown name) and
/// replaces the one installed before.
void installQtTranslation(const QString& section);

}  // namespace brevane::app
