// The files a run has written, by identity, so that a source replaced by an output of the
// same run is never read as if it were the source.
#pragma once

#include <mutex>
#include <vector>

#include "base/platform.h"

namespace brevane {

/// The identities of a run's outputs; safe from several workers at once.
class WrittenFiles {
 public:
  void add(const FileIdentity& file);
  bool contains(const FileIdentity& file) const;
  void clear();

 private:
  mutable std::mutex m_mutex;
  std::vector<FileIdentity> m_files;
};

/// The line's message for a source that an output of the same run has replaced.
inline constexpr const char* kReplacedByOutput = "The file was replaced by an output of this run";

}  // namespace brevane
