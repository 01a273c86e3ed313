// Placeholder resize step: leaves the image as it is until the resize policy lands.
#include "imaging/resize.h"

#include <algorithm>
#include <cmath>

namespace brevane::imaging {

Size Fit(int w, int h, int tw, int th, bool enlarge) {
  if (w <= tw && h <= th && !enlarge) return {w, h};
  if (w < 1 || h < 1) return {tw, th};
  double r = static_cast<double>(w) / h;
  auto round = [](double v) { return static_cast<int>(std::nearbyint(v)); };
  Size out;
  if (w > h) {
    out = {tw, round(tw / r)};
    if (out.height > th) out = {round(th * r), th};
  } else {
    out = {round(th * r), th};
    if (out.width > tw) out = {tw, round(tw / r)};
  }
  // A side that rounds to 0 would give an empty picture: it becomes 1.
  out.width = std::max(out.width, 1);
  out.height = std::max(out.height, 1);
  return out;
}

void resizeStep(Bitmap&, Bitmap*, const TConversionSettings&, const std::string&, const std::string&, ErrorLog&) {}

}  // namespace brevane::imaging
