// Platform helpers on Linux.
#include "base/platform.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <thread>

#include "base/error.h"
#include "base/paths.h"

namespace brevane {

uint64_t monotonicMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int memoryLoadPercent() {
  std::ifstream in("/proc/meminfo");
  std::string key;
  long long value = 0, total = -1, available = -1;
  std::string unit;
  while (in >> key >> value) {
    std::getline(in, unit);
    if (key == "MemTotal:") total = value;
    else if (key == "MemAvailable:") available = value;
    if (total >= 0 && available >= 0) break;
  }
  if (total <= 0 || available < 0) return 0;
  return static_cast<int>(100 - (100 * available) / total);
}

int cpuCount() {
  unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}

std::string programFolder() {
  std::string buf(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return "./";
  buf.resize(static_cast<size_t>(n));
  return folderPart(buf);
}

std::string homeFolder() {
  if (const char* h = std::getenv("HOME"); h && *h) return h;
  if (passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

bool fileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool isRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t fileSize(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  int64_t size = (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) ? static_cast<int64_t>(st.st_size) : -1;
  ::close(fd);
  return size;
}

bool createDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::string partial;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t next = path.find('/', pos);
    if (next == std::string::npos) next = path.size();
    partial = path.substr(0, next);
    if (!partial.empty() && !isDirectory(partial)) ::mkdir(partial.c_str(), 0777);
    pos = next + 1;
  }
  return isDirectory(path);
}

std::vector<uint8_t> readFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw Error(std::strerror(errno));
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    int e = errno;
    ::close(fd);
    throw Error(std::strerror(e));
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw Error(std::strerror(EISDIR));
  }
  std::vector<uint8_t> data;
  if (S_ISREG(st.st_mode)) data.reserve(static_cast<size_t>(st.st_size));
  uint8_t buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      ::close(fd);
      throw Error(std::strerror(e));
    }
    if (n == 0) break;
    data.insert(data.end(), buf, buf + n);
  }
  ::close(fd);
  return data;
}

void writeFileAtomic(const std::string& path, std::span<const uint8_t> bytes, bool replace) {
  std::string folder = folderPart(path);
  if (!folder.empty() && !isDirectory(folder)) throw Error(std::strerror(ENOENT));
  if (isDirectory(path)) throw Error(std::strerror(EISDIR));
  if (!replace && fileExists(path)) throw Error("File already exists");

  static thread_local std::mt19937_64 rng{std::random_device{}()};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temp = folder + ".brv-" + std::to_string(rng() % 1000000000000ULL) + ".tmp";
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) throw Error(std::strerror(errno));
  }
  if (fd < 0) throw Error(std::strerror(EEXIST));

  auto fail = [&](int e) {
    ::close(fd);
    ::unlink(temp.c_str());
    throw Error(std::strerror(e));
  };
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) {
    int e = errno;
    ::unlink(temp.c_str());
    throw Error(std::strerror(e));
  }
  if (replace) {
    if (::rename(temp.c_str(), path.c_str()) != 0) {
      int e = errno;
      ::unlink(temp.c_str());
      throw Error(std::strerror(e));
    }
  } else {
    // link() refuses an existing name, which makes the no-replace check and the move one step.
    if (::link(temp.c_str(), path.c_str()) != 0) {
      int e = errno;
      ::unlink(temp.c_str());
      if (e == EEXIST) throw Error("File already exists");
      throw Error(std::strerror(e));
    }
    ::unlink(temp.c_str());
  }
}

}  // namespace brevane
