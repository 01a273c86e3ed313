// The memory budget of a run and the claims of its workers.
#include "base/memory_budget.h"

#include <chrono>
#include <limits>

#include "base/error.h"
#include "base/platform.h"

namespace brevane {
namespace {

thread_local MemoryClaim* t_current = nullptr;

uint64_t claimBytes(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) return 0;
  return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * kClaimBytesPerPixel;
}

}  // namespace

MemoryBudget& MemoryBudget::process() {
  static MemoryBudget* budget = new MemoryBudget;  // never destroyed: workers may outlive statics
  return *budget;
}

void MemoryBudget::setCapacity(uint64_t bytes) {
  std::lock_guard lock(m_mutex);
  m_fixedCapacity = bytes;
}

uint64_t MemoryBudget::capacity() {
  std::lock_guard lock(m_mutex);
  if (m_fixedCapacity) return m_fixedCapacity;
  if (m_used == 0 || m_machineCapacity == 0) {
    uint64_t available = availableMemoryBytes();
    m_machineCapacity = available ? available : std::numeric_limits<uint64_t>::max();
  }
  return m_machineCapacity;
}

uint64_t MemoryBudget::used() const {
  std::lock_guard lock(m_mutex);
  return m_used;
}

uint64_t MemoryBudget::peak() const {
  std::lock_guard lock(m_mutex);
  return m_peak;
}

void MemoryBudget::resetPeak() {
  std::lock_guard lock(m_mutex);
  m_peak = m_used;
}

int MemoryBudget::waiting() const {
  std::lock_guard lock(m_mutex);
  return m_waiting;
}

bool MemoryBudget::grow(uint64_t& held, uint64_t want, bool& othersHold) {
  if (want <= held) return true;
  uint64_t cap = capacity();
  std::lock_guard lock(m_mutex);
  uint64_t others = m_used - held;
  othersHold = others > 0;
  if (want > cap || others > cap - want) return false;
  m_used += want - held;
  held = want;
  if (m_used > m_peak) m_peak = m_used;
  return true;
}

void MemoryBudget::release(uint64_t& held) {
  if (held == 0) return;
  {
    std::lock_guard lock(m_mutex);
    m_used -= held;
    ++m_releases;
  }
  held = 0;
  m_released.notify_all();
}

void MemoryBudget::waitForRelease() {
  std::unique_lock lock(m_mutex);
  ++m_waiting;
  uint64_t seen = m_releases;
  // The timeout covers a release that came between the refusal and this wait.
  m_released.wait_for(lock, std::chrono::milliseconds(100), [&] { return m_releases != seen; });
  --m_waiting;
}

MemoryClaim::MemoryClaim(MemoryBudget& budget) : m_budget(budget), m_previous(t_current) { t_current = this; }

MemoryClaim::~MemoryClaim() {
  m_budget.release(m_held);
  t_current = m_previous;
}

void MemoryClaim::require(int64_t width, int64_t height) {
  bool othersHold = false;
  if (m_budget.grow(m_held, claimBytes(width, height), othersHold)) return;
  m_refusedForOthers = othersHold;
  throw Error(format("Not enough memory for a %lldx%lld image", (long long)width, (long long)height));
}

MemoryClaim* MemoryClaim::current() { return t_current; }

void claimImageMemory(int64_t width, int64_t height) {
  if (MemoryClaim* claim = t_current) claim->require(width, height);
}

}  // namespace brevane
