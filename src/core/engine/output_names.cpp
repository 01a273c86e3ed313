// The kept folder tree of a run's sources and the claim of free output names.
#include "engine/output_names.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/error.h"
#include "base/paths.h"
#include "base/platform.h"

namespace brevane {

namespace {

std::vector<std::string> components(const std::string& path) {
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t next = path.find('/', pos);
    if (next == std::string::npos) next = path.size();
    std::string part = path.substr(pos, next - pos);
    pos = next + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();  // ".." of the root is the root
      continue;
    }
    parts.push_back(std::move(part));
  }
  return parts;
}

std::string currentFolder() {
  std::string buffer(4096, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return "/";
    buffer.resize(buffer.size() * 2);
  }
  return buffer.c_str();
}

// The folder components of a source (its name dropped).
std::vector<std::string> folderComponents(const std::string& source) {
  std::vector<std::string> parts = components(normalPath(source));
  if (!parts.empty() && !source.empty() && source.back() != '/') parts.pop_back();
  return parts;
}

}  // namespace

std::string normalPath(const std::string& path) {
  std::string absolute = !path.empty() && path[0] == '/' ? path : currentFolder() + "/" + path;
  std::string out;
  for (const std::string& part : components(absolute)) out += "/" + part;
  if (out.empty()) return "/";
  if (!path.empty() && path.back() == '/') out += '/';
  return out;
}

std::string commonSourceFolder(const std::vector<std::string>& sources) {
  if (sources.empty()) return "";
  std::vector<std::string> common = folderComponents(sources.front());
  for (size_t i = 1; i < sources.size() && !common.empty(); ++i) {
    std::vector<std::string> parts = folderComponents(sources[i]);
    size_t same = 0;
    while (same < common.size() && same < parts.size() && common[same] == parts[same]) ++same;
    common.resize(same);
  }
  std::string folder = "/";
  for (const std::string& part : common) folder += part + "/";
  return folder;
}

std::map<std::string, std::string> keptFolders(const std::vector<std::string>& sources) {
  std::map<std::string, std::string> kept;
  size_t depth = components(commonSourceFolder(sources)).size();
  for (const std::string& source : sources) {
    std::vector<std::string> parts = folderComponents(source);
    std::string relative;
    for (size_t i = depth; i < parts.size(); ++i) relative += parts[i] + "/";
    kept[source] = relative;
  }
  return kept;
}

std::string createFoldersBelow(const std::string& base, const std::string& relative) {
  std::string folder = base;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  for (const std::string& part : components("/" + relative)) {
    folder += part + "/";
    std::string entry = folder.substr(0, folder.size() - 1);
    if (::mkdir(entry.c_str(), 0777) == 0) continue;
    int error = errno;
    struct stat st;
    // lstat, not stat: a link to a folder elsewhere would carry the writes out of `base`.
    if (error == EEXIST && ::lstat(entry.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) continue;
      return folder + ": " + (S_ISLNK(st.st_mode) ? "Is a symbolic link" : std::strerror(ENOTDIR));
    }
    return folder + ": " + std::strerror(error);
  }
  return "";
}

std::string numberedName(const std::string& path, int n) {
  if (n < 2) return path;
  std::string folder = folderPart(path), name = namePart(path);
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) dot = name.size();  // no extension, or a dot file
  return folder + name.substr(0, dot) + " (" + std::to_string(n) + ")" + name.substr(dot);
}

std::string placeUnderFreeName(const std::string& path, const std::function<void(const std::string& name)>& place,
                               int maxNumber) {
  for (int n = 1; n <= maxNumber; ++n) {
    std::string name = numberedName(path, n);
    // A name already on disk costs a look-up, not a write; the claim by `place` still decides,
    // for the names another worker takes between the look and the write.
    if (fileExists(name)) continue;
    try {
      place(name);
      return name;
    } catch (const Error& e) {
      if (std::strcmp(e.what(), kFileAlreadyExists) != 0) throw;
    }
  }
  throw Error(kFileAlreadyExists);
}

}  // namespace brevane
