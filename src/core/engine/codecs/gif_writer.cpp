// GIF writer (not yet implemented).
#include "base/error.h"
#include "engine/codecs/encoders.h"

namespace brevane::codecs {

std::vector<uint8_t> encodeGif(const Bitmap&) { throw Error("GIF output is not supported yet"); }

}  // namespace brevane::codecs
