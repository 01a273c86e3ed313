// Dr. Halo reader (not yet implemented: every file fails with a clear message).
#include "base/error.h"
#include "engine/codecs/codec.h"

namespace brevane::codecs {
namespace {

DecodedImage decode(std::span<const uint8_t>, const DecodeContext&) {
  throw Error("Dr. Halo files are not supported yet");
}

}  // namespace

const CodecDescriptor kCutCodec{"Dr. Halo images", &decode};

}  // namespace brevane::codecs
