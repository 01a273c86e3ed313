// Photoshop reader (not yet implemented: every file fails with a clear message).
#include "base/error.h"
#include "engine/codecs/codec.h"

namespace brevane::codecs {
namespace {

DecodedImage decode(std::span<const uint8_t>, const DecodeContext&) {
  throw Error("Photoshop files are not supported yet");
}

}  // namespace

const CodecDescriptor kPsdCodec{"Photoshop images", &decode};

}  // namespace brevane::codecs
