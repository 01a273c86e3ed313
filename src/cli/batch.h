// brevane-batch: argument parsing, input collection and the run loop.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "engine/settings.h"

namespace brevane::cli {

/// Parsed command line.
struct Options {
  TConversionSettings settings;
  std::vector<std::string> paths;
  bool quiet = false;
  bool help = false;
};

/// Parses the arguments; throws UsageError with a message naming the bad argument.
Options parseArguments(const std::vector<std::string>& args);

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// Expands files and folders into the run's list: folders recursively (accepted extensions
/// only, names beginning with "." not entered, sorted by path), files as given; duplicates
/// dropped, also under other spellings of one file (a symbolic link, "./", ".."), which are
/// compared by their real path. Folders that cannot be read are reported through `warnings`.
std::vector<std::string> collectInputs(const std::vector<std::string>& paths, std::vector<std::string>& warnings);

/// The whole command; returns the exit status (0 clean, 1 error lines, 2 usage or no start).
int runBatch(const std::vector<std::string>& args);

}  // namespace brevane::cli
