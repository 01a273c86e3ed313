// brevane-batch: input collection with the path checks, the dry run and the run loop.
#pragma once

#include <string>
#include <vector>

namespace brevane::cli {

/// A path that cannot be converted, with the system's words ("No such file or directory").
struct PathProblem {
  std::string path;
  std::string message;
  bool folder = false;  // a folder that cannot be read (else a file)
};

/// Expands files and folders into the run's list: folders recursively (accepted extensions
/// only, names beginning with "." not entered, sorted by path), files as given; duplicates
/// dropped, also under other spellings of one file (a symbolic link, "./", ".."), which are
/// compared by their real path. A path that does not exist, cannot be read or is a special
/// file, and a folder that cannot be read, becomes a problem instead of an entry.
std::vector<std::string> collectInputs(const std::vector<std::string>& paths, std::vector<PathProblem>& problems);

/// The whole command; returns the exit status (0 clean, 1 error lines, 2 usage or no start).
int runBatch(const std::vector<std::string>& args);

}  // namespace brevane::cli
