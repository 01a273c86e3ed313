// JPEG XL reader on libjxl: the first frame (animations coalesced), any bit depth reduced to
// 8, straight alpha, pixels as stored with the codestream's orientation reported.
#include <jxl/decode.h>

#include <memory>
#include <new>

#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/pixel_rows.h"

namespace brevane::codecs {
namespace {

struct DecoderDeleter {
  void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};

[[noreturn]] void fail(const char* what) { throw Error(std::string("JPEG XL image is not valid (") + what + ")"); }

void check(JxlDecoderStatus status, const char* what) {
  if (status != JXL_DEC_SUCCESS) fail(what);
}

bool isSrgb(const JxlColorEncoding& c) {
  return c.white_point == JXL_WHITE_POINT_D65 && c.transfer_function == JXL_TRANSFER_FUNCTION_SRGB &&
         (c.color_space == JXL_COLOR_SPACE_GRAY ||
          (c.color_space == JXL_COLOR_SPACE_RGB && c.primaries == JXL_PRIMARIES_SRGB));
}

// Chooses the colour space of the decoded pixels and returns their ICC profile, or nothing when
// they are sRGB. Images coded in the codec's own colour space (XYB) are asked for sRGB; the
// others come out in the space they were stored in.
std::vector<uint8_t> settleColour(JxlDecoder* dec, const JxlBasicInfo& info) {
  JxlColorEncoding encoding;
  if (!info.uses_original_profile) {
    encoding = {};
    encoding.color_space = info.num_color_channels == 1 ? JXL_COLOR_SPACE_GRAY : JXL_COLOR_SPACE_RGB;
    encoding.white_point = JXL_WHITE_POINT_D65;
    encoding.primaries = JXL_PRIMARIES_SRGB;
    encoding.transfer_function = JXL_TRANSFER_FUNCTION_SRGB;
    encoding.rendering_intent = JXL_RENDERING_INTENT_RELATIVE;
    check(JxlDecoderSetPreferredColorProfile(dec, &encoding), "colour profile");
  }
  if (JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &encoding) == JXL_DEC_SUCCESS &&
      isSrgb(encoding))
    return {};
  size_t size = 0;
  if (JxlDecoderGetICCProfileSize(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) != JXL_DEC_SUCCESS || size == 0)
    return {};
  std::vector<uint8_t> icc(size);
  check(JxlDecoderGetColorAsICCProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, icc.data(), icc.size()),
        "colour profile");
  return icc;
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  std::unique_ptr<JxlDecoder, DecoderDeleter> decoder(JxlDecoderCreate(nullptr));
  if (!decoder) throw std::bad_alloc();
  JxlDecoder* dec = decoder.get();
  check(JxlDecoderSubscribeEvents(dec, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE), "events");
  check(JxlDecoderSetKeepOrientation(dec, JXL_TRUE), "orientation");
  check(JxlDecoderSetUnpremultiplyAlpha(dec, JXL_TRUE), "alpha");
  check(JxlDecoderSetInput(dec, data.data(), data.size()), "input");
  JxlDecoderCloseInput(dec);

  DecodedImage image;
  image.kind = DecodedKind::kBitmap;
  JxlBasicInfo info{};
  JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 4};
  for (;;) {
    switch (JxlDecoderProcessInput(dec)) {
      case JXL_DEC_BASIC_INFO: {
        check(JxlDecoderGetBasicInfo(dec, &info), "header");
        const bool alpha = info.alpha_bits > 0;
        image.bitmap = decodeTarget(info.xsize, info.ysize, alpha);
        format.num_channels = alpha ? 4 : 3;
        image.orientation = info.orientation >= 1 && info.orientation <= 8 ? static_cast<int>(info.orientation) : 1;
        break;
      }
      case JXL_DEC_COLOR_ENCODING: image.iccProfile = settleColour(dec, info); break;
      case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
        size_t needed = 0;
        check(JxlDecoderImageOutBufferSize(dec, &format, &needed), "image size");
        if (image.bitmap.empty() || needed > image.bitmap.byteSize()) fail("image size");
        check(JxlDecoderSetImageOutBuffer(dec, &format, image.bitmap.data(), image.bitmap.byteSize()), "image buffer");
        break;
      }
      case JXL_DEC_FULL_IMAGE:  // the first frame is all that is read
        if (image.bitmap.empty()) fail("no image");
        swapRedBlue(image.bitmap);
        return image;
      case JXL_DEC_NEED_MORE_INPUT: fail("file is truncated");
      case JXL_DEC_SUCCESS: fail("no image");
      default: fail("bitstream error");
    }
  }
}

}  // namespace

const CodecDescriptor kJxlCodec{"", &decode};

}  // namespace brevane::codecs
