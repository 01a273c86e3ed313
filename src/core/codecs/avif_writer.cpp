// AVIF writer on libavif: 8-bit sRGB, 4:2:0 colour at a quality, alpha from the alpha plane kept
// losslessly, at the AV1 encoder's speed; Exif in the file's Exif item.
#include <avif/avif.h>

#include <algorithm>
#include <memory>
#include <new>

#include "base/error.h"
#include "codecs/encoders.h"
#include "codecs/pixel_rows.h"

namespace brevane::codecs {
namespace {

struct ImageDeleter {
  void operator()(avifImage* i) const { avifImageDestroy(i); }
};
struct EncoderDeleter {
  void operator()(avifEncoder* e) const { avifEncoderDestroy(e); }
};

void check(avifResult r, const avifEncoder* encoder = nullptr) {
  if (r == AVIF_RESULT_OK) return;
  if (r == AVIF_RESULT_OUT_OF_MEMORY) throw std::bad_alloc();
  std::string message = std::string("AVIF image encoding failed (") + avifResultToString(r);
  if (encoder && encoder->diag.error[0]) message += std::string(": ") + encoder->diag.error;
  throw Error(message + ")");
}

}  // namespace

// Quality 1-100 onto the AV1 quantizer 63-0 (100 is the finest quantizer, not lossless).
int avifQuantizer(int quality) {
  const int q = std::clamp(quality, 1, 100);
  return ((100 - q) * AVIF_QUANTIZER_WORST_QUALITY + 50) / 100;
}

std::vector<uint8_t> encodeAvif(const Bitmap& image, const Bitmap* alpha, const AvifWriteOptions& options,
                                std::span<const uint8_t> exif) {
  std::unique_ptr<avifImage, ImageDeleter> img(avifImageCreate(static_cast<uint32_t>(image.width()),
                                                               static_cast<uint32_t>(image.height()), 8,
                                                               AVIF_PIXEL_FORMAT_YUV420));
  if (!img) throw std::bad_alloc();
  img->yuvRange = AVIF_RANGE_FULL;
  img->colorPrimaries = AVIF_COLOR_PRIMARIES_BT709;
  img->transferCharacteristics = AVIF_TRANSFER_CHARACTERISTICS_SRGB;
  img->matrixCoefficients = AVIF_MATRIX_COEFFICIENTS_BT601;
  {
    std::vector<uint8_t> packed = packPixels(image, alpha, ChannelOrder::kBgr);
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, img.get());
    rgb.depth = 8;
    rgb.format = alpha ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_BGR;
    rgb.pixels = packed.data();
    rgb.rowBytes = static_cast<uint32_t>(image.width()) * (alpha ? 4u : 3u);
    check(avifImageRGBToYUV(img.get(), &rgb));
  }
  if (!exif.empty()) avifImageSetMetadataExif(img.get(), exif.data(), exif.size());

  std::unique_ptr<avifEncoder, EncoderDeleter> encoder(avifEncoderCreate());
  if (!encoder) throw std::bad_alloc();
  encoder->maxThreads = 1;  // files run in parallel on the job's workers
  encoder->speed = std::clamp(options.speed, AVIF_SPEED_SLOWEST, AVIF_SPEED_FASTEST);
  encoder->minQuantizer = encoder->maxQuantizer = avifQuantizer(options.quality);
  encoder->minQuantizerAlpha = encoder->maxQuantizerAlpha = AVIF_QUANTIZER_LOSSLESS;
  avifRWData output = AVIF_DATA_EMPTY;
  avifResult r = avifEncoderWrite(encoder.get(), img.get(), &output);
  std::vector<uint8_t> bytes;
  if (r == AVIF_RESULT_OK) bytes.assign(output.data, output.data + output.size);
  avifRWDataFree(&output);
  check(r, encoder.get());
  return bytes;
}

}  // namespace brevane::codecs
