// The process-wide conversion lock and its accounting of held CPU time.
#include "engine/conversion_lock.h"

#include <time.h>

#include <atomic>

namespace brevane {
namespace {

std::atomic<bool> g_accounting{false};
std::atomic<uint64_t> g_heldNs{0};

int64_t threadCpuNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace

void ConversionMutex::lock() {
  m_mutex.lock();
  m_heldSince = g_accounting.load(std::memory_order_relaxed) ? threadCpuNs() : -1;
}

bool ConversionMutex::try_lock() {
  if (!m_mutex.try_lock()) return false;
  m_heldSince = g_accounting.load(std::memory_order_relaxed) ? threadCpuNs() : -1;
  return true;
}

void ConversionMutex::unlock() {
  if (m_heldSince >= 0) g_heldNs.fetch_add(static_cast<uint64_t>(threadCpuNs() - m_heldSince));
  m_mutex.unlock();
}

ConversionMutex& ConversionLock() {
  static ConversionMutex lock;
  return lock;
}

void setConversionLockAccounting(bool on) {
  if (on) g_heldNs.store(0);
  g_accounting.store(on);
}

uint64_t conversionLockHeldCpuNs() { return g_heldNs.load(); }

}  // namespace brevane
