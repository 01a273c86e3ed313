// The resize step of a conversion and the resize policy (fit, smart crop, percent).
#include "imaging/resize.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "imaging/resampler.h"

namespace brevane::imaging {

namespace {

int roundInt(double v) {
  return static_cast<int>(std::nearbyint(v));
}

// p / q rounded to one decimal place (ties to even), as tenths; exact for positive integers.
int64_t tenths(int64_t p, int64_t q) {
  const int64_t k = 10 * p / q, rest = 10 * p % q;
  if (2 * rest > q || (2 * rest == q && (k & 1))) return k + 1;
  return k;
}

uint8_t kernelOf(int kernel) {
  return kernel >= 0 && kernel < kResampleKernelCount ? static_cast<uint8_t>(kernel) : static_cast<uint8_t>(kLanczos3);
}

// Resamples the image and the alpha plane to `size`; both take over their results only when
// both calls succeeded, so that they stay pixel-aligned whatever fails.
void resampleBoth(Bitmap& image, Bitmap* alpha, Size size, uint8_t kernel) {
  // The resampler writes every pixel of a 24-bit destination of the right size.
  Bitmap scaled(size.width, size.height, 24, Bitmap::kForOverwrite);
  ResampleImage(image, scaled, kernel, 0);
  Bitmap scaledAlpha;
  if (alpha) {
    scaledAlpha.resetForOverwrite(size.width, size.height, 24);
    ResampleImage(*alpha, scaledAlpha, kernel, 0);
  }
  image = std::move(scaled);
  if (alpha) *alpha = std::move(scaledAlpha);
}

}  // namespace

Size Fit(int w, int h, int tw, int th, bool enlarge) {
  if (w <= tw && h <= th && !enlarge) return {w, h};
  if (w < 1 || h < 1) return {tw, th};
  double r = static_cast<double>(w) / h;
  Size out;
  if (w > h) {
    out = {tw, roundInt(tw / r)};
    if (out.height > th) out = {roundInt(th * r), th};
  } else {
    out = {roundInt(th * r), th};
    if (out.width > tw) out = {tw, roundInt(tw / r)};
  }
  // A side that rounds to 0 would give an empty picture: it becomes 1.
  out.width = std::max(out.width, 1);
  out.height = std::max(out.height, 1);
  return out;
}

std::optional<CropRect> smartCropRect(int w, int h, int tw, int th, bool enlarge) {
  if (w == tw && h == th) return std::nullopt;
  if (w < 1 || h < 1 || tw < 1 || th < 1) return std::nullopt;
  if (!enlarge && !(h > th && w > tw)) return std::nullopt;
  const double r = static_cast<double>(tw) / th;
  int cw = w, ch = roundInt(w / r);
  if (ch > h) {
    ch = h;
    cw = roundInt(h * r);
  }
  // As in Fit, no side of the crop becomes 0.
  cw = std::clamp(cw, 1, w);
  ch = std::clamp(ch, 1, h);
  const int ox = roundInt((w - cw) / 2.0), oy = roundInt((h - ch) / 2.0);
  if (tenths(tw, th) != tenths(cw, ch)) return std::nullopt;
  return CropRect{ox, oy, cw, ch};
}

bool smartCrop(Bitmap& image, Bitmap* alpha, int tw, int th, bool enlarge) {
  const std::optional<CropRect> rect = smartCropRect(image.width(), image.height(), tw, th, enlarge);
  if (!rect) return false;
  Bitmap cropped = image.copyRect(rect->x, rect->y, rect->width, rect->height);
  Bitmap croppedAlpha;
  if (alpha) croppedAlpha = alpha->copyRect(rect->x, rect->y, rect->width, rect->height);
  image = std::move(cropped);
  if (alpha) *alpha = std::move(croppedAlpha);
  return true;
}

Size percentSize(int w, int h, int percent) {
  // Exact arithmetic: in floating point w / 100 * p can fall just below a whole number, so
  // that 100 percent of a 53-pixel side would give 52.
  auto side = [percent](int v) {
    long long scaled = static_cast<long long>(v) * percent / 100;
    return static_cast<int>(std::clamp<long long>(scaled, 4, 2147483647LL));
  };
  return {side(w), side(h)};
}

void resizeStep(Bitmap& image, Bitmap* alpha, const ResizeOptions& o) {
  const uint8_t kernel = kernelOf(o.kernel);
  switch (o.mode) {
    case ResizeMode::kWidthHeight:
      if (!o.proportional) {
        resampleBoth(image, alpha, {o.width, o.height}, kernel);
        break;
      }
      if (o.smartCrop) {
        try {
          smartCrop(image, alpha, o.width, o.height, o.enlarge);
        } catch (const std::exception&) {
          // The image stays uncropped.
        }
      }
      resampleBoth(image, alpha, Fit(image.width(), image.height(), o.width, o.height, o.enlarge), kernel);
      break;
    case ResizeMode::kPercent:
      resampleBoth(image, alpha, percentSize(image.width(), image.height(), o.percent), kernel);
      break;
    case ResizeMode::kNone: break;
  }
}

}  // namespace brevane::imaging
