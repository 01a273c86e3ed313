// The settings file: an INI file read and written key by key with the semantics of the
// Windows profile functions (every write lands in the file at once and keeps all other lines).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/datetime.h"

namespace brevane::settings {

/// Integer value of a settings text: decimal, or hexadecimal with "0x" or "$" (a 32-bit
/// pattern: "$FFFFFFFF" reads as -1), blanks around it ignored; none when malformed.
std::optional<long long> parseIntegerValue(std::string_view text);

/// The text after setting `key` of `section` to `value`: an existing line of that key (the
/// first one, in the first section of that name, names compared without case) is replaced;
/// otherwise the key is added after the last line of the section, or the section is
/// appended. Every other line stays byte for byte; new lines take the file's line breaks.
std::string setIniValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value);

/// The raw value of `key` in `section` of an INI text, or none.
std::optional<std::string> findIniValue(std::string_view text, std::string_view section, std::string_view key);

/// An INI file on disk. Reads see the file as it is now: a missing or unreadable file or key
/// reads as the default. Each write rewrites the file at once (created by the first write).
class IniFile {
 public:
  /// Replaces the file's bytes; throws brevane::Error when the write fails.
  using Writer = std::function<void(const std::string& path, std::span<const uint8_t> bytes)>;

  /// `writer` defaults to an atomic replace that refuses a file that is not writable.
  explicit IniFile(std::string path, Writer writer = {});

  const std::string& path() const { return m_path; }

  std::optional<std::string> value(std::string_view section, std::string_view key) const;

  /// Typed reads: the default when the key is missing or malformed. Integers are decimal or
  /// hexadecimal with "0x" or "$" and must fit 32 bits; booleans are integers, non-zero true;
  /// dates are the short date of `fs` (the time of day reads as 00:00).
  std::string readString(std::string_view section, std::string_view key, std::string_view def) const;
  int32_t readInteger(std::string_view section, std::string_view key, int32_t def) const;
  bool readBool(std::string_view section, std::string_view key, bool def) const;
  LocalDateTime readDate(std::string_view section, std::string_view key, const LocalDateTime& def,
                         const DateTimeFormat& fs) const;

  /// Typed writes; each throws brevane::Error when the file cannot be written. A line break
  /// in a string ends the value there, so a value can never add lines to the file.
  void writeString(std::string_view section, std::string_view key, std::string_view value);
  void writeInteger(std::string_view section, std::string_view key, int32_t value);
  void writeBool(std::string_view section, std::string_view key, bool value);
  /// The date part only, in the short date format of `fs`.
  void writeDate(std::string_view section, std::string_view key, const LocalDateTime& value, const DateTimeFormat& fs);

 private:
  // The file's text. It is read (and indexed) again only when the file changed (another
  // inode, size or modification time), so loading every key of a large, damaged file reads
  // and parses it once.
  const std::string& contents() const;

  std::string m_path;
  Writer m_writer;
  struct Version {
    uint64_t device = 0, inode = 0;
    int64_t size = -1, seconds = 0, nanoseconds = 0;
    bool operator==(const Version&) const = default;
  };
  mutable Version m_version;
  mutable std::string m_text;
  // Folded section name -> folded key -> value, first section and first key of a name only,
  // as findIniValue reads them.
  mutable std::unordered_map<std::string, std::unordered_map<std::string, std::string>> m_index;
};

/// The default writer: fails when the path exists and is not writable (a read-only settings
/// file stays as it is), otherwise replaces the file through a temporary file and a rename.
void writeSettingsBytes(const std::string& path, std::span<const uint8_t> bytes);

}  // namespace brevane::settings
