// JPEG 2000 reader on OpenJPEG 2: JP2 files and raw codestreams to 8, 24 or 32-bit bitmaps.
#include <openjpeg.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/icc_profile.h"

namespace brevane::codecs {
namespace {

constexpr const char* kUnknownType = "Unknown JPEG 2000 file type";
constexpr const char* kDecodingFailed = "JPEG 2000 image decoding failed";
// Samples OpenJPEG may hold for all components together (each sample is a 32-bit integer).
constexpr uint64_t kMaxTotalSamples = kMaxImagePixels * 2;

struct MemoryInput {
  const uint8_t* data;
  OPJ_SIZE_T size;
  OPJ_SIZE_T pos;
};

extern "C" OPJ_SIZE_T j2k_onRead(void* buffer, OPJ_SIZE_T n, void* user) {
  auto* in = static_cast<MemoryInput*>(user);
  if (in->pos >= in->size) return static_cast<OPJ_SIZE_T>(-1);
  OPJ_SIZE_T count = std::min(n, in->size - in->pos);
  std::memcpy(buffer, in->data + in->pos, count);
  in->pos += count;
  return count;
}

extern "C" OPJ_OFF_T j2k_onSkip(OPJ_OFF_T n, void* user) {
  auto* in = static_cast<MemoryInput*>(user);
  if (n < 0) {
    OPJ_SIZE_T back = static_cast<OPJ_SIZE_T>(-n);
    if (back > in->pos) return -1;
    in->pos -= back;
    return n;
  }
  OPJ_SIZE_T count = std::min(static_cast<OPJ_SIZE_T>(n), in->size - in->pos);
  in->pos += count;
  return static_cast<OPJ_OFF_T>(count);
}

extern "C" OPJ_BOOL j2k_onSeek(OPJ_OFF_T n, void* user) {
  auto* in = static_cast<MemoryInput*>(user);
  if (n < 0 || static_cast<OPJ_SIZE_T>(n) > in->size) return OPJ_FALSE;
  in->pos = static_cast<OPJ_SIZE_T>(n);
  return OPJ_TRUE;
}

extern "C" void j2k_onMessage(const char*, void*) {}

struct Decoder {
  opj_stream_t* stream = nullptr;
  opj_codec_t* codec = nullptr;
  opj_image_t* image = nullptr;
  ~Decoder() {
    if (image) opj_image_destroy(image);
    if (codec) opj_destroy_codec(codec);
    if (stream) opj_stream_destroy(stream);
  }
};

// Component types after the file's channel definitions are applied.
enum class ComponentType { kUnspecified, kRed, kGreen, kBlue, kLuminance, kCb, kCr, kAlpha };

ComponentType componentType(const opj_image_t& image, unsigned index) {
  if (image.comps[index].alpha) return ComponentType::kAlpha;
  switch (image.color_space) {
    case OPJ_CLRSPC_SRGB:
      if (index == 0) return ComponentType::kRed;
      if (index == 1) return ComponentType::kGreen;
      if (index == 2) return ComponentType::kBlue;
      break;
    case OPJ_CLRSPC_GRAY:
      return ComponentType::kLuminance;
    case OPJ_CLRSPC_SYCC:
    case OPJ_CLRSPC_EYCC:
      if (index == 0) return ComponentType::kLuminance;
      if (index == 1) return ComponentType::kCb;
      if (index == 2) return ComponentType::kCr;
      break;
    default:
      break;
  }
  return ComponentType::kUnspecified;
}

bool isYcc(const opj_image_t& image) {
  return image.color_space == OPJ_CLRSPC_SYCC || image.color_space == OPJ_CLRSPC_EYCC;
}

// Byte position of a component within a pixel (blue 0, green 1, red 2, alpha 3).
int bytePosition(const opj_image_t& image, unsigned index) {
  const unsigned count = image.numcomps;
  switch (componentType(image, index)) {
    case ComponentType::kRed: return 2;
    case ComponentType::kGreen: return 1;
    case ComponentType::kBlue: return 0;
    case ComponentType::kLuminance: return isYcc(image) ? 2 : 0;
    case ComponentType::kCb: return 1;
    case ComponentType::kCr: return 0;
    case ComponentType::kAlpha: return 3;
    case ComponentType::kUnspecified: break;
  }
  // Four components read as red, green, blue, alpha; the plain reverse order would put the
  // first colour into the alpha byte.
  if (count == 4) {
    static const int kRgba[4] = {2, 1, 0, 3};
    return kRgba[index];
  }
  return static_cast<int>(count) - 1 - static_cast<int>(index);
}

uint8_t clampByte(double v) {
  double r = std::nearbyint(v);
  return static_cast<uint8_t>(r < 0 ? 0 : r > 255 ? 255 : r);
}

// In-place conversion of Y (byte 2), Cb (byte 1), Cr (byte 0) to blue, green, red.
void yccToRgb(Bitmap& bmp, int bytesPerPixel) {
  for (int y = 0; y < bmp.height(); ++y) {
    uint8_t* p = bmp.scanLine(y);
    for (int x = 0; x < bmp.width(); ++x, p += bytesPerPixel) {
      double Y = p[2], cb = p[1] - 128.0, cr = p[0] - 128.0;
      p[2] = clampByte(Y + 1.402 * cr);
      p[1] = clampByte(Y - 0.34414 * cb - 0.71414 * cr);
      p[0] = clampByte(Y + 1.772 * cb);
    }
  }
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  static const uint8_t kJp2Signature[8] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50, 0x20, 0x20};
  static const uint8_t kCodestream[4] = {0xFF, 0x4F, 0xFF, 0x51};
  if (data.size() < 8) throw Error(kUnknownType);
  OPJ_CODEC_FORMAT format;
  if (std::memcmp(data.data(), kJp2Signature, 8) == 0)
    format = OPJ_CODEC_JP2;
  else if (std::memcmp(data.data(), kCodestream, 4) == 0)
    format = OPJ_CODEC_J2K;
  else
    throw Error(kUnknownType);

