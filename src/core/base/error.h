// The one exception type for expected failures; its message is what an error line shows.
#pragma once

#include <stdexcept>
#include <string>

namespace brevane {

/// An expected failure (bad file, failed write, refused size). The message is the text
/// that follows the path in an error line. std::bad_alloc is never wrapped in it.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

/// printf-style formatting into a std::string (for messages such as "JPEG error #%d").
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace brevane
