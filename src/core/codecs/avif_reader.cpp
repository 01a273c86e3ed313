// AVIF reader on libavif: the primary image or the first frame of a sequence, 8 to 12 bits
// reduced to 8, alpha unpremultiplied; rotation and mirror reported as an orientation.
#include <avif/avif.h>

#include <memory>
#include <new>

#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/orientation.h"
#include "codecs/pixel_rows.h"

namespace brevane::codecs {
namespace {

// libavif's own limits, checked while the container is parsed and again by the AV1 decoder.
constexpr uint32_t kMaxSide = 65535;
// A sequence's sample table is read whole at parse time even though one frame is decoded.
constexpr uint32_t kMaxFrames = 100000;

struct DecoderDeleter {
  void operator()(avifDecoder* d) const { avifDecoderDestroy(d); }
};

[[noreturn]] void fail(avifResult result, const avifDecoder& decoder) {
  if (result == AVIF_RESULT_OUT_OF_MEMORY) throw std::bad_alloc();
  std::string message = std::string("AVIF image is not valid (") + avifResultToString(result);
  if (decoder.diag.error[0]) message += std::string(": ") + decoder.diag.error;
  throw Error(message + ")");
}

int frameOrientation(const avifImage& image) {
  int turns = (image.transformFlags & AVIF_TRANSFORM_IROT) ? image.irot.angle & 3 : 0;
  Mirror mirror = Mirror::kNone;
  if (image.transformFlags & AVIF_TRANSFORM_IMIR) mirror = image.imir.mode ? Mirror::kLeftRight : Mirror::kTopBottom;
  return orientationOf(turns, mirror);
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  std::unique_ptr<avifDecoder, DecoderDeleter> decoder(avifDecoderCreate());
  if (!decoder) throw std::bad_alloc();
  avifDecoder& d = *decoder;
  d.maxThreads = 1;  // files run in parallel on the job's workers
  d.imageSizeLimit = static_cast<uint32_t>(kMaxImagePixels);
  d.imageDimensionLimit = kMaxSide;
  d.imageCountLimit = kMaxFrames;
  // Files of early encoders lack properties that strict parsing requires; none of them is
  // needed to decode the pixels safely.
  d.strictFlags = AVIF_STRICT_DISABLED;
  d.ignoreExif = AVIF_TRUE;
  d.ignoreXMP = AVIF_TRUE;

  avifResult r = avifDecoderSetIOMemory(&d, data.data(), data.size());
  if (r == AVIF_RESULT_OK) r = avifDecoderParse(&d);
  if (r != AVIF_RESULT_OK) fail(r, d);
  checkImageSize(d.image->width, d.image->height);
  r = avifDecoderNextImage(&d);
  if (r != AVIF_RESULT_OK) fail(r, d);
  const avifImage& frame = *d.image;

  DecodedImage image;
  image.kind = DecodedKind::kBitmap;
  const bool alpha = frame.alphaPlane != nullptr;
  image.bitmap = decodeTarget(frame.width, frame.height, alpha);
  avifRGBImage rgb;
  avifRGBImageSetDefaults(&rgb, &frame);
  rgb.depth = 8;
  rgb.format = alpha ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_BGR;
  rgb.alphaPremultiplied = AVIF_FALSE;
  rgb.pixels = image.bitmap.data();
  rgb.rowBytes = static_cast<uint32_t>(image.bitmap.stride());
  r = avifImageYUVToRGB(&frame, &rgb);
  if (r != AVIF_RESULT_OK) fail(r, d);
  image.orientation = frameOrientation(frame);
  if (frame.icc.size > 0) image.iccProfile.assign(frame.icc.data, frame.icc.data + frame.icc.size);
  return image;
}

}  // namespace

const CodecDescriptor kAvifCodec{"", &decode};

}  // namespace brevane::codecs
