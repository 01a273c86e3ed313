// The memory budget of a run: workers claim the memory their images will need before the
// pixels are allocated, so that several large images at once never ask for more than the
// machine has.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace brevane {

/// Bytes one pixel of a claimed image may cost at the peak of a conversion: the decoded image,
/// the working image and its alpha plane, a resized copy of both and the encoder's buffers.
inline constexpr uint64_t kClaimBytesPerPixel = 16;

/// The process-wide pool that claims draw from. Its capacity is the memory available when no
/// claim is held (read again whenever the pool is idle), or a fixed value set by tests.
class MemoryBudget {
 public:
  static MemoryBudget& process();

  /// A fixed capacity in bytes; 0 returns to the machine's available memory.
  void setCapacity(uint64_t bytes);
  uint64_t capacity();
  /// Bytes claimed now, and the most claimed at once since resetPeak().
  uint64_t used() const;
  uint64_t peak() const;
  void resetPeak();
  /// Workers waiting for others to release memory; no new worker should start meanwhile.
  int waiting() const;

 private:
  friend class MemoryClaim;
  MemoryBudget() = default;
  // Raises `held` to `want` when the pool has room. False leaves `held` as it was and sets
  // `othersHold` when other claims hold memory (waiting for them may help).
  bool grow(uint64_t& held, uint64_t want, bool& othersHold);
  void release(uint64_t& held);
  // Waits until some claim is released (or a short time has passed).
  void waitForRelease();

  mutable std::mutex m_mutex;
  std::condition_variable m_released;
  uint64_t m_fixedCapacity = 0;
  uint64_t m_machineCapacity = 0;
  uint64_t m_used = 0;
  uint64_t m_peak = 0;
  uint64_t m_releases = 0;
  int m_waiting = 0;
};

/// One worker's claim on the budget, active on the thread that creates it until destroyed
/// (which releases it). While a claim is active, every image size checked on its thread
/// (checkImageSize) must fit the claim or grow it.
class MemoryClaim {
 public:
  explicit MemoryClaim(MemoryBudget& budget = MemoryBudget::process());
  ~MemoryClaim();
  MemoryClaim(const MemoryClaim&) = delete;
  MemoryClaim& operator=(const MemoryClaim&) = delete;

  /// Makes the claim cover an image of width x height. Throws brevane::Error ("Not enough
  /// memory for a WxH image") when the budget cannot give it.
  void require(int64_t width, int64_t height);
  uint64_t held() const { return m_held; }

  /// Runs `decode` until it no longer fails for want of memory that other claims hold: after
  /// such a failure the claim is released, the caller's locks are free again (decode takes
  /// its own), and the call waits for a release before it tries again. Any other failure, and
  /// a refusal while no other claim holds memory, is thrown as it is.
  template <class Fn>
  auto retryWhenMemoryFrees(Fn&& decode) -> decltype(decode()) {
    for (;;) {
      m_refusedForOthers = false;
      try {
        return decode();
      } catch (...) {
        if (!m_refusedForOthers) throw;
      }
      m_budget.release(m_held);
      m_budget.waitForRelease();
    }
  }

  /// The claim active on this thread, or nullptr.
  static MemoryClaim* current();

 private:
  MemoryBudget& m_budget;
  MemoryClaim* m_previous;
  uint64_t m_held = 0;
  bool m_refusedForOthers = false;
};

/// Called by checkImageSize: the claim active on this thread, if any, must cover the image.
void claimImageMemory(int64_t width, int64_t height);

}  // namespace brevane
