// The build time stamp of a Portable Executable file: the time-stamp field of the root
// resource directory of its ".rsrc" section, an MS-DOS date and time; and the build date text.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "base/datetime.h"

namespace brevane::services {

/// The 32-bit time-stamp field (offset 4) of the root resource directory at the start of the
/// raw data of the first section named ".rsrc". None when the file cannot be opened, is not a
/// PE image (no "MZ" or "PE\0\0" signature), has no such section, or ends before a field the
/// walk needs. Only the headers and the 16-byte directory are read, never the whole file.
std::optional<uint32_t> readPeResourceTimestamp(const std::string& path);
/// The same over an image in memory.
std::optional<uint32_t> peResourceTimestamp(std::span<const uint8_t> image);

/// An MS-DOS date (high 16 bits: year since 1980 in bits 15-9, month 8-5, day 4-0) and time
/// (low 16 bits: hours 15-11, minutes 10-5, seconds / 2 in 4-0). None when it names no real
/// date or time of day (month 0 or 13, 30 February, hour 24, 60 seconds...).
std::optional<LocalDateTime> decodeDosDateTime(uint32_t value);

/// A build date as the about dialog shows it: the short date, then a space and the long time
/// unless the time is exactly midnight.
std::string buildDateText(const LocalDateTime& t, const DateTimeFormat& fs);

/// The build date text of an executable: its PE time stamp when it has one that decodes, else
/// `fallback` (the date compiled into the program, for an ELF file that has no resources).
std::string executableBuildDateText(const std::string& executablePath, const LocalDateTime& fallback,
                                    const DateTimeFormat& fs);

}  // namespace brevane::services
