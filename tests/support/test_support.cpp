// Helpers shared by the tests.
#include "support/test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace brevane::test {

namespace {

// Never destroyed, so the cleanup at exit can still read it.
std::vector<std::string>& createdDirs() {
  static auto* dirs = new std::vector<std::string>;
  return *dirs;
}

struct Cleanup {
  ~Cleanup() {
    if (std::getenv("BREVANE_KEEP_TEST_FILES")) return;
    std::error_code ec;
    for (const std::string& d : createdDirs()) std::filesystem::remove_all(d, ec);
  }
} cleanup;

}  // namespace

std::string makeTempDir(const std::string& tag) {
  static std::atomic<int> counter{0};
  static std::mutex mutex;
  const char* base = std::getenv("BREVANE_TEST_TMP");
  std::string root = base && *base ? base : (std::filesystem::temp_directory_path() / "brevane-tests").string();
  std::filesystem::create_directories(root);
  std::string dir = root + "/" + tag + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "/";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::lock_guard lock(mutex);
  createdDirs().push_back(dir);
  return dir;
}

std::string testdata(const std::string& relative) {
  static const std::string root = [] {
    std::string r = BREVANE_TESTDATA_DIR;
    return std::filesystem::is_directory(r) ? r + "/" : std::string();
  }();
  if (root.empty()) return "";
  return root + relative;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bitmap patternImage(int width, int height, int bitsPerPixel, uint32_t seed) {
  Bitmap b(width, height, bitsPerPixel);
  uint32_t s = seed * 2654435761u + 1;
  int bytes = bitsPerPixel / 8;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = b.scanLine(y);
    for (int x = 0; x < width * bytes; ++x) {
      s = s * 1103515245u + 12345u;
      row[x] = static_cast<uint8_t>((s >> 16) ^ (x * 7 + y * 3));
    }
  }
  return b;
}

::testing::AssertionResult samePixels(const Bitmap& a, const Bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height())
    return ::testing::AssertionFailure() << "size " << a.width() << "x" << a.height() << " vs " << b.width() << "x"
                                         << b.height();
  bool alpha = a.bitsPerPixel() == 32 && b.bitsPerPixel() == 32;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      Bgr p = a.pixel(x, y), q = b.pixel(x, y);
      if (!(p == q) || (alpha && a.scanLine(y)[4 * x + 3] != b.scanLine(y)[4 * x + 3]))
        return ::testing::AssertionFailure()
               << "pixel (" << x << "," << y << ") differs: " << int(p.r) << "," << int(p.g) << "," << int(p.b)
               << " vs " << int(q.r) << "," << int(q.g) << "," << int(q.b);
    }
  return ::testing::AssertionSuccess();
}

}  // namespace brevane::test
