// JPEG reader on libjpeg-turbo: full size, accurate integer transform; grey, colour or CMYK.
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/icc_profile.h"
#include "codecs/orientation.h"

namespace brevane::codecs {
namespace {

// Working memory libjpeg may take (progressive files keep every coefficient in memory).
constexpr long kMaxJpegMemory = 1536L << 20;
// Progressive files with thousands of tiny scans are a known way to burn time.
constexpr int kMaxScans = 1000;
// Corrupt-data warnings tolerated before the file is given up.
constexpr long kMaxWarnings = 10000;

// The error manager; the jump buffer is used only by the two setjmp functions below.
struct ErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
  int code;
  char message[JMSG_LENGTH_MAX];
  long warnings;
};

extern "C" void jpeg_onError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  err->code = err->pub.msg_code;
  (*err->pub.format_message)(cinfo, err->message);
  longjmp(err->jump, 1);
}

extern "C" void jpeg_onMessage(j_common_ptr cinfo, int level) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (level >= 0) return;  // trace messages
  if (++err->warnings > kMaxWarnings) {
    err->code = err->pub.msg_code;
    std::snprintf(err->message, sizeof err->message, "too many corrupt-data warnings");
    longjmp(err->jump, 1);
  }
}

extern "C" void jpeg_onProgress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->code = JERR_BAD_SCAN_SCRIPT;
    std::snprintf(err->message, sizeof err->message, "too many scans");
    longjmp(err->jump, 1);
  }
}

// Reads the header and starts decompression. No C++ object with a destructor lives here, so
// the long jump out of libjpeg skips nothing. Returns false on a libjpeg error.
bool startDecompress(jpeg_decompress_struct* cinfo, ErrorManager* err, const uint8_t* data, size_t size) {
  if (setjmp(err->jump)) return false;
  jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
  // Exif (for the orientation) and ICC segments are kept whole for the reads after the header.
  jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_save_markers(cinfo, JPEG_APP0 + 2, 0xFFFF);
  jpeg_read_header(cinfo, TRUE);
  cinfo->dct_method = JDCT_ISLOW;
  cinfo->scale_num = cinfo->scale_denom = 1;
  switch (cinfo->num_components) {
    case 1: cinfo->out_color_space = JCS_GRAYSCALE; break;
    case 3: cinfo->out_color_space = JCS_EXT_BGR; break;
    case 4: cinfo->out_color_space = JCS_CMYK; break;
    default: break;  // libjpeg refuses the conversion in jpeg_start_decompress
  }
  // Sizes are checked by the caller before any row is read; jpeg_calc_output_dimensions
  // alone allocates nothing of the image's size.
  jpeg_calc_output_dimensions(cinfo);
  return true;
}

bool beginOutput(jpeg_decompress_struct* cinfo, ErrorManager* err) {
  if (setjmp(err->jump)) return false;
  jpeg_start_decompress(cinfo);
  return true;
}

// Reads every scan line into the rows given; false on a libjpeg error.
bool readRows(jpeg_decompress_struct* cinfo, ErrorManager* err, uint8_t* const* rows) {
  if (setjmp(err->jump)) return false;
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = rows[cinfo->output_scanline];
    jpeg_read_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_decompress(cinfo);
  return true;
}

// Destroys the decompressor on every path out of decode.
struct Decompressor {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  jpeg_progress_mgr progress;
  Decompressor() {
    std::memset(&cinfo, 0, sizeof cinfo);
    std::memset(&err, 0, sizeof err);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = jpeg_onError;
    err.pub.emit_message = jpeg_onMessage;
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kMaxJpegMemory;
    progress.progress_monitor = jpeg_onProgress;
    cinfo.progress = &progress;
  }
  ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
  [[noreturn]] void fail() const { throw Error(format("JPEG error #%d (%s)", err.code, err.message)); }
};

// The orientation of the first Exif segment and the ICC profile of the APP2 segments.
void readMarkers(const jpeg_decompress_struct& cinfo, DecodedImage& image) {
  std::vector<std::span<const uint8_t>> app2;
  bool exifSeen = false;
  for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
    std::span<const uint8_t> payload(m->data, m->data_length);
    if (m->marker == JPEG_APP0 + 2) app2.push_back(payload);
    if (m->marker == JPEG_APP0 + 1 && !exifSeen && payload.size() >= 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
      exifSeen = true;
      image.orientation = exifOrientation(payload);
    }
  }
  image.iccProfile = jpegIccProfile(app2);
}

// CMYK as stored to ink amounts (0 is no ink): Adobe writers store 255 minus the ink.
void cmykToInks(Bitmap& bitmap, bool adobeInverted) {
  if (!adobeInverted) return;
  for (int y = 0; y < bitmap.height(); ++y) {
    uint8_t* p = bitmap.scanLine(y);
    for (size_t i = 0; i < static_cast<size_t>(bitmap.width()) * 4; ++i) p[i] = static_cast<uint8_t>(255 - p[i]);
  }
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext& context) {
  if (data.size() < 2) throw Error(format("JPEG error #%d (%s)", JERR_INPUT_EMPTY, "Empty input file"));
  Decompressor d;
  if (!startDecompress(&d.cinfo, &d.err, data.data(), data.size())) d.fail();
  checkImageSize(d.cinfo.output_width, d.cinfo.output_height);
  if (!beginOutput(&d.cinfo, &d.err)) d.fail();
  int bpp = d.cinfo.out_color_components == 1 ? 8 : d.cinfo.out_color_components == 3 ? 24 : 32;
  if (d.cinfo.out_color_components != 1 && d.cinfo.out_color_components != 3 && d.cinfo.out_color_components != 4)
    throw Error("JPEG image has an unsupported number of components");

  DecodedImage image;
  image.kind = DecodedKind::kJpeg;
  readMarkers(d.cinfo, image);
  // Every row is written by readRows (or the decode fails), so the pixels are not zero-filled.
  image.bitmap.resetForOverwrite(static_cast<int>(d.cinfo.output_width), static_cast<int>(d.cinfo.output_height),
                                 bpp);
  if (bpp == 8) image.bitmap.setGreyPalette();
  std::vector<uint8_t*> rows(d.cinfo.output_height);
  for (int y = 0; y < image.bitmap.height(); ++y) rows[y] = image.bitmap.scanLine(y);
  if (!readRows(&d.cinfo, &d.err, rows.data())) d.fail();
  if (bpp == 32) {
    cmykToInks(image.bitmap, d.cinfo.saw_Adobe_marker);
    if (context.keepCmykInks && !image.iccProfile.empty())
      image.cmykInks = true;
    else
      cmykInksToBgra(image.bitmap);
  }
  return image;
}

}  // namespace

void cmykInksToBgra(Bitmap& bitmap) {
  for (int y = 0; y < bitmap.height(); ++y) {
    uint8_t* p = bitmap.scanLine(y);
    for (int x = 0; x < bitmap.width(); ++x, p += 4) {
      // Each colour is what the ink leaves of white, times what black leaves.
      unsigned c = 255u - p[0], m = 255u - p[1], ye = 255u - p[2], k = 255u - p[3];
      p[2] = static_cast<uint8_t>((c * k + 127) / 255);
      p[1] = static_cast<uint8_t>((m * k + 127) / 255);
      p[0] = static_cast<uint8_t>((ye * k + 127) / 255);
      p[3] = 255;
    }
  }
}

const CodecDescriptor kJpegCodec{"JPG images", &decode};

}  // namespace brevane::codecs
