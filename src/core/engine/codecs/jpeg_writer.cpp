// JPEG writer (not yet implemented).
#include "base/error.h"
#include "engine/codecs/encoders.h"

namespace brevane::codecs {

std::vector<uint8_t> encodeJpeg(const Bitmap&, int, bool) { throw Error("JPEG output is not supported yet"); }

}  // namespace brevane::codecs
