// PNG reader on libpng: every colour type and depth, tRNS, interlace; see codec.h for the layouts.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "base/byte_buffer.h"
#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/icc_profile.h"
#include "codecs/orientation.h"

namespace brevane::codecs {
namespace {

// Ancillary chunks are small; a larger one is a decompression bomb (zTXt, iCCP).
constexpr png_alloc_size_t kMaxChunkBytes = 8u << 20;
constexpr png_uint_32 kMaxSide = 1u << 20;

struct MemoryInput {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

struct ErrorState {
  char message[200];
};

extern "C" void png_onError(png_structp png, png_const_charp message) {
  auto* state = static_cast<ErrorState*>(png_get_error_ptr(png));
  std::strncpy(state->message, message ? message : "unknown error", sizeof state->message - 1);
  state->message[sizeof state->message - 1] = 0;
  png_longjmp(png, 1);
}

extern "C" void png_onWarning(png_structp, png_const_charp) {}

extern "C" void png_onRead(png_structp png, png_bytep out, png_size_t length) {
  auto* in = static_cast<MemoryInput*>(png_get_io_ptr(png));
  if (length > in->size - in->pos) png_error(png, "Read Error: file is truncated");
  std::memcpy(out, in->data + in->pos, length);
  in->pos += length;
}

// What the header says, read by readInfo.
struct Info {
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  bool hasTrns = false;
  png_color_16 trnsColor{};
  png_byte trnsAlpha[256]{};
  int trnsCount = 0;
  png_color palette[256]{};
  int paletteCount = 0;
  size_t rowBytes = 0;
};

// Reads the header and sets the transforms that give 8-bit samples. No C++ object with a
// destructor lives in this frame, so the long jump skips nothing.
bool readInfo(png_structp png, png_infop info, Info* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_set_chunk_malloc_max(png, kMaxChunkBytes);
  png_set_chunk_cache_max(png, 1000);
  // The profile is taken as the file holds it (libpng would drop one it finds fault with
  // without a word); the profile check decides and reports.
  static const png_byte kIccp[] = {'i', 'C', 'C', 'P', 0};
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, kIccp, 1);
  png_read_info(png, info);
  png_get_IHDR(png, info, &out->width, &out->height, &out->bitDepth, &out->colorType, &out->interlace, nullptr,
               nullptr);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) {
    png_bytep alpha = nullptr;
    int count = 0;
    png_color_16p colour = nullptr;
    png_get_tRNS(png, info, &alpha, &count, &colour);
    out->hasTrns = true;
    if (colour) out->trnsColor = *colour;
    if (alpha && count > 0) {
      out->trnsCount = count > 256 ? 256 : count;
      std::memcpy(out->trnsAlpha, alpha, static_cast<size_t>(out->trnsCount));
    }
  }
  if (out->colorType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp colours = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &colours, &count) && colours) {
      out->paletteCount = count > 256 ? 256 : count;
      std::memcpy(out->palette, colours, sizeof(png_color) * static_cast<size_t>(out->paletteCount));
    }
  }
  if (out->bitDepth == 16) png_set_strip_16(png);
  if (out->bitDepth < 8) {
    if (out->colorType == PNG_COLOR_TYPE_GRAY)
      png_set_expand_gray_1_2_4_to_8(png);
    else
      png_set_packing(png);
  }
  if (out->colorType == PNG_COLOR_TYPE_RGB || out->colorType == PNG_COLOR_TYPE_RGB_ALPHA) png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  out->rowBytes = png_get_rowbytes(png, info);
  return true;
}

bool readRows(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  return true;
}

// Reads the chunks after the image data. Their damage (a cut-off IEND, a broken text chunk)
// does not touch the pixels, so the caller ignores the result.
bool readEnd(png_structp png, png_infop info) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_end(png, info);
  return true;
}

struct Reader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ErrorState error{};
  ~Reader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
  [[noreturn]] void fail() const { throw Error(std::string("PNG image is not valid (") + error.message + ")"); }
};

