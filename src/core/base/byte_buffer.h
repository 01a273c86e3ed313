// Byte buffers for pixels and work rows: allocated without zero-fill, and large blocks reused
// from one file to the next instead of being mapped, faulted in and unmapped for each file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brevane {

/// Storage of a size fixed at allocation whose contents start unspecified: the owner writes
/// every byte it later reads. Always 64-byte aligned. Blocks of kLargeBlockBytes and more come
/// from the large-block cache below; smaller ones from the heap.
class ByteBuffer {
 public:
  ByteBuffer() noexcept = default;
  explicit ByteBuffer(size_t size);
  ByteBuffer(const ByteBuffer& other);
  ByteBuffer& operator=(const ByteBuffer& other);
  ByteBuffer(ByteBuffer&& other) noexcept;
  ByteBuffer& operator=(ByteBuffer&& other) noexcept;
  ~ByteBuffer();

  uint8_t* data() noexcept { return m_data; }
  const uint8_t* data() const noexcept { return m_data; }
  size_t size() const noexcept { return m_size; }
  bool empty() const noexcept { return m_size == 0; }

  /// Makes the buffer `size` bytes long; the old contents are not kept. The block is kept when
  /// it is large enough and would not waste more than half of itself.
  void allocate(size_t size);
  /// Shortens the buffer to `size` bytes (no more than it has), keeping its block and contents.
  void truncate(size_t size) noexcept {
    if (size < m_size) m_size = size;
  }
  /// Frees the block (back to the cache when it is a large one).
  void clear() noexcept;
  void swap(ByteBuffer& other) noexcept;

 private:
  uint8_t* m_data = nullptr;
  size_t m_size = 0;
  size_t m_capacity = 0;  // bytes of the block behind m_data
};

namespace memory {

/// Requests from this size on are large blocks.
inline constexpr size_t kLargeBlockBytes = size_t{1} << 20;
/// Large blocks are whole multiples of this, mapped at this alignment, so that the kernel can
/// back them with huge pages (one fault per 2 MiB instead of one per 4 KiB page).
inline constexpr size_t kLargeBlockGranule = size_t{2} << 20;

/// A large block: from the cache when a freed block of a fitting size is there, else mapped
/// anew. Throws std::bad_alloc. `capacity` receives the block's real size.
uint8_t* acquireLargeBlock(size_t size, size_t& capacity);
/// Returns a block to the cache; the oldest cached blocks are unmapped while the cache holds
/// more than its limit.
void releaseLargeBlock(uint8_t* block, size_t capacity) noexcept;

/// The cache's state, for tests and benchmarks.
struct LargeBlockStats {
  size_t cachedBlocks = 0;
  size_t cachedBytes = 0;
  size_t liveBytes = 0;      // large blocks handed out and not yet released
  size_t limitBytes = 0;     // the cache's current limit
  uint64_t reused = 0;       // acquisitions served from the cache
  uint64_t mapped = 0;       // acquisitions that mapped a new block
};
LargeBlockStats largeBlockStats();

/// Unmaps every cached block (the end of a run: an idle program keeps nothing) and starts the
/// measure of the peak anew.
void trimLargeBlockCache() noexcept;

/// The cache keeps at most as many bytes as were live at once since the last trim (so a run's
/// memory never goes beyond twice its peak), and never more than this ceiling. Tests lower it.
void setLargeBlockCacheCeiling(size_t bytes) noexcept;

/// Sets the heap allocator (once per process) to serve requests up to 64 MiB from its heap and
/// to keep up to 128 MiB of freed memory, so that the smaller buffers of each file (the file's
/// bytes, the libraries' work memory, encoded output) reuse the pages of the file before
/// instead of being mapped and faulted in anew. Called at the start of a run.
void keepFreedHeapMemory() noexcept;

}  // namespace memory
}  // namespace brevane
