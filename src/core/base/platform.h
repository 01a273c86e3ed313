// Platform helpers: clocks, memory load, processors, folders, whole-file I/O.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace brevane {

/// Milliseconds of a monotonic clock.
uint64_t monotonicMs();
/// Physical memory in use, percent (100 - 100 * MemAvailable / MemTotal, truncated); 0 when unknown.
int memoryLoadPercent();
/// Physical memory available to new allocations (MemAvailable), bytes; 0 when unknown.
uint64_t availableMemoryBytes();
/// Logical processors, at least 1.
int cpuCount();
/// Folder of the running executable with a trailing "/".
std::string programFolder();
/// $HOME (or the password database's home) without a trailing "/".
std::string homeFolder();

bool fileExists(const std::string& path);    // any kind of entry
bool isRegularFile(const std::string& path);
bool isDirectory(const std::string& path);
/// Size of a file opened for reading, or -1 when it cannot be opened.
int64_t fileSize(const std::string& path);
/// Creates a folder with all missing parents; true when the folder exists afterwards.
bool createDirectories(const std::string& path);

/// Which file a path named at one moment: device and inode number.
struct FileIdentity {
  uint64_t device = 0, inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

/// Reads a whole regular file from one open handle, so a file replaced or shrunk meanwhile
/// gives the bytes of one version, never a mix. Anything but a regular file (a folder, a pipe,
/// a device) is refused without reading. `identity`, when given, receives the file that was
/// read. Throws brevane::Error with the system's message.
std::vector<uint8_t> readFile(const std::string& path, FileIdentity* identity = nullptr);

/// Called with the identity of a complete file just before it gets its name (see below).
using BeforePlacing = std::function<void(const FileIdentity& file)>;

/// Writes bytes to `path` so that the name only ever shows a complete file: the bytes go to an
/// unnamed temporary file in the target's folder (O_TMPFILE), which is linked into place once
/// complete; a process killed midway leaves nothing behind. File systems without unnamed files
/// get a hidden named temporary file (".brv-*.tmp") that is renamed into place. A failed write
/// never leaves a partial file and never destroys an existing one. With `replace` false an
/// existing file at `path` is kept and the write fails with "File already exists"; the check
/// and the placing are one step. `beforePlacing`, when given, learns the new file's identity
/// before anyone can open it by its name. Throws brevane::Error on failure.
void writeFileAtomic(const std::string& path, std::span<const uint8_t> bytes, bool replace = true,
                     const BeforePlacing& beforePlacing = {});

/// Removes the hidden temporary files of writes that were killed on a file system without
/// unnamed files: ".brv-*.tmp" entries of `folder` that no writer holds and that have not
/// changed for a minute. Returns how many were removed.
int removeStaleTempFiles(const std::string& folder);

/// Points of an atomic write where tests inject faults.
enum class WriteStage {
  kOpenUnnamed,  // before the unnamed temporary file is opened
  kOpenNamed,    // before the named temporary file is created
  kHalfWritten,  // half of the bytes are in the temporary file
  kPlace,        // the bytes are complete, before the file gets its name
};
/// A test seam: called at each stage of every atomic write (from any thread); a non-zero
/// result fails the write at that point as if the system had returned that errno. It may also
/// end the process, to show what a kill at that point leaves. nullptr (the default) for none.
using WriteFaultHook = int (*)(WriteStage stage, const std::string& path);
void setWriteFaultHook(WriteFaultHook hook);

}  // namespace brevane
