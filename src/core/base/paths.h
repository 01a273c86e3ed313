// Path text helpers: folder, name, extension and stem of a "/"-separated path.
#pragma once

#include <string>

namespace brevane {

/// Folder part of a path up to and including its last "/" ("" when it has none).
std::string folderPart(const std::string& path);
/// Name part after the last "/".
std::string namePart(const std::string& path);
/// Extension of the name part from its last dot, with the dot ("" when it has none).
std::string extensionOf(const std::string& path);
/// The name part without its extension (everything before the name's last dot).
std::string stemOf(const std::string& path);

}  // namespace brevane