uint8_t scaleGrey(unsigned value, int bitDepth) {
  if (bitDepth == 16) return static_cast<uint8_t>(value >> 8);
  if (bitDepth == 8) return static_cast<uint8_t>(value);
  unsigned max = (1u << bitDepth) - 1;
  return static_cast<uint8_t>((value & max) * 255 / max);
}

// Colour channel composited over black: (c * a + 127) div 255.
uint8_t overBlack(unsigned c, unsigned a) { return static_cast<uint8_t>((c * a + 127) / 255); }

// The layout whose rows libpng can write straight into the bitmap (the 8-bit sample rows are
// the bitmap's own pixels), or 0.
int directDepth(const Info& h) {
  switch (h.colorType) {
    case PNG_COLOR_TYPE_RGB_ALPHA: return 32;
    case PNG_COLOR_TYPE_RGB: return 24;
    case PNG_COLOR_TYPE_GRAY: return 8;
    default: return 0;
  }
}

// The marks of a bitmap decoded straight into its rows.
void finishDirect(const Info& h, Bitmap& bmp) {
  switch (h.colorType) {
    case PNG_COLOR_TYPE_RGB_ALPHA: bmp.setAlphaMode(AlphaMode::kStraight); break;
    case PNG_COLOR_TYPE_RGB:
      if (h.hasTrns)
        bmp.setTransparentColor({scaleGrey(h.trnsColor.blue, h.bitDepth), scaleGrey(h.trnsColor.green, h.bitDepth),
                                 scaleGrey(h.trnsColor.red, h.bitDepth)});
      break;
    default:
      bmp.setGreyPalette();
      if (h.hasTrns) {
        uint8_t g = scaleGrey(h.trnsColor.gray, h.bitDepth);
        bmp.setTransparentColor({g, g, g});
      }
      break;
  }
}

// Builds the bitmap from 8-bit sample rows (grey with alpha, palette).
void convert(const Info& h, const ByteBuffer& buffer, DecodedImage& image) {
  const int w = static_cast<int>(h.width), ht = static_cast<int>(h.height);
  Bitmap& bmp = image.bitmap;
  auto row = [&](int y) { return buffer.data() + static_cast<size_t>(y) * h.rowBytes; };
  if (h.colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    bmp.resetForOverwrite(w, ht, 32);
    for (int y = 0; y < ht; ++y) {
      const uint8_t* s = row(y);
      uint8_t* d = bmp.scanLine(y);
      for (int x = 0; x < w; ++x, s += 2, d += 4) {
        d[0] = d[1] = d[2] = overBlack(s[0], s[1]);
        d[3] = 255;
      }
    }
    return;
  }
  // Palette: alpha of each entry (missing tRNS entries are opaque).
  unsigned alpha[256];
  for (int i = 0; i < 256; ++i) alpha[i] = i < h.trnsCount ? h.trnsAlpha[i] : 255;
  int zeroCount = 0, firstZero = -1;
  bool partial = false;
  for (int i = 0; i < h.paletteCount; ++i) {
    if (alpha[i] == 0) {
      if (firstZero < 0) firstZero = i;
      ++zeroCount;
    } else if (alpha[i] != 255) {
      partial = true;
    }
  }
  if (partial) {
    bmp.resetForOverwrite(w, ht, 32);
    for (int y = 0; y < ht; ++y) {
      const uint8_t* s = row(y);
      uint8_t* d = bmp.scanLine(y);
      for (int x = 0; x < w; ++x, d += 4) {
        unsigned i = s[x];
        png_color c = i < static_cast<unsigned>(h.paletteCount) ? h.palette[i] : png_color{0, 0, 0};
        unsigned a = alpha[i];
        d[0] = overBlack(c.blue, a), d[1] = overBlack(c.green, a), d[2] = overBlack(c.red, a), d[3] = 255;
      }
    }
    return;
  }
  bmp.resetForOverwrite(w, ht, 8);
  bmp.palette().assign(256, PaletteEntry{});
  for (int i = 0; i < h.paletteCount; ++i) bmp.palette()[i] = {h.palette[i].blue, h.palette[i].green, h.palette[i].red, 0};
  for (int y = 0; y < ht; ++y) {
    const uint8_t* s = row(y);
    uint8_t* d = bmp.scanLine(y);
    for (int x = 0; x < w; ++x) {
      // Every fully transparent entry becomes the first one, so one mark covers them all.
      d[x] = (zeroCount > 1 && alpha[s[x]] == 0) ? static_cast<uint8_t>(firstZero) : s[x];
    }
  }
  if (firstZero >= 0) {
    const PaletteEntry& e = bmp.palette()[firstZero];
    bmp.setTransparentColor({e.b, e.g, e.r});
  }
}

