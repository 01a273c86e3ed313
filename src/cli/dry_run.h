// The names a run would write, worked out without writing anything.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/image_header.h"
#include "engine/settings.h"

namespace brevane::cli {

/// What one source would become.
struct PlannedOutput {
  std::string source;
  std::vector<std::string> targets;  // one name; the automatic format's candidates (JPEG first)
  std::string error;                 // why no name could be made (the size could not be read)
};

/// The source's pixel size as the run would see it; throws brevane::Error when unreadable.
using SizeReader = std::function<PixelSize(const std::string& path)>;

/// The header's size when the header tells it, else the size of a full decode.
PixelSize sourcePixelSize(const std::string& path);

/// The size after the resize step of the run's settings.
PixelSize resizedSize(PixelSize source, const TConversionSettings& settings);

/// The names of a run of `files` in list order with the settings as the run's start takes
/// them (unique-name guard, trailing "/"); the size is read only when the rename mask
/// needs it.
std::vector<PlannedOutput> planOutputs(const TConversionSettings& settings, const std::vector<std::string>& files,
                                       const SizeReader& readSize = sourcePixelSize);

}  // namespace brevane::cli
