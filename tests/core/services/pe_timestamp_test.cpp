// The build time stamp of PE files the test writes (valid, 64-bit, damaged, cut short), its
// MS-DOS date decoding, and the build date text with its fallback for an ELF executable.
#include "services/pe_timestamp.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace brevane::services {
namespace {

constexpr uint32_t dosStamp(uint32_t y, uint32_t mo, uint32_t d, uint32_t h, uint32_t mi, uint32_t s) {
  return (y - 1980) << 25 | mo << 21 | d << 16 | h << 11 | mi << 5 | s / 2;
}
constexpr uint32_t kStamp = dosStamp(2011, 9, 17, 13, 45, 30);

void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}

// A small PE image: DOS header (PE header at 0x80), file header, an optional header of 224
// (32-bit) or 240 (64-bit) bytes, the section table, and 0x200 bytes of raw data per section.
// Each section's data starts like a resource directory; only the ".rsrc" one holds kStamp.
struct PeImage {
  std::vector<uint8_t> bytes;
  size_t needed = 0;  // the end of the ".rsrc" directory: everything the walk reads lies before
};

PeImage makePe(const std::vector<std::string>& sections = {".text", ".data", ".rsrc"}, bool pe64 = false) {
  const size_t pe = 0x80, optional = pe64 ? 240 : 224;
  const size_t table = pe + 24 + optional;
  const size_t dataStart = (table + 40 * sections.size() + 0x1FF) & ~size_t{0x1FF};
  PeImage image;
  std::vector<uint8_t>& b = image.bytes;
  b.assign(dataStart + 0x200 * sections.size(), 0);
  b[0] = 'M';
  b[1] = 'Z';
  put32(b, 60, pe);
  std::memcpy(&b[pe], "PE\0\0", 4);
  put16(b, pe + 4, pe64 ? 0x8664 : 0x14C);
  put16(b, pe + 6, static_cast<uint32_t>(sections.size()));
  put32(b, pe + 8, 0x12345678);  // the file header's own time stamp is not the one read
  put16(b, pe + 20, static_cast<uint32_t>(optional));
  put16(b, pe + 24, pe64 ? 0x20B : 0x10B);
  for (size_t i = 0; i < sections.size(); ++i) {
    const size_t h = table + 40 * i, data = dataStart + 0x200 * i;
    std::memcpy(&b[h], sections[i].data(), std::min<size_t>(8, sections[i].size()));
    put32(b, h + 16, 0x200);
    put32(b, h + 20, static_cast<uint32_t>(data));
    const bool first = image.needed == 0 && sections[i] == ".rsrc";
    put32(b, data + 4, first ? kStamp : dosStamp(1999, 1, 1, 1, 1, 2) + static_cast<uint32_t>(i));
    if (first) image.needed = data + 16;
  }
  return image;
}

std::optional<uint32_t> readFromFile(const std::vector<uint8_t>& bytes) {
  static const std::string dir = test::makeTempDir("pe");
  test::writeBytes(dir + "image.exe", bytes);
  return readPeResourceTimestamp(dir + "image.exe");
}

// Both readers, the file and the memory one, must agree.
void expectStamp(const std::vector<uint8_t>& bytes, std::optional<uint32_t> expected, const std::string& what) {
  EXPECT_EQ(peResourceTimestamp(bytes), expected) << what;
  EXPECT_EQ(readFromFile(bytes), expected) << what << " (file)";
}

TEST(PeTimestamp, ReadsTheRootResourceDirectoryOfTheRsrcSection) {
  expectStamp(makePe().bytes, kStamp, "32-bit, .rsrc third");
  expectStamp(makePe({".rsrc"}).bytes, kStamp, ".rsrc alone");
  // A 64-bit image has a longer optional header; the section table follows it.
  expectStamp(makePe({".text", ".rsrc"}, true).bytes, kStamp, "64-bit");
  // The first of two ".rsrc" sections counts.
  expectStamp(makePe({".rsrc", ".rsrc"}).bytes, kStamp, "two .rsrc");
}

struct Damage {
  const char* what;
  std::function<void(std::vector<uint8_t>&)> apply;
};

TEST(PeTimestamp, DamagedImagesGiveNoStamp) {
  const std::vector<Damage> damages = {
      {"no MZ", [](auto& b) { b[0] = 'X'; }},
      {"no PE signature", [](auto& b) { b[0x81] = 'X'; }},
      {"PE header offset beyond the file", [](auto& b) { put32(b, 60, 0xFFFFFFF0); }},
      {"PE header offset inside the last bytes", [](auto& b) { put32(b, 60, static_cast<uint32_t>(b.size() - 10)); }},
      {"no sections", [](auto& b) { put16(b, 0x86, 0); }},
      {"more sections than the table holds, none .rsrc",
       [](auto& b) {
         put16(b, 0x86, 0xFFFF);
         std::memcpy(&b[0x80 + 24 + 224 + 80], ".data\0\0\0", 8);
       }},
      {"raw data beyond the file", [](auto& b) { put32(b, 0x80 + 24 + 224 + 80 + 20, 0xFFFFFFFF); }},
      {"raw data at the file's last 8 bytes",
       [](auto& b) { put32(b, 0x80 + 24 + 224 + 80 + 20, static_cast<uint32_t>(b.size() - 8)); }},
      {"optional header size beyond the file", [](auto& b) { put16(b, 0x80 + 20, 0xFFFF); }},
  };
  for (const Damage& d : damages) {
    std::vector<uint8_t> b = makePe().bytes;
    d.apply(b);
    expectStamp(b, std::nullopt, d.what);
  }
  for (auto names : {std::vector<std::string>{".text", ".data"}, {".RSRC"}, {".rsrcx"}, {"rsrc"}})
    expectStamp(makePe(names).bytes, std::nullopt, names[0]);
  expectStamp({}, std::nullopt, "empty file");
  EXPECT_EQ(readPeResourceTimestamp(test::makeTempDir("pe-missing") + "missing.exe"), std::nullopt);
  EXPECT_EQ(readPeResourceTimestamp(test::makeTempDir("pe-folder")), std::nullopt);
}

