// Fuzz target: the project's own JPEG segment walk, the Exif splice and the maker-note offset
// shift, on any input (Exiv2's TIFF parsing is not part of it).
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "exif/jpeg_segments.h"
#include "exif/maker_note.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brevane::exif;
  std::span<const uint8_t> in(data, size);
  if (!startsLikeJpeg(in)) return 0;
  JpegHeader header = walkJpegHeader(in);
  frameSize(header);
  auto tiff = findExifTiff(header);
  std::vector<uint8_t> block;
  if (tiff && tiff->size() <= kMaxExifTiffSize) block.assign(tiff->begin(), tiff->end());
  std::vector<uint8_t> out = spliceExif(in, header, block);
  if (out.size() < 2) __builtin_trap();
  if (auto note = findMakerNote(block)) {
    // Pretend the maker note came from a few other places.
    for (uint32_t old : {0u, note->offset / 2, note->offset + 7, 0xFFFFFFF0u}) {
      std::vector<uint8_t> copy = block;
      relocateMakerNote(copy, *note, old);
      if (copy.size() != block.size()) __builtin_trap();
    }
  }
  return 0;
}
