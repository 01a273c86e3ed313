// The run's error log.
#include "engine/error_log.h"

namespace brevane {

void ErrorLog::add(const std::string& line) {
  std::lock_guard lock(m_mutex);
  m_lines.push_back(line);
  if (m_listener) m_listener(line);
}

void ErrorLog::clear() {
  std::lock_guard lock(m_mutex);
  m_lines.clear();
}

std::vector<std::string> ErrorLog::lines() const {
  std::lock_guard lock(m_mutex);
  return m_lines;
}

size_t ErrorLog::size() const {
  std::lock_guard lock(m_mutex);
  return m_lines.size();
}

void ErrorLog::setListener(Listener listener) {
  std::lock_guard lock(m_mutex);
  m_listener = std::move(listener);
}

}  // namespace brevane
