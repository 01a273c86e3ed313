// JPEG writer over libjpeg: 24-bit input, library defaults, quality with baseline tables,
// optional progressive scans, written to memory.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "base/error.h"
#include "codecs/encoders.h"

namespace brevane::codecs {
namespace {

struct ErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

extern "C" void onJpegError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

extern "C" void onJpegMessage(j_common_ptr) {}  // warnings are not failures

// A destination that grows one malloc'd buffer owned by the caller, so that the buffer can be
// freed after a failure whatever state the library was in.
struct MemoryDest {
  jpeg_destination_mgr pub;
  unsigned char* buffer;
  size_t capacity;
  size_t used;  // set when the stream ends
};

extern "C" void initDest(j_compress_ptr) {}

extern "C" boolean growDest(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<MemoryDest*>(cinfo->dest);
  size_t bigger = d->capacity * 2;
  auto* p = static_cast<unsigned char*>(std::realloc(d->buffer, bigger));
  if (!p) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
  d->buffer = p;
  d->pub.next_output_byte = p + d->capacity;
  d->pub.free_in_buffer = bigger - d->capacity;
  d->capacity = bigger;
  return TRUE;
}

extern "C" void termDest(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<MemoryDest*>(cinfo->dest);
  d->used = d->capacity - d->pub.free_in_buffer;
}

// The only function that can be left by longjmp: plain C data, no destructors to skip.
// Returns false with err->message set on failure; dest->buffer is the caller's to free.
bool compressRows(const Bitmap& image, int quality, bool progressive, const uint8_t* icc, size_t iccSize,
                  MemoryDest* dest, ErrorManager* err) {
  jpeg_compress_struct cinfo;
  cinfo.err = jpeg_std_error(&err->pub);
  err->pub.error_exit = onJpegError;
  err->pub.output_message = onJpegMessage;
  if (setjmp(err->jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  dest->pub.init_destination = initDest;
  dest->pub.empty_output_buffer = growDest;
  dest->pub.term_destination = termDest;
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = dest->capacity;
  cinfo.dest = &dest->pub;
  cinfo.image_width = static_cast<JDIMENSION>(image.width());
  cinfo.image_height = static_cast<JDIMENSION>(image.height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;  // the bitmap's own byte order
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  // APP2 "ICC_PROFILE" segments, numbered and cut as the ICC specification says.
  if (iccSize > 0) jpeg_write_icc_profile(&cinfo, icc, static_cast<unsigned int>(iccSize));
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(image.scanLine(static_cast<int>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

}  // namespace

std::vector<uint8_t> encodeJpeg(const Bitmap& image, int quality, bool progressive, std::span<const uint8_t> icc) {
  if (image.empty()) throw Error("Cannot write an empty image");
  const Bitmap* src = &image;
  Bitmap converted;
  if (image.bitsPerPixel() != 24) {
    converted = image;
    converted.convertTo24();
    src = &converted;
  }
  ErrorManager err{};
  MemoryDest dest{};
  dest.capacity = std::max<size_t>(65536, src->byteSize() / 8);
  dest.buffer = static_cast<unsigned char*>(std::malloc(dest.capacity));
  if (!dest.buffer) throw std::bad_alloc();
  bool ok = compressRows(*src, quality, progressive, icc.data(), icc.size(), &dest, &err);
  std::vector<uint8_t> bytes;
  try {
    if (ok) bytes.assign(dest.buffer, dest.buffer + dest.used);
  } catch (...) {
    std::free(dest.buffer);
    throw;
  }
  std::free(dest.buffer);
  if (!ok) throw Error(err.message[0] ? err.message : "JPEG encoding failed");
  return bytes;
}

}  // namespace brevane::codecs
