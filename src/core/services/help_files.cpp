// The help pages of the desktop program.
#include "services/help_files.h"

#include "base/platform.h"

namespace brevane::services {

std::string helpFileName(std::string_view lang) {
  return lang == "Russian" ? "help_ru.html" : "help_en.html";
}

std::string findHelpFile(const std::string& programFolder, std::string_view lang) {
  const std::string name = helpFileName(lang);
  for (const std::string& candidate : {programFolder + name, programFolder + "../share/brevane/" + name})
    if (isRegularFile(candidate)) return candidate;
  return {};
}

}  // namespace brevane::services
