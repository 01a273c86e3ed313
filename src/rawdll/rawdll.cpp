// rawdll.so: decodes a camera RAW file with LibRaw (camera white balance, sRGB, 8 bits) into a
// complete 24-bit BMP file image in memory, kept until FreeMemory.
#include <libraw/libraw.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "codecs/rawdll_abi.h"

namespace {

// The block of the last successful call, released by FreeMemory.
std::vector<uint8_t> g_block;
// Why the last call failed, in LibRaw's words where it gave some.
std::string g_error;

bool fail(const char* message) {
  g_error = message;
  return false;
}
bool failWith(int code) { return fail(libraw_strerror(code)); }

// Largest picture turned into a BMP block (the block's size field is 32 bits).
constexpr uint64_t kMaxPixels = uint64_t{1} << 28;

// A BMP file image (file header, 40-byte information header, bottom-up BGR rows) of an RGB or
// grey image with 8 bits per sample. False when the picture cannot be held in one block.
bool buildBmp(const libraw_processed_image_t& img, std::vector<uint8_t>& out) {
  const uint64_t w = img.width, h = img.height;
  if (w == 0 || h == 0 || w * h > kMaxPixels || img.bits != 8 || (img.colors != 1 && img.colors != 3)) return false;
  const uint64_t stride = (w * 3 + 3) & ~uint64_t{3};
  const uint64_t total = 54 + stride * h;
  if (total > 0xFFFFFFFFu || img.data_size < w * h * img.colors) return false;
  out.assign(total, 0);
  uint8_t* p = out.data();
  p[0] = 'B', p[1] = 'M';
  brevane::storeLe32(p + 2, static_cast<uint32_t>(total));
  brevane::storeLe32(p + 10, 54);
  brevane::storeLe32(p + 14, 40);
  brevane::storeLe32(p + 18, static_cast<uint32_t>(w));
  brevane::storeLe32(p + 22, static_cast<uint32_t>(h));
  brevane::storeLe16(p + 26, 1);
  brevane::storeLe16(p + 28, 24);
  brevane::storeLe32(p + 34, static_cast<uint32_t>(stride * h));
  brevane::storeLe32(p + 38, 2835);
  brevane::storeLe32(p + 42, 2835);
  for (uint64_t y = 0; y < h; ++y) {
    const uint8_t* s = img.data + y * w * img.colors;
    uint8_t* d = p + 54 + (h - 1 - y) * stride;
    for (uint64_t x = 0; x < w; ++x, d += 3, s += img.colors) {
      if (img.colors == 3)
        d[0] = s[2], d[1] = s[1], d[2] = s[0];
      else
        d[0] = d[1] = d[2] = s[0];
    }
  }
  return true;
}

// LibRaw reports damaged data and failed allocations on stderr by default; the caller learns of
// them from the result instead.
void quietData(void*, const char*, const int) {}
void quietMemory(void*, const char*, const char*) {}

struct ProcessedImage {
  libraw_processed_image_t* image = nullptr;
  ~ProcessedImage() {
    if (image) LibRaw::dcraw_clear_mem(image);
  }
};

bool decodeFile(const char* path, std::vector<uint8_t>& out) {
  auto raw = std::make_unique<LibRaw>(0);
  raw->set_dataerror_handler(quietData, nullptr);
  raw->set_memerror_handler(quietMemory, nullptr);
  raw->imgdata.params.use_camera_wb = 1;
  raw->imgdata.params.output_color = 1;  // sRGB
  raw->imgdata.params.output_bps = 8;
  if (int rc = raw->open_file(path); rc != LIBRAW_SUCCESS) return failWith(rc);
  const uint64_t w = raw->imgdata.sizes.width, h = raw->imgdata.sizes.height;
  if (w == 0 || h == 0) return fail("RAW image has no size");
  if (w * h > kMaxPixels) return fail("RAW image is too large");
  if (int rc = raw->unpack(); rc != LIBRAW_SUCCESS) return failWith(rc);
  if (int rc = raw->dcraw_process(); rc != LIBRAW_SUCCESS) return failWith(rc);
  int error = 0;
  ProcessedImage processed{raw->dcraw_make_mem_image(&error)};
  if (error != LIBRAW_SUCCESS) return failWith(error);
  if (!processed.image || processed.image->type != LIBRAW_IMAGE_BITMAP) return fail("RAW decoder gave no bitmap");
  if (!buildBmp(*processed.image, out)) return fail("RAW image cannot be held in one bitmap block");
  return true;
}

}  // namespace

extern "C" {

/// Decodes `path` and fills `block` with a BMP file image (memory, size); on failure the block
/// is left empty. Returns 1 on success, 0 on failure.
__attribute__((visibility("default"))) int Raw2BmpMem(const char* path, RawBlock* block) {
  if (!block) return 0;
  block->memory = nullptr;
  block->size = 0;
  std::vector<uint8_t>().swap(g_block);
  g_error.clear();
  if (!path) return fail("no path"), 0;
  try {
    std::vector<uint8_t> bmp;
    if (!decodeFile(path, bmp)) return 0;
    g_block = std::move(bmp);
  } catch (const std::bad_alloc&) {  // nothing may cross the C boundary
    return fail("Out of memory"), 0;
  } catch (...) {
    return fail("RAW decoder failed"), 0;
  }
  block->memory = g_block.data();
  block->size = static_cast<uint32_t>(g_block.size());
  return 1;
}

/// Why the last Raw2BmpMem call failed ("" after a success). Optional for loaders: the two
/// entry points above are the whole contract.
__attribute__((visibility("default"))) const char* RawLastError() { return g_error.c_str(); }

/// Releases the block of the last Raw2BmpMem call.
__attribute__((visibility("default"))) void FreeMemory() { std::vector<uint8_t>().swap(g_block); }
}
