// The files a run has written.
#include "engine/written_files.h"

#include <algorithm>

namespace brevane {

void WrittenFiles::add(const FileIdentity& file) {
  std::lock_guard lock(m_mutex);
  m_files.push_back(file);
}

bool WrittenFiles::contains(const FileIdentity& file) const {
  std::lock_guard lock(m_mutex);
  return std::find(m_files.begin(), m_files.end(), file) != m_files.end();
}

void WrittenFiles::clear() {
  std::lock_guard lock(m_mutex);
  m_files.clear();
}

}  // namespace brevane
