// The ASCII tags the carry-over writes end with their zero byte, counted; tags carried over
// keep their bytes. The output's directories are read here byte by byte, not through Exiv2.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/exif/exif_test_support.h"
#include "exif/exif.h"

namespace brevane::exif {
namespace {

const LocalDateTime kNow{2024, 2, 29, 13, 4, 5, 7};

constexpr uint16_t kMake = 0x010F, kModel = 0x0110, kSoftware = 0x0131, kDateTime = 0x0132, kExifIfd = 0x8769,
                   kSubSecTime = 0x9290;
constexpr uint16_t kAscii = 2, kLong = 4;

struct RawEntry {
  uint16_t type = 0;
  uint32_t count = 0;
  std::string bytes;  // the value's count * type-size bytes
};
using RawIfd = std::map<uint16_t, RawEntry>;

// A TIFF structure read by hand: IFD0 and the Exif directory it points to.
class RawTiff {
 public:
  explicit RawTiff(const std::vector<uint8_t>& tiff) : m_d(tiff) {
    if (m_d.size() < 8 || (m_d[0] != 'I' && m_d[0] != 'M')) throw std::runtime_error("no TIFF header");
    m_le = m_d[0] == 'I';
    ifd0 = readIfd(u32(4));
    if (ifd0.count(kExifIfd)) exif = readIfd(value32(ifd0[kExifIfd]));
  }
  RawIfd ifd0, exif;

 private:
  uint32_t byteAt(size_t pos) const {
    if (pos >= m_d.size()) throw std::runtime_error("read past the end");
    return m_d[pos];
  }
  uint32_t u16(size_t p) const { return m_le ? byteAt(p) | byteAt(p + 1) << 8 : byteAt(p) << 8 | byteAt(p + 1); }
  uint32_t u32(size_t p) const { return m_le ? u16(p) | u16(p + 2) << 16 : u16(p) << 16 | u16(p + 2); }
  uint32_t value32(const RawEntry& e) const {
    return m_le
               ? uint8_t(e.bytes[0]) | uint8_t(e.bytes[1]) << 8 | uint8_t(e.bytes[2]) << 16 | uint8_t(e.bytes[3]) << 24
               : uint8_t(e.bytes[0]) << 24 | uint8_t(e.bytes[1]) << 16 | uint8_t(e.bytes[2]) << 8 | uint8_t(e.bytes[3]);
  }
  RawIfd readIfd(uint32_t at) const {
    static const std::map<uint16_t, uint32_t> kSizes = {{1, 1}, {2, 1}, {3, 2}, {4, 4},
                                                        {5, 8}, {7, 1}, {9, 4}, {10, 8}};
    RawIfd ifd;
    for (uint32_t i = 0, n = u16(at); i < n; ++i) {
      size_t e = at + 2 + 12 * size_t{i};
      RawEntry entry{static_cast<uint16_t>(u16(e + 2)), u32(e + 4), {}};
      auto size = kSizes.find(entry.type);
      size_t length = size_t{entry.count} * (size == kSizes.end() ? 1 : size->second);
      size_t from = length <= 4 ? e + 8 : u32(e + 8);
      for (size_t k = 0; k < length; ++k) entry.bytes += static_cast<char>(byteAt(from + k));
      ifd[static_cast<uint16_t>(u16(e))] = entry;
    }
    return ifd;
  }

