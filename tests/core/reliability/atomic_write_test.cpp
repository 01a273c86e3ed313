// Atomic writes: a write that fails or is killed at any point leaves the target as it was and no
// temporary file (unnamed temporary files) or only a hidden one that the next run's sweep removes
// (named temporary files); the no-replace guard and the placing are one step.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <thread>

#include "base/error.h"
#include "base/platform.h"
#include "reliability_support.h"
#include "support/test_support.h"

namespace brevane {
namespace {

using test::folderEntries;

// The hook's configuration; plain globals because the hook is a plain function pointer.
struct HookConfig {
  bool named = false;  // refuse unnamed files, as a file system without O_TMPFILE does
  WriteStage faultStage = WriteStage::kOpenUnnamed;
  int faultErrno = 0;
  bool killAtHalf = false;
};
HookConfig g_hook;

int hook(WriteStage stage, const std::string&) {
  if (stage == WriteStage::kOpenUnnamed && g_hook.named) return EOPNOTSUPP;
  if (stage == WriteStage::kHalfWritten && g_hook.killAtHalf) ::raise(SIGKILL);
  if (g_hook.faultErrno && stage == g_hook.faultStage) return g_hook.faultErrno;
  return 0;
}

class AtomicWrite : public ::testing::TestWithParam<bool /* named */> {
 protected:
  void SetUp() override {
    dir = test::makeTempDir("atomic");
    g_hook = HookConfig{};
    g_hook.named = GetParam();
    setWriteFaultHook(&hook);
  }
  void TearDown() override { setWriteFaultHook(nullptr); }
  std::string dir;
};

TEST_P(AtomicWrite, WritesReplacesAndRefusesWithoutLeavingTemporaryFiles) {
  std::vector<uint8_t> first(100000, 1), second(3, 2);
  FileIdentity id;
  auto learn = [&](const FileIdentity& file) {
    EXPECT_FALSE(fileExists(dir + "x.bin") && test::readBytes(dir + "x.bin") != first) << "named before it was learnt";
    id = file;
  };
  writeFileAtomic(dir + "x.bin", first, false, learn);
  struct stat st;
  ASSERT_EQ(::stat((dir + "x.bin").c_str(), &st), 0);
  EXPECT_EQ(id, (FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)}));
  EXPECT_EQ((st.st_mode & 0777), (0666 & ~test::currentUmask()));

  try {
    writeFileAtomic(dir + "x.bin", second, false);
    FAIL() << "replaced";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "File already exists");
  }
  EXPECT_EQ(test::readBytes(dir + "x.bin"), first);
  writeFileAtomic(dir + "x.bin", second, true, learn);
  EXPECT_EQ(test::readBytes(dir + "x.bin"), second);
  ASSERT_EQ(::stat((dir + "x.bin").c_str(), &st), 0);
  EXPECT_EQ(id.inode, static_cast<uint64_t>(st.st_ino));
  writeFileAtomic(dir + "empty.bin", {}, true);
  EXPECT_TRUE(test::readBytes(dir + "empty.bin").empty());

  EXPECT_THROW(writeFileAtomic(dir + "missing/y.bin", first), Error);
  std::filesystem::create_directories(dir + "sub.bin");
  EXPECT_THROW(writeFileAtomic(dir + "sub.bin", first), Error);
  EXPECT_EQ(folderEntries(dir), (std::vector<std::string>{"empty.bin", "sub.bin", "x.bin"}));
}

// Every stage failing with a system error: the message is the system's, the old file stays,
// and nothing else is left in the folder.
TEST_P(AtomicWrite, AFailureAtAnyStageKeepsTheOldFileAndLeavesNothing) {
  std::vector<uint8_t> old(5000, 7), fresh(200000, 9);
  const std::pair<WriteStage, int> faults[] = {
      {WriteStage::kOpenUnnamed, EROFS}, {WriteStage::kOpenNamed, EACCES}, {WriteStage::kHalfWritten, ENOSPC},
      {WriteStage::kHalfWritten, EDQUOT}, {WriteStage::kPlace, EIO}};
  for (auto [stage, err] : faults) {
    if (stage == WriteStage::kOpenNamed && !GetParam()) continue;  // the unnamed path never gets there
    if (stage == WriteStage::kOpenUnnamed && GetParam()) continue;
    SCOPED_TRACE(std::strerror(err));
    writeFileAtomic(dir + "t.bin", old, true);
    g_hook.faultStage = stage;
    g_hook.faultErrno = err;
    for (bool replace : {true, false}) {
      try {
        writeFileAtomic(dir + (replace ? "t.bin" : "new.bin"), fresh, replace);
        ADD_FAILURE() << "written";
      } catch (const Error& e) {
        EXPECT_STREQ(e.what(), std::strerror(err));
      }
    }
    g_hook.faultErrno = 0;
    EXPECT_EQ(test::readBytes(dir + "t.bin"), old);
    EXPECT_EQ(folderEntries(dir), std::vector<std::string>{"t.bin"});
  }
}

