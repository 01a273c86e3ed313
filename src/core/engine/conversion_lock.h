// ConversionLock: the one process-wide lock that workers hold around decoding, Exif access,
// text drawing and renaming (services that are not reentrant or must stay serialised).
#pragma once

#include <mutex>

namespace brevane {

std::mutex& ConversionLock();

}  // namespace brevane
