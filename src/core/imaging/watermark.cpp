// Placeholder watermark until overlays land.
#include "imaging/watermark.h"

#include "base/error.h"

namespace brevane::imaging {

void drawWatermark(Bitmap&, const std::string&, int) { throw Error("Watermark is not available yet"); }

}  // namespace brevane::imaging
