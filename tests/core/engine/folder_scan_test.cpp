// The folder scan: which entries are added and in what order, folders it must not enter or
// must survive (hidden, looping, broken, unreadable, vanishing), and the cancel flag.
#include "engine/folder_scan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "support/test_support.h"

namespace brevane {
namespace {

// A file with its folders.
void put(const std::string& path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  test::writeText(path, "x");
}

std::vector<std::string> scanned(const std::string& folder, std::atomic<bool>* cancel = nullptr,
                                 std::function<void()> pump = {}) {
  std::atomic<bool> none{false};
  std::vector<std::string> files;
  FolderScanCallbacks cb;
  cb.file = [&](const std::string& f) { files.push_back(f.substr(folder.size())); };
  cb.pump = std::move(pump);
  scanFolder(folder, cancel ? *cancel : none, cb);
  return files;
}

TEST(FolderScan, FilesInNameOrderThenSubfoldersHiddenFoldersAndOtherFilesLeftOut) {
  std::string dir = test::makeTempDir("scan");
  for (const char* f : {"b.png", "a.JPG", ".hidden.png", "notes.txt", "noext", "sub/c.bmp", "sub/deeper/d.tga",
                        ".cache/thumb.png", "z-folder.jpg/inside.png"})
    put(dir + f);
  // A folder named like a picture is a folder: entered, never added as a file.
  EXPECT_EQ(scanned(dir), (std::vector<std::string>{".hidden.png", "a.JPG", "b.png", "sub/c.bmp", "sub/deeper/d.tga",
                                                    "z-folder.jpg/inside.png"}));
}

TEST(FolderScan, LinksLoopsAndUnreadableFoldersNeverHangOrRepeat) {
  std::string dir = test::makeTempDir("scan");
  put(dir + "real/a.png");
  ASSERT_EQ(::symlink((dir + "real").c_str(), (dir + "real/loop").c_str()), 0);  // a folder linking to itself
  ASSERT_EQ(::symlink((dir + "real/a.png").c_str(), (dir + "link.png").c_str()), 0);
  ASSERT_EQ(::symlink((dir + "gone.png").c_str(), (dir + "broken.png").c_str()), 0);
  ASSERT_EQ(::mkfifo((dir + "pipe.jpg").c_str(), 0600), 0);  // opening it would block
  put(dir + "locked/b.png");
  ::chmod((dir + "locked").c_str(), 0);
  std::vector<std::string> files = scanned(dir);
  ::chmod((dir + "locked").c_str(), 0700);
  std::vector<std::string> expected = {"link.png", "real/a.png"};
  if (::geteuid() == 0) expected.insert(expected.begin() + 1, "locked/b.png");  // root reads it anyway
  EXPECT_EQ(files, expected);
  EXPECT_TRUE(scanned(dir + "no-such-folder/").empty());
}

TEST(FolderScan, CancelStopsAtOnceAndThePumpRunsEvery21Entries) {
  std::string dir = test::makeTempDir("scan");
  for (int i = 0; i < 100; ++i) put(dir + "f" + std::to_string(100 + i) + ".png");
  put(dir + "sub/late.png");
  int pumps = 0;
  scanned(dir, nullptr, [&] { ++pumps; });
  EXPECT_EQ(pumps, 100 / kScanPumpEntries + 2);  // the entries of the folder, then once per folder

  // A cancel from inside the pump (Esc while events are processed) stops the scan there.
  std::atomic<bool> cancel{false};
  std::vector<std::string> files = scanned(dir, &cancel, [&] { cancel = true; });
  EXPECT_EQ(files.size(), static_cast<size_t>(kScanPumpEntries));
  // A file that disappears while the scan runs is passed over.
  cancel = false;
  FolderScanCallbacks cb;
  std::vector<std::string> seen;
  cb.file = [&](const std::string& f) {
    seen.push_back(f);
    if (seen.size() == 1) std::remove((dir + "f150.png").c_str());
  };
  scanFolder(dir, cancel, cb);
  EXPECT_EQ(seen.size(), 100u);  // 99 left in the folder and sub/late.png
}

}  // namespace
}  // namespace brevane
