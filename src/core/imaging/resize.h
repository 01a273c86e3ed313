// The resize step of a conversion and the resize policy (fit, smart crop, percent).
#pragma once

#include <optional>

#include "base/bitmap.h"
#include "imaging/resampler.h"

namespace brevane::imaging {

/// The resize modes, by their Selected_mode value.
enum class ResizeMode : int { kNone = 0, kWidthHeight = 1, kPercent = 2 };

/// What the resize step of a conversion does.
struct ResizeOptions {
  ResizeMode mode = ResizeMode::kNone;
  int width = 1920, height = 1080;  // the target of kWidthHeight
  int percent = 50;                 // the scale of kPercent
  bool proportional = true;         // kWidthHeight: fit inside the target, else stretch to it
  bool enlarge = false;             // kWidthHeight: images smaller than the target are fitted too
  bool smartCrop = false;           // kWidthHeight with proportions: crop to the target's shape first
  int kernel = kLanczos3;           // resampling kernel 0-6; any other value means Lanczos3
};

/// A width and height.
struct Size {
  int width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

/// A rectangle of an image.
struct CropRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const CropRect&) const = default;
};

/// Keep-proportions fitting of w x h into tw x th (Round ties to even). An image that already
/// fits is returned unchanged unless `enlarge` is set. No side of the result is 0.
Size Fit(int w, int h, int tw, int th, bool enlarge);

/// The smart-crop rectangle of a w x h image for the target tw x th: the largest centred
/// rectangle with the target's aspect ratio. Nothing when the image already has the target
/// size, when `enlarge` is off and the image is not larger than the target in both
/// directions, or when the rectangle's aspect ratio, to one decimal, differs from the target's.
std::optional<CropRect> smartCropRect(int w, int h, int tw, int th, bool enlarge);

/// Crops the image, and the alpha plane when not null, to smartCropRect. True when cropped.
bool smartCrop(Bitmap& image, Bitmap* alpha, int tw, int th, bool enlarge);

/// The size of the percent mode: w * percent / 100 truncated, and the same for h, each at least 4.
Size percentSize(int w, int h, int percent);

/// Resizes the working image (and the alpha plane when `alpha` is not null) by the options'
/// mode. A smart crop that fails is skipped. A failed resample throws; the image and the alpha
/// plane then stay as they were, except that a smart crop done before a failed keep-proportions
/// resample remains.
void resizeStep(Bitmap& image, Bitmap* alpha, const ResizeOptions& options);

}  // namespace brevane::imaging
