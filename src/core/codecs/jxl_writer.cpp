// JPEG XL writer on libjxl: lossy at a quality or lossless with every pixel kept exactly, 8-bit
// sRGB, alpha from the alpha plane, Exif in the container's Exif box.
#include <jxl/encode.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "base/error.h"
#include "codecs/encoders.h"
#include "codecs/pixel_rows.h"

namespace brevane::codecs {
namespace {

struct EncoderDeleter {
  void operator()(JxlEncoder* e) const { JxlEncoderDestroy(e); }
};

[[noreturn]] void fail(JxlEncoder* enc, const char* step) {
  JxlEncoderError e = JxlEncoderGetError(enc);
  if (e == JXL_ENC_ERR_OOM) throw std::bad_alloc();
  throw Error(format("JPEG XL image encoding failed (%s, error %d)", step, static_cast<int>(e)));
}

void check(JxlEncoder* enc, JxlEncoderStatus status, const char* step) {
  if (status != JXL_ENC_SUCCESS) fail(enc, step);
}

// The Exif box: a 4-byte offset to the TIFF header (0, it follows at once), then the structure.
std::vector<uint8_t> exifBox(std::span<const uint8_t> tiff) {
  std::vector<uint8_t> box(4, 0);
  box.insert(box.end(), tiff.begin(), tiff.end());
  return box;
}

}  // namespace

float jxlDistance(int quality) {
  const int q = std::clamp(quality, 1, 100);
  double d = q >= 30 ? 0.1 + (100 - q) * 0.09 : 6.4 + std::pow(2.5, (30 - q) / 5.0) / 6.25;
  return static_cast<float>(std::min(d, 25.0));
}

std::vector<uint8_t> encodeJxl(const Bitmap& image, const Bitmap* alpha, const JxlWriteOptions& options,
                               std::span<const uint8_t> exif) {
  std::unique_ptr<JxlEncoder, EncoderDeleter> encoder(JxlEncoderCreate(nullptr));
  if (!encoder) throw std::bad_alloc();
  JxlEncoder* enc = encoder.get();
  if (!exif.empty()) check(enc, JxlEncoderUseBoxes(enc), "boxes");

  JxlBasicInfo info;
  JxlEncoderInitBasicInfo(&info);
  info.xsize = static_cast<uint32_t>(image.width());
  info.ysize = static_cast<uint32_t>(image.height());
  info.bits_per_sample = 8;
  info.num_color_channels = 3;
  info.num_extra_channels = alpha ? 1 : 0;
  info.alpha_bits = alpha ? 8 : 0;
  info.uses_original_profile = options.lossless ? JXL_TRUE : JXL_FALSE;  // lossless needs the RGB samples
  check(enc, JxlEncoderSetBasicInfo(enc, &info), "header");
  if (alpha) {
    JxlExtraChannelInfo channel;
    JxlEncoderInitExtraChannelInfo(JXL_CHANNEL_ALPHA, &channel);
    check(enc, JxlEncoderSetExtraChannelInfo(enc, 0, &channel), "alpha channel");
  }
  JxlColorEncoding colour;
  JxlColorEncodingSetToSRGB(&colour, JXL_FALSE);
  check(enc, JxlEncoderSetColorEncoding(enc, &colour), "colour encoding");

  JxlEncoderFrameSettings* frame = JxlEncoderFrameSettingsCreate(enc, nullptr);
  if (!frame) throw std::bad_alloc();
  if (options.lossless) {
    check(enc, JxlEncoderSetFrameLossless(frame, JXL_TRUE), "lossless");
  } else {
    check(enc, JxlEncoderSetFrameDistance(frame, jxlDistance(options.quality)), "distance");
  }
  {
    const std::vector<uint8_t> packed = packPixels(image, alpha, ChannelOrder::kRgb);
    JxlPixelFormat format{alpha ? 4u : 3u, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    check(enc, JxlEncoderAddImageFrame(frame, &format, packed.data(), packed.size()), "image");
  }
  if (!exif.empty()) {
    const std::vector<uint8_t> box = exifBox(exif);
    check(enc, JxlEncoderAddBox(enc, "Exif", box.data(), box.size(), JXL_FALSE), "Exif box");
  }
  JxlEncoderCloseInput(enc);

  std::vector<uint8_t> out(64 * 1024);
  size_t used = 0;
  for (;;) {
    uint8_t* next = out.data() + used;
    size_t avail = out.size() - used;
    JxlEncoderStatus status = JxlEncoderProcessOutput(enc, &next, &avail);
    used = static_cast<size_t>(next - out.data());
    if (status == JXL_ENC_SUCCESS) break;
    if (status != JXL_ENC_NEED_MORE_OUTPUT) fail(enc, "output");
    out.resize(out.size() * 2);
  }
  out.resize(used);
  return out;
}

}  // namespace brevane::codecs
