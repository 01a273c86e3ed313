// Placeholder text stamp until font rendering lands.
#include "imaging/text_stamp.h"

#include "base/error.h"

namespace brevane::imaging {

void stampText(Bitmap&, bool, const std::string&, const TConversionSettings&) {
  throw Error("Text stamp is not available yet");
}

}  // namespace brevane::imaging
