// Kodak Photo CD reader (not yet implemented: every file fails with a clear message).
#include "base/error.h"
#include "engine/codecs/codec.h"

namespace brevane::codecs {
namespace {

DecodedImage decode(std::span<const uint8_t>, const DecodeContext&) {
  throw Error("Kodak Photo CD files are not supported yet");
}

}  // namespace

const CodecDescriptor kPcdCodec{"Kodak Photo-CD images", &decode};

}  // namespace brevane::codecs
