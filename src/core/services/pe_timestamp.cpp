// The build time stamp of a Portable Executable file.
#include "services/pe_timestamp.h"

#include <cstring>
#include <fstream>

namespace brevane::services {

namespace {

constexpr uint64_t kDosHeaderSize = 64;
constexpr uint64_t kPeOffsetField = 60;
constexpr uint64_t kFileHeaderSize = 20;
constexpr uint64_t kSectionHeaderSize = 40;
constexpr uint64_t kResourceDirectorySize = 16;

uint16_t le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Walks the headers with `readAt(offset, destination, size)`, which reads exactly `size` bytes
// at `offset` or returns false. Every offset comes from the file and is checked by the read.
template <typename ReadAt>
std::optional<uint32_t> walk(ReadAt&& readAt) {
  uint8_t dos[kDosHeaderSize];
  if (!readAt(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return std::nullopt;
  const uint64_t pe = le32(dos + kPeOffsetField);

  uint8_t head[4 + kFileHeaderSize];
  if (!readAt(pe, head, sizeof head) || std::memcmp(head, "PE\0\0", 4) != 0) return std::nullopt;
  const uint8_t* fileHeader = head + 4;
  const unsigned sectionCount = le16(fileHeader + 2);
  // The optional header's size as the file header gives it: 224 for a 32-bit image, 240 for a
  // 64-bit one; the section table follows it.
  const uint64_t optionalSize = le16(fileHeader + 16);
  uint64_t section = pe + 4 + kFileHeaderSize + optionalSize;

  static constexpr uint8_t kName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
  for (unsigned i = 0; i < sectionCount; ++i, section += kSectionHeaderSize) {
    uint8_t header[kSectionHeaderSize];
    if (!readAt(section, header, sizeof header)) return std::nullopt;
    if (std::memcmp(header, kName, sizeof kName) != 0) continue;
    uint8_t directory[kResourceDirectorySize];
    if (!readAt(le32(header + 20), directory, sizeof directory)) return std::nullopt;
    return le32(directory + 4);
  }
  return std::nullopt;
}

}  // namespace

std::optional<uint32_t> readPeResourceTimestamp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return walk([&in](uint64_t offset, uint8_t* destination, uint64_t size) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    if (!in) return false;
    in.read(reinterpret_cast<char*>(destination), static_cast<std::streamsize>(size));
    return in.gcount() == static_cast<std::streamsize>(size);
  });
}

std::optional<uint32_t> peResourceTimestamp(std::span<const uint8_t> image) {
  return walk([image](uint64_t offset, uint8_t* destination, uint64_t size) {
    if (offset > image.size() || size > image.size() - offset) return false;
    std::memcpy(destination, image.data() + offset, size);
    return true;
  });
}

std::optional<LocalDateTime> decodeDosDateTime(uint32_t value) {
  const uint32_t date = value >> 16;
  const uint32_t time = value & 0xFFFF;
  LocalDateTime t;
  t.year = 1980 + static_cast<int>(date >> 9);
  t.month = static_cast<int>((date >> 5) & 0x0F);
  t.day = static_cast<int>(date & 0x1F);
  t.hour = static_cast<int>(time >> 11);
  t.minute = static_cast<int>((time >> 5) & 0x3F);
  t.second = static_cast<int>(time & 0x1F) * 2;
  if (!isValidDateTime(t)) return std::nullopt;
  return t;
}

std::string buildDateText(const LocalDateTime& t, const DateTimeFormat& fs) {
  std::string text = formatShortDate(t, fs);
  if (t.hour != 0 || t.minute != 0 || t.second != 0) text += " " + formatLongTime(t, fs);
  return text;
}

std::string executableBuildDateText(const std::string& executablePath, const LocalDateTime& fallback,
                                    const DateTimeFormat& fs) {
  if (std::optional<uint32_t> stamp = readPeResourceTimestamp(executablePath))
    if (std::optional<LocalDateTime> t = decodeDosDateTime(*stamp)) return buildDateText(*t, fs);
  return buildDateText(fallback, fs);
}

}  // namespace brevane::services
