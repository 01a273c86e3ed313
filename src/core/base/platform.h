// Platform helpers: clocks, memory load, processors, folders, whole-file I/O.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brevane {

/// Milliseconds of a monotonic clock.
uint64_t monotonicMs();
/// Physical memory in use, percent (100 - 100 * MemAvailable / MemTotal, truncated); 0 when unknown.
int memoryLoadPercent();
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

/// Reads a whole regular file. Throws brevane::Error with the system's message.
std::vector<uint8_t> readFile(const std::string& path);

/// Writes bytes to `path` through a temporary file in the same folder that is renamed into
/// place, so a failed write never leaves a partial file and never destroys an existing one.
/// With `replace` false an existing file at `path` is kept and the write fails with
/// "File already exists". Throws brevane::Error on failure.
void writeFileAtomic(const std::string& path, std::span<const uint8_t> bytes, bool replace = true);

}  // namespace brevane
