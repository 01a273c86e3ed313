// Portable map reader (not yet implemented: every file fails with a clear message).
#include "base/error.h"
#include "engine/codecs/codec.h"

namespace brevane::codecs {
namespace {

DecodedImage decode(std::span<const uint8_t>, const DecodeContext&) {
  throw Error("Portable map files are not supported yet");
}

}  // namespace

const CodecDescriptor kPnmCodec{"Portable map images", &decode};

}  // namespace brevane::codecs
