// The date this copy of the program was built. It lives in one small source file generated at
// every build, so a new day recompiles that file alone.
#pragma once

#include "base/datetime.h"

namespace brevane {

/// The calendar day of the build (UTC, or SOURCE_DATE_EPOCH when the build sets it), at 00:00.
LocalDateTime buildDate();

}  // namespace brevane
