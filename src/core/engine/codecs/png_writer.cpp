// PNG writer (not yet implemented).
#include "base/error.h"
#include "engine/codecs/encoders.h"

namespace brevane::codecs {

std::vector<uint8_t> encodePng(const Bitmap&, const Bitmap*, const PngWriteOptions&) { throw Error("PNG output is not supported yet"); }

}  // namespace brevane::codecs
