// The run's error log: whole lines appended from any thread.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace brevane {

class ErrorLog {
 public:
  using Listener = std::function<void(const std::string& line)>;

  /// Appends one whole line; safe from several threads at once.
  void add(const std::string& line);
  /// Appends "code + path + ": " + message".
  void add(const char* code, const std::string& path, const std::string& message) {
    add(std::string(code) + path + ": " + message);
  }
  void clear();
  std::vector<std::string> lines() const;
  size_t size() const;
  /// Called with each new line, in order, while the log's lock is held.
  void setListener(Listener listener);

 private:
  mutable std::mutex m_mutex;
  std::vector<std::string> m_lines;
  Listener m_listener;
};

}  // namespace brevane
