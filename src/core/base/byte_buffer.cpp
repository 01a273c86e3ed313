// Byte buffers without zero-fill, and the process-wide cache of large blocks behind them.
//
// Every file of a run needs the same few large buffers (the decoded picture, the resampler's
// output, work rows). Taken from the heap, each of them is above the allocator's mapping
// threshold, so each file would map fresh pages, fault every 4 KiB page in (the kernel zeroes
// it), and unmap it again; on a virtual machine such faults cost far more than the pixel work
// done in the memory. Freed large blocks therefore wait in a small cache for the next file, and
// new ones are mapped at huge-page alignment with the kernel advised to back them with huge
// pages.
#include "base/byte_buffer.h"

#include <malloc.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace brevane {
namespace memory {
namespace {

constexpr std::align_val_t kAlignment{64};

struct CachedBlock {
  uint8_t* block;
  size_t capacity;
};

class LargeBlockCache {
 public:
  uint8_t* acquire(size_t size, size_t& capacity) {
    const size_t rounded = roundUp(size);
    std::vector<CachedBlock> evicted;
    evicted.reserve(8);
    {
      std::lock_guard lock(m_mutex);
      // The smallest cached block that holds the request without wasting more than its size.
      auto best = m_blocks.end();
      for (auto it = m_blocks.begin(); it != m_blocks.end(); ++it)
        if (it->capacity >= rounded && it->capacity <= 2 * rounded &&
            (best == m_blocks.end() || it->capacity < best->capacity))
          best = it;
      if (best != m_blocks.end()) {
        CachedBlock found = *best;
        m_blocks.erase(best);
        m_cachedBytes -= found.capacity;
        noteLive(found.capacity);
        ++m_reused;
        capacity = found.capacity;
        return found.block;
      }
      ++m_mapped;
      noteLive(rounded);
      // A new mapping must not take the blocks mapped in all (live and cached) beyond the
      // peak of live ones: cached blocks that do not fit go first, oldest first.
      evictLocked(limitLocked() > m_liveBytes ? limitLocked() - m_liveBytes : 0, evicted);
    }
    for (const CachedBlock& b : evicted) ::munmap(b.block, b.capacity);
    uint8_t* block = mapBlock(rounded);
    if (!block) {
      std::lock_guard lock(m_mutex);
      m_liveBytes -= rounded;
      throw std::bad_alloc();
    }
    capacity = rounded;
    return block;
  }

  void release(uint8_t* block, size_t capacity) noexcept {
    std::vector<CachedBlock> evicted;
    {
      std::lock_guard lock(m_mutex);
      m_liveBytes -= capacity;
      try {
        m_blocks.push_back({block, capacity});
        m_cachedBytes += capacity;
      } catch (...) {
        ::munmap(block, capacity);  // no room to remember it: unmapped at once
      }
      evictLocked(limitLocked(), evicted);
    }
    for (const CachedBlock& b : evicted) ::munmap(b.block, b.capacity);
  }

  void trim() noexcept {
    std::vector<CachedBlock> blocks;
    {
      std::lock_guard lock(m_mutex);
      blocks.swap(m_blocks);
      m_cachedBytes = 0;
      m_peakLive = m_liveBytes;  // the next run sets its own limit
    }
    for (const CachedBlock& b : blocks) ::munmap(b.block, b.capacity);
  }

  void setCeiling(size_t bytes) noexcept {
    {
      std::lock_guard lock(m_mutex);
      m_ceiling = bytes;
    }
    trimToLimit();
  }

  LargeBlockStats stats() {
    std::lock_guard lock(m_mutex);
    return {m_blocks.size(), m_cachedBytes, m_liveBytes, limitLocked(), m_reused, m_mapped};
  }

 private:
  static size_t roundUp(size_t size) {
    if (size > SIZE_MAX - kLargeBlockGranule) throw std::bad_alloc();
    return (size + kLargeBlockGranule - 1) / kLargeBlockGranule * kLargeBlockGranule;
  }

  // A block of `size` bytes (a multiple of the granule) at granule alignment, or nullptr.
  static uint8_t* mapBlock(size_t size) {
    const size_t span = size + kLargeBlockGranule;
    void* p = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    auto* raw = static_cast<uint8_t*>(p);
    const uintptr_t address = reinterpret_cast<uintptr_t>(raw);
    const size_t head = (kLargeBlockGranule - address % kLargeBlockGranule) % kLargeBlockGranule;
    if (head) ::munmap(raw, head);
    const size_t tail = kLargeBlockGranule - head;
    if (tail) ::munmap(raw + head + size, tail);
#ifdef MADV_HUGEPAGE
    ::madvise(raw + head, size, MADV_HUGEPAGE);  // a hint: without huge pages nothing changes
#endif
    return raw + head;
  }

