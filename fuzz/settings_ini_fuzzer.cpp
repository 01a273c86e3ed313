// Fuzz target: the settings file. Any bytes as Settings.ini load without failing; setting a key
// and reading it back gives the value set and leaves the other keys as they were; a full save
// and a second load of what was saved never fail either.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/error.h"
#include "settings/ini_file.h"
#include "base/ini_syntax.h"
#include "base/strings.h"
#include "settings/settings_store.h"

namespace {

using namespace brevane;
using namespace brevane::settings;

[[noreturn]] void fault(const char* what) {
  std::fprintf(stderr, "settings fuzzer: %s\n", what);
  std::abort();
}

// The file lives in memory; the store opens it by its /proc path like any file.
struct MemoryFile {
  int fd = static_cast<int>(::memfd_create("Settings.ini", 0));
  std::string path = "/proc/self/fd/" + std::to_string(fd);
  void set(std::string_view bytes) const {
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
      fault("cannot write the in-memory file");
  }
};

const MemoryFile& memoryFile() {
  static const MemoryFile file;
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);

  // Set and read back: the value is the input's last line, without blanks at its ends (a value
  // is read trimmed) and without line breaks (a value cannot hold them).
  size_t cut = text.find_last_of('\n');
  std::string value(trim(cut == std::string_view::npos ? text.substr(0, 40) : text.substr(cut + 1)));
  if (value.find_first_of("\r\n") == std::string::npos) {
    for (std::string_view section : {"Settings", "Form_pos_1920x1080", "Text_Font"}) {
      std::optional<std::string> otherBefore = findIniValue(text, section, "Other_key");
      std::string changed = setIniValue(text, section, "JPG_quality", value);
      std::optional<std::string> back = findIniValue(changed, section, "JPG_quality");
      if (!back || *back != value) fault("a key set is not read back");
      if (findIniValue(changed, section, "Other_key") != otherBefore) fault("setting a key changed another one");
      if (setIniValue(changed, section, "JPG_quality", value) != changed) fault("setting a key twice changed the file");
    }
  }

  const MemoryFile& file = memoryFile();
  file.set(text);
  static const Environment env = Environment::current();
  try {
    IniFile ini(file.path, [&](const std::string&, std::span<const uint8_t> bytes) {
      file.set(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    });
    AppSettings loaded = loadSettings(ini, env);
    // A save writes the file once per key, which is slow: one input in eight takes that road.
    if (size % 8 != 0) return 0;
    if (!saveSettings(ini, loaded, env).saved) fault("saving to memory failed");
    AppSettings again = loadSettings(ini, env);
    if (!(again.conversion.Output_path == loaded.conversion.Output_path &&
          again.conversion.Rename_mask == loaded.conversion.Rename_mask &&
          again.conversion.JPG_quality == loaded.conversion.JPG_quality && again.Language == loaded.Language &&
          again.conversion.Text_Font == loaded.conversion.Text_Font))
      fault("a saved setting reads back differently");
  } catch (const Error&) {
    fault("loading or saving threw");
  }
  return 0;
}
