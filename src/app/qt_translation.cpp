// Qt's own texts in the language of the interface.
#include "qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace brevane::app {

QString localeOfLanguage(const QString& section) {
  // The language file names a language by its English name; these are the ones Qt translates.
  static const struct {
    const char* name;
    const char* code;
  } kNames[] = {{"Russian", "ru"},  {"Ukrainian", "uk"},  {"Belarusian", "be"}, {"German", "de"},
                {"French", "fr"},   {"Spanish", "es"},    {"Italian", "it"},    {"Polish", "pl"},
                {"Czech", "cs"},    {"Portuguese", "pt"}, {"Dutch", "nl"},      {"Swedish", "sv"},
                {"Danish", "da"},   {"Finnish", "fi"},    {"Hungarian", "hu"},  {"Turkish", "tr"},
                {"Japanese", "ja"}, {"Korean", "ko"},     {"Chinese", "zh_CN"}, {"Bulgarian", "bg"},
                {"Slovak", "sk"},   {"Hebrew", "he"},     {"Arabic", "ar"},     {"Greek", "el"}};
  for (const auto& n : kNames)
    if (section.compare(QLatin1String(n.name), Qt::CaseInsensitive) == 0) return QString::fromLatin1(n.code);
  return {};
}

void installQtTranslation(const QString& section) {
  static QTranslator* installed = nullptr;
  if (installed) {
    QCoreApplication::removeTranslator(installed);
    delete installed;
    installed = nullptr;
  }
  QString code = localeOfLanguage(section);
  if (code.isEmpty() || !QCoreApplication::instance()) return;
  auto* translator = new QTranslator;
  if (translator->load("qtbase_" + code, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator);
    installed = translator;
  } else {
    delete translator;
  }
}

}  // namespace brevane::app
