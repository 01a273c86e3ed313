// Platform helpers on Linux.
#include "base/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
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

namespace {

// MemTotal and MemAvailable of /proc/meminfo in KiB; -1 when missing.
std::pair<long long, long long> memInfo() {
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
  return {total, available};
}

}  // namespace

int memoryLoadPercent() {
  auto [total, available] = memInfo();
  if (total <= 0 || available < 0) return 0;
  return static_cast<int>(100 - (100 * available) / total);
}

uint64_t availableMemoryBytes() {
  long long available = memInfo().second;
  return available > 0 ? static_cast<uint64_t>(available) * 1024 : 0;
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

std::vector<uint8_t> readFile(const std::string& path, FileIdentity* identity) {
  // O_NONBLOCK: opening a pipe must not wait for a writer before it can be refused.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw Error(std::strerror(errno));
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    int e = errno;
    ::close(fd);
    throw Error(std::strerror(e));
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    // A device such as /dev/zero would be read for ever, a pipe could block the run.
    throw Error(S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "Not a regular file");
  }
  if (identity) *identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  // Read straight into the buffer; a file that grew meanwhile is read on to its end, one that
  // shrank gives the bytes it still has.
  std::vector<uint8_t> data(static_cast<size_t>(st.st_size));
  size_t done = 0;
  uint8_t probe[4096];
  for (;;) {
    // At the expected end a small read tells whether there is more before the buffer grows.
    bool full = done == data.size();
    ssize_t n = full ? ::read(fd, probe, sizeof probe) : ::read(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      ::close(fd);
      throw Error(std::strerror(e));
    }
    if (n == 0) break;
    if (full) {
      data.reserve(done + std::max<size_t>(65536, done / 2));
      data.insert(data.end(), probe, probe + n);
      data.resize(data.capacity());
    }
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  data.resize(done);
  return data;
}

namespace {

std::atomic<WriteFaultHook> g_writeFaultHook{nullptr};

// The injected errno of a stage, 0 when the write goes on.
int injectedFault(WriteStage stage, const std::string& path) {
  WriteFaultHook hook = g_writeFaultHook.load();
  return hook ? hook(stage, path) : 0;
}

constexpr const char* kTempPrefix = ".brv-";
constexpr const char* kTempSuffix = ".tmp";

std::string hiddenTempName(const std::string& folder) {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  return folder + kTempPrefix + std::to_string(rng() % 1000000000000ULL) + kTempSuffix;
}

// Owns the descriptor of a temporary file and, for a named one, removes the name unless the
// write reached its end.
class TempFile {
 public:
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_name.empty()) ::unlink(m_name.c_str());
  }
  int fd() const { return m_fd; }
  void adopt(int fd, std::string name = {}) {
    m_fd = fd;
    m_name = std::move(name);
  }
  const std::string& name() const { return m_name; }
  void forgetName() { m_name.clear(); }
  // Closes the descriptor; returns 0 or the errno of close.
  int close() {
    int rc = ::close(m_fd);
    m_fd = -1;
    return rc == 0 ? 0 : errno;
  }

 private:
  int m_fd = -1;
  std::string m_name;
};

[[noreturn]] void fail(int e) { throw Error(std::strerror(e)); }

