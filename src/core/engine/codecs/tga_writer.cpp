// Targa writer (not yet implemented).
#include "base/error.h"
#include "engine/codecs/encoders.h"

namespace brevane::codecs {

std::vector<uint8_t> encodeTga(const Bitmap&, const Bitmap*) { throw Error("Targa output is not supported yet"); }

}  // namespace brevane::codecs
