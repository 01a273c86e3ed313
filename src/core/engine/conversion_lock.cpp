// The process-wide conversion lock.
#include "engine/conversion_lock.h"

namespace brevane {

std::mutex& ConversionLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace brevane