  void noteLive(size_t bytes) {
    m_liveBytes += bytes;
    m_peakLive = std::max(m_peakLive, m_liveBytes);
  }

  size_t limitLocked() const { return std::min(m_peakLive, m_ceiling); }

  void trimToLimit() noexcept {
    std::vector<CachedBlock> evicted;
    {
      std::lock_guard lock(m_mutex);
      evictLocked(limitLocked(), evicted);
    }
    for (const CachedBlock& b : evicted) ::munmap(b.block, b.capacity);
  }

  // Moves the oldest cached blocks to `evicted` until the cache holds at most `keep` bytes. A
  // block that cannot be noted there stays cached (it is unmapped by a later call).
  void evictLocked(size_t keep, std::vector<CachedBlock>& evicted) noexcept {
    size_t drop = 0;
    while (drop < m_blocks.size() && m_cachedBytes > keep) {
      try {
        evicted.push_back(m_blocks[drop]);
      } catch (...) {
        break;
      }
      m_cachedBytes -= m_blocks[drop].capacity;
      ++drop;
    }
    m_blocks.erase(m_blocks.begin(), m_blocks.begin() + static_cast<std::ptrdiff_t>(drop));
  }

  std::mutex m_mutex;
  std::vector<CachedBlock> m_blocks;  // oldest first
  size_t m_cachedBytes = 0;
  size_t m_liveBytes = 0;
  size_t m_peakLive = 0;
  size_t m_ceiling = size_t{512} << 20;
  uint64_t m_reused = 0;
  uint64_t m_mapped = 0;
};

LargeBlockCache& cache() {
  // Never destroyed: buffers in static objects may be released during exit.
  static LargeBlockCache* instance = new LargeBlockCache;
  return *instance;
}

}  // namespace

uint8_t* acquireLargeBlock(size_t size, size_t& capacity) { return cache().acquire(size, capacity); }
void releaseLargeBlock(uint8_t* block, size_t capacity) noexcept { cache().release(block, capacity); }
LargeBlockStats largeBlockStats() { return cache().stats(); }
void trimLargeBlockCache() noexcept { cache().trim(); }
void setLargeBlockCacheCeiling(size_t bytes) noexcept { cache().setCeiling(bytes); }

void keepFreedHeapMemory() noexcept {
  static const bool done = [] {
#if defined(__GLIBC__)
    ::mallopt(M_MMAP_THRESHOLD, 64 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
    return true;
  }();
  (void)done;
}

}  // namespace memory

ByteBuffer::ByteBuffer(size_t size) { allocate(size); }

ByteBuffer::ByteBuffer(const ByteBuffer& other) : ByteBuffer(other.m_size) {
  if (m_size) std::memcpy(m_data, other.m_data, m_size);
}

ByteBuffer& ByteBuffer::operator=(const ByteBuffer& other) {
  if (this != &other) {
    ByteBuffer copy(other);
    swap(copy);
  }
  return *this;
}

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept { swap(other); }

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
  if (this != &other) {
    clear();
    swap(other);
  }
  return *this;
}

ByteBuffer::~ByteBuffer() { clear(); }

void ByteBuffer::allocate(size_t size) {
  if (size <= m_capacity && size >= m_capacity / 2) {
    m_size = size;
    return;
  }
  clear();
  if (size == 0) return;
  if (size >= memory::kLargeBlockBytes) {
    m_data = memory::acquireLargeBlock(size, m_capacity);
  } else {
    m_data = static_cast<uint8_t*>(::operator new(size, memory::kAlignment));
    m_capacity = size;
  }
  m_size = size;
}

void ByteBuffer::clear() noexcept {
  if (m_data) {
    if (m_capacity >= memory::kLargeBlockBytes)
      memory::releaseLargeBlock(m_data, m_capacity);
    else
      ::operator delete(m_data, memory::kAlignment);
  }
  m_data = nullptr;
  m_size = m_capacity = 0;
}

void ByteBuffer::swap(ByteBuffer& other) noexcept {
  std::swap(m_data, other.m_data);
  std::swap(m_size, other.m_size);
  std::swap(m_capacity, other.m_capacity);
}

}  // namespace brevane
