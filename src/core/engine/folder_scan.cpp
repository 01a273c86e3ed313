// The folder scan of the input list.
#include "engine/folder_scan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "base/paths.h"
#include "base/platform.h"
#include "codecs/registry.h"

namespace brevane {

namespace {

class Scanner {
 public:
  Scanner(const std::atomic<bool>& cancel, const FolderScanCallbacks& callbacks)
      : m_cancel(cancel), m_callbacks(callbacks) {}

  // False when cancelled.
  bool scan(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return true;
    if (!m_visited.emplace(st.st_dev, st.st_ino).second) return true;  // reached through a loop of links

    std::vector<std::string> names;
    if (!readNames(folder, names)) return true;
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return std::strcoll(a.c_str(), b.c_str()) < 0; });

    // Files first; folders are remembered for the second pass.
    std::vector<std::string> folders;
    int entries = 0;
    for (const std::string& name : names) {
      const std::string path = folder + name;
      struct stat entry {};
      // A broken link or a file gone since the folder was read fails here and is passed over.
      if (::stat(path.c_str(), &entry) == 0) {
        if (S_ISDIR(entry.st_mode)) {
          if (name[0] != '.') folders.push_back(path + "/");
        } else if (S_ISREG(entry.st_mode) && codecs::isAcceptedExtension(extensionOf(name))) {
          if (m_callbacks.file) m_callbacks.file(path);
          if (m_cancel.load()) return false;
        }
      }
      if (++entries % kScanPumpEntries == 0 && pump()) return false;
    }

    for (const std::string& sub : folders) {
      if (m_cancel.load()) return false;
      if (!scan(sub)) return false;
    }
    return !pump();
  }

 private:
  // True when the pump asked to cancel.
  bool pump() {
    if (m_callbacks.pump) m_callbacks.pump();
    return m_cancel.load();
  }

  static bool readNames(const std::string& folder, std::vector<std::string>& names) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return false;
    while (const dirent* e = ::readdir(dir)) {
      if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
      names.emplace_back(e->d_name);
    }
    ::closedir(dir);
    return true;
  }

  const std::atomic<bool>& m_cancel;
  const FolderScanCallbacks& m_callbacks;
  std::set<std::pair<dev_t, ino_t>> m_visited;
};

}  // namespace

bool scanFolder(const std::string& folder, const std::atomic<bool>& cancel, const FolderScanCallbacks& callbacks) {
  std::string f = folder;
  if (f.empty() || f.back() != '/') f += '/';
  Scanner scanner(cancel, callbacks);
  return scanner.scan(f);
}

}  // namespace brevane