// A process killed halfway through a large write: the target keeps its old bytes; with
// unnamed temporary files nothing is left, with named ones the hidden file is swept once it
// is a minute old and no writer holds it.
TEST_P(AtomicWrite, AKilledWriterLeavesTheOldFileAndNoLitter) {
  std::vector<uint8_t> old(1000, 3);
  writeFileAtomic(dir + "photo.jpg", old, true);
  for (bool replace : {true, false}) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      g_hook.killAtHalf = true;
      std::vector<uint8_t> big(16 << 20, 5);
      try {
        writeFileAtomic(dir + (replace ? "photo.jpg" : "other.jpg"), big, replace);
      } catch (...) {
      }
      ::_exit(0);  // not reached: the hook kills the process
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  }
  EXPECT_EQ(test::readBytes(dir + "photo.jpg"), old);
  std::vector<std::string> entries = folderEntries(dir);
  if (!GetParam()) {
    EXPECT_EQ(entries, std::vector<std::string>{"photo.jpg"});
    return;
  }
  // Named temporary files: two hidden files of half the size each.
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(removeStaleTempFiles(dir), 0) << "young files may belong to a live writer";
  // One of them is held by a live writer (a lock), the other is old and free.
  std::string held = dir + entries[0], free = dir + entries[1];
  ASSERT_EQ(entries[0].rfind(".brv-", 0), 0u);
  int fd = ::open(held.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  for (const std::string& p : {held, free}) {
    struct timeval old2[2] = {{::time(nullptr) - 120, 0}, {::time(nullptr) - 120, 0}};
    ASSERT_EQ(::utimes(p.c_str(), old2), 0);
  }
  EXPECT_EQ(removeStaleTempFiles(dir), 1);
  ::close(fd);
  EXPECT_EQ(removeStaleTempFiles(dir), 1);
  EXPECT_EQ(folderEntries(dir), std::vector<std::string>{"photo.jpg"});
}

// Many writers of one name with replace off: exactly one wins and its bytes are the file's.
TEST_P(AtomicWrite, ConcurrentWritersWithoutReplaceLeaveExactlyOneWinner) {
  for (int round = 0; round < 10; ++round) {
    std::string path = dir + "r" + std::to_string(round) + ".bin";
    std::atomic<int> winners{0}, refused{0}, winner{-1};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
      threads.emplace_back([&, t] {
        try {
          writeFileAtomic(path, std::vector<uint8_t>(4096 + t, static_cast<uint8_t>(t)), false);
          ++winners;
          winner = t;
        } catch (const Error& e) {
          if (std::string(e.what()) == "File already exists") ++refused;
        }
      });
    for (auto& th : threads) th.join();
    EXPECT_EQ(winners.load(), 1);
    EXPECT_EQ(refused.load(), 7);
    EXPECT_EQ(test::readBytes(path), std::vector<uint8_t>(4096 + winner, static_cast<uint8_t>(winner.load())));
  }
  EXPECT_EQ(folderEntries(dir).size(), 10u);
}

INSTANTIATE_TEST_SUITE_P(TemporaryFiles, AtomicWrite, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

TEST(ReadFile, RefusesWhatIsNotARegularFileWithoutWaiting) {
  std::string dir = test::makeTempDir("rf");
  ASSERT_EQ(::mkfifo((dir + "pipe.png").c_str(), 0666), 0);
  ASSERT_EQ(::symlink("/dev/zero", (dir + "zero.png").c_str()), 0);
  for (const char* name : {"pipe.png", "zero.png"}) {
    try {
      readFile(dir + name);
      ADD_FAILURE() << name << " was read";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "Not a regular file") << name;
    }
  }
  EXPECT_THROW(readFile(dir), Error);
  test::writeText(dir + "a.txt", "abc");
  FileIdentity id;
  EXPECT_EQ(readFile(dir + "a.txt", &id).size(), 3u);
  EXPECT_NE(id.inode, 0u);
}

}  // namespace
}  // namespace brevane
