// ConversionLock: the one process-wide lock that workers hold around the services that are
// shared and not reentrant (Exif access, text drawing, renaming, the RAW library).
#pragma once

#include <cstdint>
#include <mutex>

namespace brevane {

/// The lock's type: a mutex that, while accounting is on, adds up the CPU time its holders
/// spend holding it (how much of a run is serialised).
class ConversionMutex {
 public:
  void lock();
  bool try_lock();
  void unlock();

 private:
  std::mutex m_mutex;
  int64_t m_heldSince = -1;  // the holder's thread CPU time at acquisition, while accounting
};

ConversionMutex& ConversionLock();

/// Accounting for benchmarks: switching it on starts a new total.
void setConversionLockAccounting(bool on);
/// Thread CPU nanoseconds spent holding the lock since accounting was switched on.
uint64_t conversionLockHeldCpuNs();

}  // namespace brevane
