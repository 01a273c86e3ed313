// The folder scan of the input list: the accepted files of a folder, then of every subfolder,
// with a cancel flag and a callback that lets the caller keep its window alive.
#pragma once

#include <atomic>
#include <functional>
#include <string>

namespace brevane {

/// How often the scan hands control to the caller's pump: after this many entries.
inline constexpr int kScanPumpEntries = 21;

struct FolderScanCallbacks {
  /// An accepted file (a regular file, links followed, whose extension is accepted).
  std::function<void(const std::string& fullPath)> file;
  /// Called after every kScanPumpEntries entries of a folder and once after the subfolders of
  /// each folder; the window processes its pending events here (Esc sets the cancel flag).
  std::function<void()> pump;
};

/// Scans `folder` (with or without a trailing "/"): first its accepted files in name order,
/// then each subfolder in name order, recursively. Folders whose name begins with "." are not
/// entered. The cancel flag is tested after every accepted file, after every pump and before
/// every subfolder; the scan then stops at once. A folder that cannot be read, a broken link
/// or a file that vanishes are skipped without a word; a folder reached a second time (a loop
/// of links) is not entered again. Returns false when cancelled.
bool scanFolder(const std::string& folder, const std::atomic<bool>& cancel, const FolderScanCallbacks& callbacks);

}  // namespace brevane
