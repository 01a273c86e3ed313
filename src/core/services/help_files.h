// The help pages of the desktop program: one HTML page per language, looked up where lang.ini is.
#pragma once

#include <string>
#include <string_view>

namespace brevane::services {

/// "help_ru.html" when `lang` is exactly "Russian", "help_en.html" otherwise.
std::string helpFileName(std::string_view lang);

/// The help page of `lang` beside the executable (`programFolder`, with a trailing "/"), else in
/// the installed layout's ../share/brevane/; "" when neither exists.
std::string findHelpFile(const std::string& programFolder, std::string_view lang);

}  // namespace brevane::services
