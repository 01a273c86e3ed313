// Placeholder resize step: leaves the image as it is until the resize policy lands.
#include "imaging/resize.h"

namespace brevane::imaging {

void resizeStep(Bitmap&, Bitmap*, const TConversionSettings&, const std::string&, const std::string&, ErrorLog&) {}

}  // namespace brevane::imaging