TEST(PeTimestamp, AnImageCutShortAnywhereBeforeTheDirectoryEndGivesNoStamp) {
  PeImage image = makePe();
  for (size_t cut = 0; cut <= image.bytes.size(); ++cut) {
    std::span<const uint8_t> part(image.bytes.data(), cut);
    std::optional<uint32_t> expected = cut >= image.needed ? std::optional<uint32_t>(kStamp) : std::nullopt;
    ASSERT_EQ(peResourceTimestamp(part), expected) << "cut at " << cut;
  }
  // The file reader at the edges.
  for (size_t cut : {size_t{63}, size_t{0x80 + 10}, image.needed - 1, image.needed}) {
    std::vector<uint8_t> part(image.bytes.begin(), image.bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_EQ(readFromFile(part), cut >= image.needed ? std::optional<uint32_t>(kStamp) : std::nullopt) << cut;
  }
}

struct DosCase {
  uint32_t value;
  std::optional<LocalDateTime> expected;
};

void PrintTo(const DosCase& c, std::ostream* os) {
  *os << "0x" << std::hex << c.value;
}

class DosDateTest : public ::testing::TestWithParam<DosCase> {};

TEST_P(DosDateTest, DecodesRealDatesOnly) {
  std::optional<LocalDateTime> t = decodeDosDateTime(GetParam().value);
  ASSERT_EQ(t.has_value(), GetParam().expected.has_value());
  if (!t) return;
  const LocalDateTime& e = *GetParam().expected;
  EXPECT_EQ((std::array{t->year, t->month, t->day, t->hour, t->minute, t->second}),
            (std::array{e.year, e.month, e.day, e.hour, e.minute, e.second}));
}

INSTANTIATE_TEST_SUITE_P(
    Values, DosDateTest,
    ::testing::Values(DosCase{kStamp, LocalDateTime{2011, 9, 17, 13, 45, 30}},
                      DosCase{dosStamp(1980, 1, 1, 0, 0, 0), LocalDateTime{1980, 1, 1}},
                      DosCase{dosStamp(2107, 12, 31, 23, 59, 58), LocalDateTime{2107, 12, 31, 23, 59, 58}},
                      DosCase{dosStamp(2024, 2, 29, 12, 0, 0), LocalDateTime{2024, 2, 29, 12}},
                      DosCase{0, std::nullopt},  // month 0, day 0
                      DosCase{dosStamp(2023, 2, 29, 0, 0, 0), std::nullopt},
                      DosCase{dosStamp(2011, 13, 1, 0, 0, 0), std::nullopt},
                      DosCase{dosStamp(2011, 9, 17, 24, 0, 0), std::nullopt},
                      DosCase{dosStamp(2011, 9, 17, 13, 60, 0), std::nullopt},
                      DosCase{dosStamp(2011, 9, 17, 13, 45, 60), std::nullopt}, DosCase{0xFFFFFFFF, std::nullopt}));

TEST(BuildDate, TextLeavesTheTimeOutAtMidnight) {
  DateTimeFormat fs;
  fs.shortDate = "%d/%m/%Y";
  fs.dateSeparator = '.';
  EXPECT_EQ(buildDateText({2011, 9, 17, 13, 45, 30}, fs), "17.09.2011 13:45:30");
  EXPECT_EQ(buildDateText({2011, 9, 17, 0, 0, 2}, fs), "17.09.2011 00:00:02");
  EXPECT_EQ(buildDateText({2011, 9, 17}, fs), "17.09.2011");
}

TEST(BuildDate, ComesFromThePeStampElseFromTheFallback) {
  DateTimeFormat fs;
  fs.shortDate = "%Y/%m/%d";
  fs.dateSeparator = '-';
  const LocalDateTime fallback{2030, 4, 5};
  const std::string dir = test::makeTempDir("pe-date");
  test::writeBytes(dir + "good.exe", makePe().bytes);
  EXPECT_EQ(executableBuildDateText(dir + "good.exe", fallback, fs), "2011-09-17 13:45:30");
  // A stamp that names no date, no file, and this test program (an ELF file without resources).
  std::vector<uint8_t> bad = makePe().bytes;
  put32(bad, makePe().needed - 12, dosStamp(2011, 13, 1, 0, 0, 0));
  test::writeBytes(dir + "bad.exe", bad);
  for (std::string path : {dir + "bad.exe", dir + "missing.exe", std::string("/proc/self/exe")})
    EXPECT_EQ(executableBuildDateText(path, fallback, fs), "2030-04-05") << path;
}

}  // namespace
}  // namespace brevane::services
