// JPEG 2000 writer (not yet implemented).
#include "base/error.h"
#include "engine/codecs/encoders.h"

namespace brevane::codecs {

std::vector<uint8_t> encodeJpeg2000(const Bitmap&, int, bool) { throw Error("JPEG 2000 output is not supported yet"); }

}  // namespace brevane::codecs