// The profile of the first iCCP chunk and the orientation of the eXIf chunk, wherever in the
// file they stood (the info holds the chunks from before and after the image data).
void readMetadata(png_structp png, png_infop info, DecodedImage& image) {
  png_unknown_chunkp chunks = nullptr;
  int count = png_get_unknown_chunks(png, info, &chunks);
  for (int i = 0; i < count && chunks; ++i) {
    if (std::memcmp(chunks[i].name, "iCCP", 4) != 0 || !chunks[i].data) continue;
    image.iccProfile = pngIccProfile(std::span<const uint8_t>(chunks[i].data, chunks[i].size));
    break;
  }
  png_uint_32 exifSize = 0;
  png_bytep exif = nullptr;
  if (png_get_eXIf_1(png, info, &exifSize, &exif) && exif)
    image.orientation = exifOrientation(std::span<const uint8_t>(exif, exifSize));
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  if (data.size() < 8 || png_sig_cmp(data.data(), 0, 8) != 0) throw Error("PNG image is not valid (invalid header)");
  Reader r;
  r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r.error, png_onError, png_onWarning);
  if (!r.png) throw std::bad_alloc();
  r.info = png_create_info_struct(r.png);
  if (!r.info) throw std::bad_alloc();
  MemoryInput input{data.data(), data.size(), 0};
  png_set_read_fn(r.png, &input, png_onRead);

  Info h;
  if (!readInfo(r.png, r.info, &h)) r.fail();
  checkImageSize(h.width, h.height);
  if (h.colorType == PNG_COLOR_TYPE_PALETTE && h.paletteCount == 0) throw Error("PNG image is not valid (no palette)");
  DecodedImage image;
  image.kind = DecodedKind::kPng;
  image.pngColorType = h.colorType;
  // Every row is written by png_read_image (or the decode fails): nothing is zero-filled.
  const int depth = directDepth(h);
  ByteBuffer buffer;
  std::vector<png_bytep> rows(h.height);
  if (depth && h.rowBytes != static_cast<size_t>(h.width) * static_cast<size_t>(depth / 8))
    throw Error("PNG image is not valid (unexpected row size)");
  if (depth) {
    image.bitmap.resetForOverwrite(static_cast<int>(h.width), static_cast<int>(h.height), depth);
    for (png_uint_32 y = 0; y < h.height; ++y) rows[y] = image.bitmap.scanLine(static_cast<int>(y));
  } else {
    buffer.allocate(h.rowBytes * h.height);
    for (png_uint_32 y = 0; y < h.height; ++y) rows[y] = buffer.data() + static_cast<size_t>(y) * h.rowBytes;
  }
  if (!readRows(r.png, rows.data())) r.fail();
  readEnd(r.png, r.info);
  readMetadata(r.png, r.info, image);
  if (depth)
    finishDirect(h, image.bitmap);
  else
    convert(h, buffer, image);
  return image;
}

}  // namespace

const CodecDescriptor kPngCodec{"", &decode};

}  // namespace brevane::codecs
