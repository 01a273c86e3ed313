// Path text helpers: folder, name, extension and stem of a "/"-separated path.
#include "base/paths.h"

namespace brevane {

std::string folderPart(const std::string& path) {
  size_t p = path.rfind('/');
  return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

std::string namePart(const std::string& path) {
  size_t p = path.rfind('/');
  return p == std::string::npos ? path : path.substr(p + 1);
}

std::string extensionOf(const std::string& path) {
  std::string name = namePart(path);
  size_t p = name.rfind('.');
  return p == std::string::npos ? std::string() : name.substr(p);
}

std::string stemOf(const std::string& path) {
  std::string name = namePart(path);
  size_t p = name.rfind('.');
  return p == std::string::npos ? name : name.substr(0, p);
}

}  // namespace brevane
