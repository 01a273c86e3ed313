// Locating the maker note and shifting the offsets of one that moved.
#include "exif/maker_note.h"

#include <gtest/gtest.h>

#include <cstring>

namespace brevane::exif {
namespace {

// A little-endian TIFF: IFD0 with the Exif pointer, the Exif IFD with tag 0x927C, and a maker
// note at `noteAt`: an 8-byte header, a directory of two entries (one inline SHORT, one ASCII
// of 12 bytes stored after the directory), the string. `fromTiff` chooses whether the string's
// offset counts from the TIFF header or from the maker note.
struct Builder {
  std::vector<uint8_t> d;
  void u16(size_t at, uint32_t v) { d[at] = v & 0xFF, d[at + 1] = (v >> 8) & 0xFF; }
  void u32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) d[at + i] = (v >> (8 * i)) & 0xFF;
  }
  uint32_t get32(size_t at) const { return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (uint32_t(d[at + 3]) << 24); }
};

constexpr uint32_t kNoteSize = 8 + 2 + 24 + 4 + 12;

std::vector<uint8_t> tiffWithNote(uint32_t noteAt, bool fromTiff) {
  Builder b;
  b.d.assign(noteAt + kNoteSize, 0);
  std::memcpy(b.d.data(), "II*\0", 4);
  b.u32(4, 8);
  b.u16(8, 1);  // IFD0: one entry, the Exif pointer
  b.u16(10, 0x8769), b.u16(12, 4), b.u32(14, 1), b.u32(18, 26);
  b.u16(26, 1);  // Exif IFD: the maker note
  b.u16(28, 0x927C), b.u16(30, 7), b.u32(32, kNoteSize), b.u32(36, noteAt);
  std::memcpy(&b.d[noteAt], "MAKER\0\1\0", 8);
  size_t dir = noteAt + 8;
  b.u16(dir, 2);
  b.u16(dir + 2, 1), b.u16(dir + 4, 3), b.u32(dir + 6, 1), b.u32(dir + 10, 7);
  uint32_t stringAt = 8 + 2 + 24 + 4;
  b.u16(dir + 14, 2), b.u16(dir + 16, 2), b.u32(dir + 18, 12), b.u32(dir + 22, fromTiff ? noteAt + stringAt : stringAt);
  std::memcpy(&b.d[noteAt + stringAt], "hello maker", 12);
  return b.d;
}

uint32_t stringOffset(const std::vector<uint8_t>& t, uint32_t noteAt) {
  Builder b{t};
  return b.get32(noteAt + 8 + 2 + 12 + 8);
}

TEST(MakerNote, FindsTheMakerNoteOfTheExifDirectory) {
  auto loc = findMakerNote(tiffWithNote(60, true));
  ASSERT_TRUE(loc);
  EXPECT_EQ(loc->offset, 60u);
  EXPECT_EQ(loc->size, kNoteSize);
  std::vector<uint8_t> cut = tiffWithNote(60, true);
  cut.resize(70);  // the note runs past the end
  EXPECT_FALSE(findMakerNote(cut));
  const std::vector<uint8_t> badIfd = {'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F};
  EXPECT_FALSE(findMakerNote(badIfd));
}

// The copy made by a rewrite: the same note bytes at a new place.
std::vector<uint8_t> movedCopy(const std::vector<uint8_t>& original, uint32_t from, uint32_t to) {
  std::vector<uint8_t> t = tiffWithNote(to, true);
  std::memcpy(&t[to], &original[from], kNoteSize);
  return t;
}

TEST(MakerNote, OffsetsFromTheTiffHeaderFollowTheMove) {
  for (uint32_t to : {44u, 100u, 300u}) {
    std::vector<uint8_t> original = tiffWithNote(60, true);
    std::vector<uint8_t> moved = movedCopy(original, 60, to);
    ASSERT_TRUE(relocateMakerNote(moved, *findMakerNote(moved), 60));
    EXPECT_EQ(stringOffset(moved, to), to + 38);
    EXPECT_EQ(std::memcmp(&moved[stringOffset(moved, to)], "hello maker", 12), 0);
  }
}

TEST(MakerNote, OffsetsFromTheMakerNoteStayAndUnmovedNotesAreLeft) {
  std::vector<uint8_t> original = tiffWithNote(60, false);
  std::vector<uint8_t> moved = tiffWithNote(120, false);
  std::vector<uint8_t> before = moved;
  EXPECT_FALSE(relocateMakerNote(moved, *findMakerNote(moved), 60));
  EXPECT_EQ(moved, before);
  std::vector<uint8_t> same = tiffWithNote(60, true);
  EXPECT_FALSE(relocateMakerNote(same, *findMakerNote(same), 60));
}

}  // namespace
}  // namespace brevane::exif
