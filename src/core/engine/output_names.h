// Where outputs go beyond the output folder's own name: the sources' folder tree kept below
// it, and names that never clash (" (2)", " (3)", ... claimed in one step with the write).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace brevane {

/// `path` as an absolute path without ".", ".." or empty components (taken lexically, from the
/// current folder for a relative path); a trailing "/" is kept.
std::string normalPath(const std::string& path);

/// The deepest folder that holds every source, as an absolute normal path with a trailing "/"
/// ("/" for sources on unrelated roots, "" for no sources).
std::string commonSourceFolder(const std::vector<std::string>& sources);

/// The folder of each source below the deepest common folder ("" for a source in that folder
/// itself, else "a/b/"): plain names only, so that appended to the output folder it never
/// climbs out of it, whatever "." or ".." the source paths held.
std::map<std::string, std::string> keptFolders(const std::vector<std::string>& sources);

/// Creates the `relative` folders below `base` one at a time. An entry on the way that is a
/// symbolic link or not a folder is refused rather than followed, so nothing below can land
/// outside `base`. Returns "" on success, else the folder and the reason.
std::string createFoldersBelow(const std::string& base, const std::string& relative);

/// `path` with " (n)" before the extension of its name ("a.JPG" -> "a (2).JPG", "notes" ->
/// "notes (2)", ".hidden" -> ".hidden (2)"); n below 2 gives `path` itself.
std::string numberedName(const std::string& path, int n);

/// Places an output under the first free name of `path`, `path` itself first, then " (2)",
/// " (3)", ... `place(name)` writes the file under `name` and must refuse a name that exists
/// in the same step, with brevane::Error("File already exists"); any other failure ends the
/// search. Names seen to exist are skipped without a write. Returns the name that was used.
/// Throws "File already exists" after `maxNumber` names.
std::string placeUnderFreeName(const std::string& path, const std::function<void(const std::string& name)>& place,
                               int maxNumber = 100000);

/// The message of a write refused because the name is taken.
inline constexpr const char* kFileAlreadyExists = "File already exists";

}  // namespace brevane