  const std::vector<uint8_t>& m_d;
  bool m_le = true;
};

// The TIFF structure of the first Exif APP1 of a JPEG stream.
std::vector<uint8_t> exifTiffOf(const std::vector<uint8_t>& jpeg) {
  for (size_t i = 2; i + 10 <= jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xE1 && std::memcmp(&jpeg[i + 4], "Exif\0\0", 6) == 0) {
      size_t length = (jpeg[i + 2] << 8) | jpeg[i + 3];
      return {jpeg.begin() + static_cast<std::ptrdiff_t>(i + 10),
              jpeg.begin() + static_cast<std::ptrdiff_t>(i + 2 + length)};
    }
  }
  return {};
}

// A source block as some cameras write it: ASCII values without their zero byte (Make out of
// line, Model, DateTime and the sub-second time).
std::vector<uint8_t> sourceWithoutZeros(bool littleEndian) {
  std::vector<uint8_t> t;
  auto put16 = [&](uint32_t v) {
    for (int i = 0; i < 2; ++i) t.push_back(static_cast<uint8_t>(littleEndian ? v >> (8 * i) : v >> (8 * (1 - i))));
  };
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) t.push_back(static_cast<uint8_t>(littleEndian ? v >> (8 * i) : v >> (8 * (3 - i))));
  };
  auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t offset, const char* inlineText) {
    put16(tag), put16(type), put32(count);
    if (inlineText) {
      char four[4] = {};
      std::memcpy(four, inlineText, std::strlen(inlineText));
      t.insert(t.end(), four, four + 4);
    } else {
      put32(offset);
    }
  };
  // Header 8, IFD0 (4 entries) 8-62, Exif IFD (1 entry) 62-80, Make 80-85, DateTime 85-104.
  t = {littleEndian ? uint8_t('I') : uint8_t('M'), littleEndian ? uint8_t('I') : uint8_t('M')};
  put16(42), put32(8);
  put16(4);
  entry(kMake, kAscii, 5, 80, nullptr);
  entry(kModel, kAscii, 3, 0, "Cam");
  entry(kDateTime, kAscii, 19, 85, nullptr);
  entry(kExifIfd, kLong, 1, 62, nullptr);
  put32(0);
  put16(1);
  entry(kSubSecTime, kAscii, 2, 0, "42");
  put32(0);
  for (char c : std::string("Maker") + "2001:02:03 04:05:06") t.push_back(static_cast<uint8_t>(c));
  return t;
}

void expectTerminated(const RawIfd& ifd, uint16_t tag, const std::string& text) {
  SCOPED_TRACE(tag);
  auto it = ifd.find(tag);
  ASSERT_NE(it, ifd.end());
  EXPECT_EQ(it->second.type, kAscii);
  EXPECT_EQ(it->second.count, text.size() + 1);
  EXPECT_EQ(it->second.bytes, text + std::string(1, '\0'));
}

TEST(ExifAsciiTags, WrittenTagsEndWithTheirCountedZeroInBothByteOrders) {
  for (bool le : {true, false}) {
    SCOPED_TRACE(le ? "little-endian" : "big-endian");
    std::vector<uint8_t> out = carryOver(test::makeJpeg(8, 8), SourceExif{true, sourceWithoutZeros(le)}, kNow);
    RawTiff tiff(exifTiffOf(out));
    expectTerminated(tiff.ifd0, kSoftware, softwareValue());
    expectTerminated(tiff.ifd0, kDateTime, "2024:02:29 13:04:05");
    EXPECT_EQ(tiff.ifd0.at(kDateTime).count, 20u);
    expectTerminated(tiff.exif, kSubSecTime, "007");
    // Carried over as they came, without a zero added.
    EXPECT_EQ(tiff.ifd0.at(kMake).count, 5u);
    EXPECT_EQ(tiff.ifd0.at(kMake).bytes, "Maker");
    EXPECT_EQ(tiff.ifd0.at(kModel).count, 3u);
    EXPECT_EQ(tiff.ifd0.at(kModel).bytes, "Cam");
  }
}

TEST(ExifAsciiTags, ABlockMadeWithoutASourceHasTerminatedTagsToo) {
  RawTiff tiff(exifTiffOf(carryOver(test::makeJpeg(8, 8), SourceExif{}, kNow)));
  expectTerminated(tiff.ifd0, kSoftware, softwareValue());
  expectTerminated(tiff.ifd0, kDateTime, "2024:02:29 13:04:05");
}

}  // namespace
}  // namespace brevane::exif
