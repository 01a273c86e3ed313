// Byte buffers and the large-block cache: reuse, the waste bound, the memory limit, copies.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/byte_buffer.h"

namespace brevane {
namespace {

using memory::kLargeBlockBytes;
using memory::largeBlockStats;

class LargeBlocks : public ::testing::Test {
 protected:
  void SetUp() override { memory::trimLargeBlockCache(); }
  void TearDown() override {
    memory::setLargeBlockCacheCeiling(size_t{512} << 20);
    memory::trimLargeBlockCache();
  }
};

TEST_F(LargeBlocks, AFreedBlockServesTheNextFileOfASimilarSize) {
  uint8_t* first = nullptr;
  {
    ByteBuffer a(36'000'000);
    first = a.data();
    std::memset(a.data(), 1, a.size());
  }
  const uint64_t mapped = largeBlockStats().mapped;
  ByteBuffer b(35'000'000);  // another photo of nearly the same size
  EXPECT_EQ(b.data(), first);
  EXPECT_EQ(largeBlockStats().mapped, mapped);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b.data()) % memory::kLargeBlockGranule, 0u);

  // A request of a fraction of a cached block does not pin it down: it maps its own.
  b.clear();
  ByteBuffer small(2 * kLargeBlockBytes);
  EXPECT_NE(small.data(), first);
}

TEST_F(LargeBlocks, NoMoreIsMappedThanAtThePeakOfLiveBlocks) {
  // Blocks of ever new sizes, two alive at a time, as two workers on varied files.
  size_t peakLive = 0;
  for (int i = 0; i < 60; ++i) {
    ByteBuffer a((3 + i % 17) * kLargeBlockBytes + 12345);
    ByteBuffer b((5 + (i * 7) % 23) * kLargeBlockBytes);
    peakLive = std::max(peakLive, largeBlockStats().liveBytes);
    const memory::LargeBlockStats s = largeBlockStats();
    EXPECT_LE(s.liveBytes + s.cachedBytes, s.limitBytes);  // never more mapped than at the peak
  }
  const memory::LargeBlockStats s = largeBlockStats();
  EXPECT_EQ(s.liveBytes, 0u);
  EXPECT_LE(s.cachedBytes, peakLive);
  EXPECT_GT(s.reused, 0u);

  // A lower ceiling evicts at once; trimming empties the cache.
  memory::setLargeBlockCacheCeiling(4 * kLargeBlockBytes);
  EXPECT_LE(largeBlockStats().cachedBytes, 4 * kLargeBlockBytes);
  memory::trimLargeBlockCache();
  EXPECT_EQ(largeBlockStats().cachedBytes, 0u);
}

TEST(ByteBuffer, CopiesMovesAndReallocation) {
  for (size_t size : {size_t{0}, size_t{7}, size_t{100'000}, 3 * kLargeBlockBytes + 5}) {
    ByteBuffer a(size);
    for (size_t i = 0; i < size; ++i) a.data()[i] = static_cast<uint8_t>(i * 13);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a.data()) % 64, 0u);
    ByteBuffer copy = a;
    ASSERT_EQ(copy.size(), size);
    if (size) {
      EXPECT_NE(copy.data(), a.data());
      EXPECT_EQ(std::memcmp(copy.data(), a.data(), size), 0);
    }
    const uint8_t* where = a.data();
    ByteBuffer moved = std::move(a);
    EXPECT_EQ(moved.data(), where);
    EXPECT_TRUE(a.empty());  // NOLINT(bugprone-use-after-move): a moved-from buffer is empty
    copy = moved;
    EXPECT_EQ(copy.size(), size);
  }
  // Shrinking within the block keeps it; growing past it or wasting most of it does not.
  ByteBuffer b(1000);
  const uint8_t* block = b.data();
  b.allocate(800);
  EXPECT_EQ(b.data(), block);
  EXPECT_EQ(b.size(), 800u);
  b.truncate(10);
  EXPECT_EQ(b.data(), block);
  EXPECT_EQ(b.size(), 10u);
  b.allocate(5000);
  EXPECT_EQ(b.size(), 5000u);
}

}  // namespace
}  // namespace brevane