void writeAll(int fd, std::span<const uint8_t> bytes, const std::string& path) {
  size_t done = 0, half = bytes.size() / 2;
  bool halfReported = false;
  while (done < bytes.size() || !halfReported) {
    if (!halfReported && done >= half) {
      halfReported = true;
      if (int e = injectedFault(WriteStage::kHalfWritten, path)) fail(e);
      continue;
    }
    size_t chunk = bytes.size() - done;
    // Half is written by itself, so a test can stop the write with a partial file on disk.
    if (done < half) chunk = half - done;
    ssize_t n = ::write(fd, bytes.data() + done, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    done += static_cast<size_t>(n);
  }
}

FileIdentity identityOf(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return {};
  return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

// Gives an unnamed file a name: 0, the errno of the link, or EOPNOTSUPP when this system
// offers no way to link it.
int linkUnnamed(int fd, const std::string& path) {
  std::string proc = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  int e = errno;
  // Without /proc the link must go through AT_EMPTY_PATH, which needs CAP_DAC_READ_SEARCH.
  if (e == ENOENT && ::access("/proc/self/fd", X_OK) != 0) {
    if (::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return 0;
    return errno == ENOENT ? EOPNOTSUPP : errno;
  }
  return e;
}

// Takes the final name for a finished temporary file in one step: link() and linkat() refuse
// a name that exists, so no other writer can slip in between the check and the placing. The
// one place a final name is claimed without replacing. Returns 0, EEXIST when the name is
// taken (a caller may try another name), EOPNOTSUPP when this system cannot link an unnamed
// file, or the errno of the link.
int claimFinalName(const TempFile& temp, const std::string& path) {
  if (!temp.name().empty()) return ::link(temp.name().c_str(), path.c_str()) == 0 ? 0 : errno;
  return linkUnnamed(temp.fd(), path);
}

// The write through an unnamed temporary file; false when the file system offers none (the
// caller then takes the named path).
bool writeUnnamed(const std::string& folder, const std::string& path, std::span<const uint8_t> bytes, bool replace,
                  const BeforePlacing& beforePlacing) {
  if (int e = injectedFault(WriteStage::kOpenUnnamed, path)) {
    if (e == EOPNOTSUPP || e == EISDIR || e == EINVAL) return false;
    fail(e);
  }
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) {
    // EISDIR: a kernel older than O_TMPFILE; EOPNOTSUPP, EINVAL: the file system has none.
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return false;
    fail(errno);
  }
  TempFile temp;
  temp.adopt(fd);
  // A lock on the file tells a sweep that its hidden name (replace path below) is in use.
  ::flock(fd, LOCK_EX | LOCK_NB);
  writeAll(fd, bytes, path);
  if (int e = injectedFault(WriteStage::kPlace, path)) fail(e);
  if (beforePlacing) beforePlacing(identityOf(fd));

  // The common case: the name is free, and the link both checks and places.
  int e = claimFinalName(temp, path);
  if (e == EOPNOTSUPP) return false;
  if (e == EEXIST && !replace) throw Error("File already exists");
  if (e == EEXIST) {
    // Replacing: a hidden name first, then the rename that swaps the file in one step.
    std::string hidden;
    for (int attempt = 0; attempt < 16; ++attempt) {
      hidden = hiddenTempName(folder);
      e = linkUnnamed(fd, hidden);
      if (e != EEXIST) break;
    }
    if (e != 0) fail(e);
    if (::rename(hidden.c_str(), path.c_str()) != 0) {
      int re = errno;
      ::unlink(hidden.c_str());
      fail(re);
    }
  } else if (e != 0) {
    fail(e);
  }
  if (int ce = temp.close()) fail(ce);
  return true;
}

void writeNamed(const std::string& folder, const std::string& path, std::span<const uint8_t> bytes, bool replace,
                const BeforePlacing& beforePlacing) {
  if (int e = injectedFault(WriteStage::kOpenNamed, path)) fail(e);
  TempFile temp;
  for (int attempt = 0; attempt < 16 && temp.fd() < 0; ++attempt) {
    std::string name = hiddenTempName(folder);
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) temp.adopt(fd, name);
    else if (errno != EEXIST) fail(errno);
  }
  if (temp.fd() < 0) fail(EEXIST);
  // Held while the file is written: a sweep never takes a file that is in use.
  ::flock(temp.fd(), LOCK_EX | LOCK_NB);
  writeAll(temp.fd(), bytes, path);
  if (int e = injectedFault(WriteStage::kPlace, path)) fail(e);
  if (beforePlacing) beforePlacing(identityOf(temp.fd()));
  if (int e = temp.close()) fail(e);
  if (replace) {
    if (::rename(temp.name().c_str(), path.c_str()) != 0) fail(errno);
    temp.forgetName();
  } else {
    if (int e = claimFinalName(temp, path)) {
      if (e == EEXIST) throw Error("File already exists");
      fail(e);
    }
  }
}

}  // namespace

void setWriteFaultHook(WriteFaultHook hook) { g_writeFaultHook.store(hook); }

void writeFileAtomic(const std::string& path, std::span<const uint8_t> bytes, bool replace,
                     const BeforePlacing& beforePlacing) {
  std::string folder = folderPart(path);
  if (!folder.empty() && !isDirectory(folder)) fail(ENOENT);
  if (isDirectory(path)) fail(EISDIR);
  // Refused before anything is written; the placing below checks again in the same step.
  if (!replace && fileExists(path)) throw Error("File already exists");
  if (writeUnnamed(folder, path, bytes, replace, beforePlacing)) return;
  writeNamed(folder, path, bytes, replace, beforePlacing);
}

int removeStaleTempFiles(const std::string& folder) {
  std::string dir = folder.empty() ? "./" : folder;
  if (dir.back() != '/') dir += '/';
  DIR* d = ::opendir(dir.c_str());
  if (!d) return 0;
  int removed = 0;
  time_t now = ::time(nullptr);
  while (dirent* entry = ::readdir(d)) {
    std::string_view name = entry->d_name;
    if (name.size() <= std::strlen(kTempPrefix) + std::strlen(kTempSuffix) || !name.starts_with(kTempPrefix) ||
        !name.ends_with(kTempSuffix))
      continue;
    std::string full = dir + std::string(name);
    int fd = ::open(full.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st;
    // Young files may belong to a writer that has not taken its lock yet.
    bool stale = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime > 60 &&
                 ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (stale && ::unlink(full.c_str()) == 0) ++removed;
    ::close(fd);
  }
  ::closedir(d);
  return removed;
}

}  // namespace brevane
