// The help command.
#include "help.h"

#include <QUrl>

#include "desktop_open.h"
#include "services/help_files.h"

namespace brevane::app {

bool openHelp(const std::string& programFolder, const QString& lang) {
  const std::string page = services::findHelpFile(programFolder, lang.toStdString());
  if (page.empty()) return false;
  return openDesktopUrl(QUrl::fromLocalFile(QString::fromStdString(page)));
}

}  // namespace brevane::app