  MemoryInput input{data.data(), data.size(), 0};
  Decoder d;
  d.stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
  if (!d.stream) throw std::bad_alloc();
  opj_stream_set_user_data(d.stream, &input, nullptr);
  opj_stream_set_user_data_length(d.stream, data.size());
  opj_stream_set_read_function(d.stream, j2k_onRead);
  opj_stream_set_skip_function(d.stream, j2k_onSkip);
  opj_stream_set_seek_function(d.stream, j2k_onSeek);
  d.codec = opj_create_decompress(format);
  if (!d.codec) throw std::bad_alloc();
  opj_set_error_handler(d.codec, j2k_onMessage, nullptr);
  opj_set_warning_handler(d.codec, j2k_onMessage, nullptr);
  opj_set_info_handler(d.codec, j2k_onMessage, nullptr);
  opj_dparameters_t parameters;
  opj_set_default_decoder_parameters(&parameters);
  if (!opj_setup_decoder(d.codec, &parameters)) throw Error(kDecodingFailed);
  if (!opj_read_header(d.stream, d.codec, &d.image) || !d.image) throw Error(kDecodingFailed);

  // Sizes as declared, checked before OpenJPEG allocates the component planes.
  const opj_image_t& header = *d.image;
  if (header.numcomps == 0 || !header.comps || header.x1 <= header.x0 || header.y1 <= header.y0)
    throw Error(kDecodingFailed);
  checkImageSize(static_cast<int64_t>(header.x1) - header.x0, static_cast<int64_t>(header.y1) - header.y0);
  uint64_t samples = 0;
  for (unsigned i = 0; i < header.numcomps; ++i) {
    const opj_image_comp_t& c = header.comps[i];
    if (c.dx == 0 || c.dy == 0) throw Error(kDecodingFailed);
    uint64_t w = (static_cast<uint64_t>(header.x1) + c.dx - 1) / c.dx - (static_cast<uint64_t>(header.x0) + c.dx - 1) / c.dx;
    uint64_t h = (static_cast<uint64_t>(header.y1) + c.dy - 1) / c.dy - (static_cast<uint64_t>(header.y0) + c.dy - 1) / c.dy;
    samples += w * h;
    if (samples > kMaxTotalSamples) throw Error("Image is too large");
  }

  if (!opj_decode(d.codec, d.stream, d.image) || !opj_end_decompress(d.codec, d.stream)) throw Error(kDecodingFailed);

  const opj_image_t& img = *d.image;
  const int width = static_cast<int>(img.x1 - img.x0), height = static_cast<int>(img.y1 - img.y0);
  const unsigned count = img.numcomps;
  const int bpp = count == 3 ? 24 : count == 4 ? 32 : 8;
  const int bytesPerPixel = bpp / 8;
  const unsigned used = bpp == 8 ? 1 : count;

  DecodedImage image;
  image.kind = DecodedKind::kBitmap;
  Bitmap& bmp = image.bitmap;
  bmp.reset(width, height, bpp);
  if (bpp == 8) bmp.setGreyPalette();

  for (unsigned i = 0; i < used; ++i) {
    const opj_image_comp_t& c = img.comps[i];
    if (!c.data || c.prec == 0 || c.prec > 31 || c.dx == 0 || c.dy == 0) throw Error(kDecodingFailed);
    const int pos = bpp == 8 ? 0 : bytePosition(img, i);
    if (pos >= bytesPerPixel) continue;
    const int64_t offset = c.sgnd ? (int64_t{1} << (c.prec - 1)) : 0;
    const int64_t max = (int64_t{1} << c.prec) - 1;
    const int dx = static_cast<int>(c.dx), dy = static_cast<int>(c.dy);
    const int cw = static_cast<int>(c.w), ch = static_cast<int>(c.h);
    for (int sy = 0; sy < ch; ++sy) {
      const int64_t y0 = static_cast<int64_t>(sy) * dy;
      if (y0 >= height) break;
      const int y1 = static_cast<int>(std::min<int64_t>(y0 + dy, height));
      for (int sx = 0; sx < cw; ++sx) {
        const int64_t x0 = static_cast<int64_t>(sx) * dx;
        if (x0 >= width) break;
        const int x1 = static_cast<int>(std::min<int64_t>(x0 + dx, width));
        int64_t v = static_cast<int64_t>(c.data[static_cast<size_t>(sy) * c.w + sx]) + offset;
        if (c.prec != 8) v = v * 255 / max;
        const uint8_t byte = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
        for (int y = static_cast<int>(y0); y < y1; ++y) {
          uint8_t* row = bmp.scanLine(y);
          for (int x = static_cast<int>(x0); x < x1; ++x) row[x * bytesPerPixel + pos] = byte;
        }
      }
    }
  }
  if (isYcc(img) && (count == 3 || count == 4)) yccToRgb(bmp, bytesPerPixel);
  if (bpp == 32) bmp.setAlphaMode(AlphaMode::kStraight);
  // The colr box's profile (OpenJPEG keeps a CIELab description there with a length of 0).
  if (img.icc_profile_buf && img.icc_profile_len > 0)
    image.iccProfile.assign(img.icc_profile_buf,
                            img.icc_profile_buf + std::min<size_t>(img.icc_profile_len, kMaxIccProfileBytes));
  return image;
}

}  // namespace

const CodecDescriptor kJpeg2000Codec{"", &decode};

}  // namespace brevane::codecs
