// Maker note location and the offset shift of a maker note that moved.
#include "exif/maker_note.h"

#include "base/bytes.h"

namespace brevane::exif {

namespace {

// Bounds-checked reads in one byte order; a read past the end gives nothing.
class Tiff {
 public:
  Tiff(std::span<const uint8_t> d, bool littleEndian) : m_d(d), m_le(littleEndian) {}
  std::optional<uint32_t> u16(uint64_t pos) const {
    if (pos + 2 > m_d.size()) return std::nullopt;
    return m_le ? m_d[pos] | (m_d[pos + 1] << 8) : (m_d[pos] << 8) | m_d[pos + 1];
  }
  std::optional<uint32_t> u32(uint64_t pos) const {
    if (pos + 4 > m_d.size()) return std::nullopt;
    uint32_t b0 = m_d[pos], b1 = m_d[pos + 1], b2 = m_d[pos + 2], b3 = m_d[pos + 3];
    return m_le ? b0 | (b1 << 8) | (b2 << 16) | (b3 << 24) : (b0 << 24) | (b1 << 16) | (b2 << 8) | b3;
  }
  bool littleEndian() const { return m_le; }

 private:
  std::span<const uint8_t> m_d;
  bool m_le;
};

// Byte size of one value of a TIFF type; 0 for an unknown type.
uint32_t typeSize(uint32_t type) {
  switch (type) {
    case 1:
    case 2:
    case 6:
    case 7: return 1;
    case 3:
    case 8: return 2;
    case 4:
    case 9:
    case 11:
    case 13: return 4;
    case 5:
    case 10:
    case 12: return 8;
    default: return 0;
  }
}

// The value field of the entry with `tag` in the directory at `ifd`, with its count.
struct Entry {
  uint64_t pos = 0;  // offset of the entry
  uint32_t type = 0, count = 0, value = 0;
};
std::optional<Entry> findEntry(const Tiff& t, uint32_t ifd, uint32_t tag) {
  auto n = t.u16(ifd);
  if (!n) return std::nullopt;
  for (uint32_t i = 0; i < *n; ++i) {
    uint64_t e = uint64_t(ifd) + 2 + 12 * uint64_t(i);
    auto id = t.u16(e), type = t.u16(e + 2), count = t.u32(e + 4), value = t.u32(e + 8);
    if (!id || !type || !count || !value) return std::nullopt;
    if (*id == tag) return Entry{e, *type, *count, *value};
  }
  return std::nullopt;
}

}  // namespace

std::optional<MakerNoteLocation> findMakerNote(std::span<const uint8_t> tiff) {
  if (tiff.size() < 8 || tiff[0] != tiff[1] || (tiff[0] != 'I' && tiff[0] != 'M')) return std::nullopt;
  Tiff t(tiff, tiff[0] == 'I');
  auto ifd0 = t.u32(4);
  if (!ifd0) return std::nullopt;
  auto exifPointer = findEntry(t, *ifd0, 0x8769);
  if (!exifPointer) return std::nullopt;
  auto note = findEntry(t, exifPointer->value, 0x927C);
  if (!note || typeSize(note->type) != 1 || note->count <= 4) return std::nullopt;
  if (uint64_t(note->value) + note->count > tiff.size()) return std::nullopt;
  return MakerNoteLocation{note->value, note->count};
}

bool relocateMakerNote(std::vector<uint8_t>& tiff, const MakerNoteLocation& moved, uint32_t oldOffset) {
  if (moved.offset == oldOffset || tiff.size() < 2) return false;
  if (uint64_t(moved.offset) + moved.size > tiff.size()) return false;
  std::span<const uint8_t> note(tiff.data() + moved.offset, moved.size);
  const bool tiffLe = tiff[0] == 'I';
  for (bool le : {tiffLe, !tiffLe}) {
    Tiff t(note, le);
    for (uint32_t head = 0; head <= 32 && head + 2 <= moved.size; head += 2) {
      auto n = t.u16(head);
      if (!n || *n < 2 || *n > 512 || head + 2 + 12 * uint64_t(*n) > moved.size) continue;
      std::vector<uint64_t> outOfLine;  // positions of value offsets inside the note
      bool plausible = true, fromTiffHeader = true;
      for (uint32_t i = 0; i < *n && plausible; ++i) {
        uint64_t e = head + 2 + 12 * uint64_t(i);
        uint32_t size = typeSize(*t.u16(e + 2));
        uint32_t count = *t.u32(e + 4);
        if (size == 0 || count > moved.size) {
          plausible = false;
          break;
        }
        uint64_t bytes = uint64_t(size) * count;
        if (bytes <= 4) continue;
        uint64_t v = *t.u32(e + 8);
        if (v < oldOffset || v + bytes > uint64_t(oldOffset) + moved.size) fromTiffHeader = false;
        outOfLine.push_back(e + 8);
      }
      if (!plausible) continue;
      // The first directory that reads as one decides: addressed from elsewhere, or no values
      // outside the entries, means there is nothing to shift.
      if (!fromTiffHeader || outOfLine.empty()) return false;
      int64_t delta = int64_t(moved.offset) - int64_t(oldOffset);
      for (uint64_t p : outOfLine) {
        uint32_t v = *t.u32(p);
        store32(tiff.data() + moved.offset + p, static_cast<uint32_t>(int64_t(v) + delta), le);
      }
      return true;
    }
  }
  return false;
}

}  // namespace brevane::exif
