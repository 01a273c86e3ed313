// The memory budget: a worker's images must fit its claim, a decode refused for memory that
// others hold waits for them instead of failing, and a run of eight workers never claims more
// than the budget holds (or makes more memory resident than it).
#include "base/byte_buffer.h"
#include "base/memory_budget.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <thread>

#include "base/error.h"
#include "codecs/encoders.h"
#include "core/engine/engine_test_support.h"
#include "reliability_support.h"

namespace brevane {
namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;

class Budget : public ::testing::Test {
 protected:
  void SetUp() override { MemoryBudget::process().setCapacity(0); }
  void TearDown() override { MemoryBudget::process().setCapacity(0); }
};

TEST_F(Budget, ImagesMustFitTheClaimOfTheirThread) {
  MemoryBudget& budget = MemoryBudget::process();
  budget.setCapacity(10 * kMiB);
  EXPECT_NO_THROW(checkImageSize(2000, 2000));  // no claim on this thread: the size limit only
  {
    MemoryClaim claim;
    checkImageSize(500, 500);  // 4 MB
    EXPECT_EQ(claim.held(), 500u * 500u * kClaimBytesPerPixel);
    checkImageSize(100, 100);  // smaller images are covered by what the claim holds
    EXPECT_EQ(claim.held(), 500u * 500u * kClaimBytesPerPixel);
    try {
      checkImageSize(1000, 1000);
      FAIL() << "16 MB fit a 10 MiB budget";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "Not enough memory for a 1000x1000 image");
    }
    EXPECT_EQ(budget.used(), claim.held());
  }
  EXPECT_EQ(budget.used(), 0u);
}

TEST_F(Budget, ADecodeRefusedForOthersMemoryWaitsForItsRelease) {
  MemoryBudget& budget = MemoryBudget::process();
  budget.setCapacity(10 * kMiB);
  auto holder = std::make_unique<MemoryClaim>();
  holder->require(600, 600);  // 5.76 MB
  std::atomic<int> attempts{0};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    MemoryClaim claim;
    claim.retryWhenMemoryFrees([&] {
      ++attempts;
      checkImageSize(600, 600);
      return 0;
    });
    done = true;
  });
  while (budget.waiting() == 0) std::this_thread::yield();
  EXPECT_FALSE(done);
  holder.reset();  // the other worker ends
  worker.join();
  EXPECT_TRUE(done);
  EXPECT_GE(attempts.load(), 2);

  // Alone, a refusal is final.
  MemoryClaim alone;
  attempts = 0;
  EXPECT_THROW(alone.retryWhenMemoryFrees([&] {
    ++attempts;
    checkImageSize(1000, 1000);
    return 0;
  }),
               Error);
  EXPECT_EQ(attempts.load(), 1);
}

class BudgetRun : public Budget {
 protected:
  std::vector<std::string> makeSources(int count, int side) {
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
      files.push_back(in + "s" + std::to_string(i) + ".bmp");
      test::writeBytes(files.back(), codecs::encodeBmp(test::patternImage(side, side, 24, i)));
    }
    return files;
  }
  std::string in = test::makeTempDir("in"), out = test::makeTempDir("out");
};

// Eight workers, room for two images at a time, and one image larger than the whole budget.
TEST_F(BudgetRun, EightWorkersStayWithinTheBudgetAndLoseNothing) {
  MemoryBudget& budget = MemoryBudget::process();
  budget.setCapacity(12 * kMiB);  // a 600 x 600 image claims 5.76 MB
  std::vector<std::string> files = makeSources(16, 600);
  std::string big = in + "big.bmp";
  test::writeBytes(big, codecs::encodeBmp(test::patternImage(1000, 1000)));
  files.insert(files.begin() + 3, big);
  budget.resetPeak();
  TConversionSettings s = test::testSettings(out);
  s.Threads = 8;
  s.Output_format = 1;  // PNG: a slow encoder keeps the workers' images alive together
  test::RunResult r = test::runJob(s, files);
  EXPECT_EQ(r.processed, 17);
  EXPECT_EQ(r.lines, std::vector<std::string>{"AFO:" + big + ": Not enough memory for a 1000x1000 image"});
  EXPECT_EQ(test::folderEntries(out).size(), 16u);
  EXPECT_LE(budget.peak(), 12 * kMiB);
  EXPECT_GE(budget.peak(), 600u * 600u * kClaimBytesPerPixel);
  EXPECT_EQ(budget.used(), 0u);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define BREVANE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define BREVANE_SANITIZED 1
#endif
#endif

// What the budget promises, measured: the memory made resident by a run of eight workers,
// with and without a budget, side by side.
TEST_F(BudgetRun, TheBudgetBoundsTheMemoryARunMakesResident) {
#ifdef BREVANE_SANITIZED
  GTEST_SKIP() << "the sanitizers' allocators keep freed memory resident";
#else
  std::vector<std::string> files = makeSources(8, 900);  // 12.96 MB claims, about 2.4 MB pixels each
  auto run = [&](uint64_t capacity) {
    return test::inChild([&] {
      // Large buffers straight from the system and back to it, so that resident memory is
      // the memory in use: the job's own heap setting (which keeps freed buffers for the next
      // file) is made first, then overridden.
      memory::keepFreedHeapMemory();
      mallopt(M_MMAP_THRESHOLD, 128 * 1024);
      mallopt(M_TRIM_THRESHOLD, 128 * 1024);
      MemoryBudget::process().setCapacity(capacity);
      TConversionSettings s = test::testSettings(out);
      s.Threads = 8;
      s.Output_format = 1;
      s.PNG_compression = 9;
      s.Overwrite = true;
      test::RunResult r = test::runJob(s, files);
      if (r.processed != 8 || !r.lines.empty()) throw std::runtime_error("the run lost files: " + (r.lines.empty() ? std::string() : r.lines[0]));
    });
  };
  test::ChildOutcome unlimited = run(uint64_t{1} << 40);
  test::ChildOutcome limited = run(14 * kMiB);  // one image at a time
  ASSERT_TRUE(unlimited.exited && limited.exited);
  EXPECT_EQ(unlimited.message, "");
  EXPECT_EQ(limited.message, "");
  std::printf("resident growth: unlimited %ld KiB, one image at a time %ld KiB\n", unlimited.growthKiB,
              limited.growthKiB);
  EXPECT_LT(limited.growthKiB, unlimited.growthKiB);
  // The budget plus threads, libraries and the blocks the allocator caches for the next file.
  EXPECT_LT(limited.growthKiB, 14 * 1024 + 14 * 1024);
#endif
}

}  // namespace
}  // namespace brevane
