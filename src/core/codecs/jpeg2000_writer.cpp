// JPEG 2000 writer over OpenJPEG: a JP2 file, one quality layer by rate, 6 resolutions,
// the reversible 5-3 wavelet, red, green, blue and alpha components.
#include <openjpeg.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "base/error.h"
#include "base/platform.h"
#include "codecs/encoders.h"
#include "codecs/icc_profile.h"
#include "codecs/jpeg2000_rate.h"

namespace brevane::codecs {

float jpeg2000Rate(int quality, int components, int width, int height) {
  quality = std::clamp(quality, 1, 100);
  const int32_t n = static_cast<int32_t>(static_cast<int64_t>(width) * height * components);
  const int square = (115 - quality) * (115 - quality);
  const float f = static_cast<float>(100.0 / square);
  const float e = static_cast<float>(static_cast<double>(n) * f + 550 + 142 * (components - 1));
  return static_cast<float>(1.0 / (static_cast<double>(e) / n));
}

namespace {

constexpr const char* kCreateFailed = "Failed to create JPEG 2000 image struct for saving";
constexpr const char* kEncodeFailed = "JPEG 2000 image encoding failed";

// A seekable in-memory output: the JP2 writer goes back to fill in box lengths.
struct MemoryStream {
  std::vector<uint8_t> bytes;
  size_t pos = 0;
  bool outOfMemory = false;
};

extern "C" OPJ_SIZE_T streamWrite(void* buffer, OPJ_SIZE_T size, void* user) {
  auto* s = static_cast<MemoryStream*>(user);
  try {
    if (s->pos + size > s->bytes.size()) s->bytes.resize(s->pos + size);
  } catch (const std::bad_alloc&) {
    s->outOfMemory = true;  // no exception may cross the library
    return static_cast<OPJ_SIZE_T>(-1);
  }
  std::memcpy(s->bytes.data() + s->pos, buffer, size);
  s->pos += size;
  return size;
}

extern "C" OPJ_OFF_T streamSkip(OPJ_OFF_T delta, void* user) {
  auto* s = static_cast<MemoryStream*>(user);
  if (delta < 0 && static_cast<size_t>(-delta) > s->pos) return -1;
  s->pos = static_cast<size_t>(static_cast<OPJ_OFF_T>(s->pos) + delta);
  return delta;
}

extern "C" OPJ_BOOL streamSeek(OPJ_OFF_T offset, void* user) {
  auto* s = static_cast<MemoryStream*>(user);
  if (offset < 0) return OPJ_FALSE;
  s->pos = static_cast<size_t>(offset);
  return OPJ_TRUE;
}

extern "C" void quietMessage(const char*, void*) {}

// Owns the OpenJPEG objects of one encoding.
struct Encoding {
  opj_image_t* image = nullptr;
  opj_codec_t* codec = nullptr;
  opj_stream_t* stream = nullptr;
  ~Encoding() {
    if (stream) opj_stream_destroy(stream);
    if (codec) opj_destroy_codec(codec);
    if (image) opj_image_destroy(image);
  }
};

}  // namespace

std::vector<uint8_t> encodeJpeg2000(const Bitmap& image, int quality, bool lossless, std::span<const uint8_t> icc) {
  if (image.empty()) throw Error("Cannot write an empty image");
  Bitmap converted;
  const Bitmap* src = &trueColour(image, converted);
  const int components = src->bitsPerPixel() == 32 ? 4 : 3;
  const int w = src->width(), h = src->height(), step = components;

  opj_cparameters_t params;
  opj_set_default_encoder_parameters(&params);
  params.tcp_numlayers = 1;
  params.tcp_rates[0] = lossless ? 0.0f : jpeg2000Rate(quality, components, w, h);
  params.cp_disto_alloc = 1;
  // Six resolution levels need at least 32 pixels on each side; OpenJPEG refuses smaller
  // images outright, so they get as many levels as their size allows.
  params.numresolution = 6;
  while (params.numresolution > 1 && (1 << (params.numresolution - 1)) > std::min(w, h)) --params.numresolution;
  params.irreversible = 0;

  opj_image_cmptparm_t parts[4];
  std::memset(parts, 0, sizeof parts);
  for (int c = 0; c < components; ++c) {
    parts[c].dx = parts[c].dy = 1;
    parts[c].w = static_cast<OPJ_UINT32>(w);
    parts[c].h = static_cast<OPJ_UINT32>(h);
    parts[c].prec = 8;
    parts[c].sgnd = 0;
  }
  Encoding enc;
  enc.image = opj_image_create(static_cast<OPJ_UINT32>(components), parts, OPJ_CLRSPC_SRGB);
  if (!enc.image) throw Error(kCreateFailed);
  enc.image->x0 = enc.image->y0 = 0;
  enc.image->x1 = static_cast<OPJ_UINT32>(w);
  enc.image->y1 = static_cast<OPJ_UINT32>(h);
  if (components == 4) enc.image->comps[3].alpha = 1;  // described as opacity in the JP2 header

  // Component 0 red (third byte), 1 green, 2 blue (first byte), 3 alpha (fourth byte).
  static constexpr int kByteOf[4] = {2, 1, 0, 3};
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = src->scanLine(y);
    for (int c = 0; c < components; ++c) {
      OPJ_INT32* d = enc.image->comps[c].data + static_cast<size_t>(y) * w;
      const uint8_t* p = s + kByteOf[c];
      for (int x = 0; x < w; ++x) d[x] = p[static_cast<size_t>(x) * step];
    }
  }

  enc.codec = opj_create_compress(OPJ_CODEC_JP2);
  if (!enc.codec) throw Error(kEncodeFailed);
  opj_set_error_handler(enc.codec, quietMessage, nullptr);
  opj_set_warning_handler(enc.codec, quietMessage, nullptr);
  opj_set_info_handler(enc.codec, quietMessage, nullptr);
  if (!opj_setup_encoder(enc.codec, &params, enc.image)) throw Error(kEncodeFailed);
  opj_codec_set_threads(enc.codec, cpuCount());  // only one JP2 file is encoded at a time

  MemoryStream out;
  out.bytes.reserve(static_cast<size_t>(w) * h * components / 4 + 1024);
  enc.stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_FALSE);
  if (!enc.stream) throw std::bad_alloc();
  opj_stream_set_user_data(enc.stream, &out, nullptr);
  opj_stream_set_write_function(enc.stream, streamWrite);
  opj_stream_set_skip_function(enc.stream, streamSkip);
  opj_stream_set_seek_function(enc.stream, streamSeek);

  bool ok = opj_start_compress(enc.codec, enc.image, enc.stream) && opj_encode(enc.codec, enc.stream) &&
            opj_end_compress(enc.codec, enc.stream);
  if (out.outOfMemory) throw std::bad_alloc();
  if (!ok) throw Error(kEncodeFailed);
  // With a profile the colr box holds it instead of the sRGB enumeration; OpenJPEG 2.5 marks
  // the box for a profile but does not write one, so the box is replaced afterwards.
  if (!icc.empty()) return jp2WithIccProfile(out.bytes, icc);
  return std::move(out.bytes);
}

}  // namespace brevane::codecs
