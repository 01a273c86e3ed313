// ResampleImage: the separable two-pass resampler with seven kernels.
#pragma once

#include <cstdint>
#include <vector>

#include "base/bitmap.h"

namespace brevane::imaging {

/// Kernel indexes, as stored in "Resampling_filter".
enum ResampleKernelIndex : uint8_t {
  kNearestNeighbour = 0,
  kBilinear = 1,
  kHermite = 2,
  kBell = 3,
  kBSpline = 4,
  kLanczos3 = 5,
  kMitchell = 6,
};
inline constexpr int kResampleKernelCount = 7;

/// One source pixel of an output pixel: its weight in 1/256 and its (mirrored) index.
struct TALContributor {
  int32_t Weight = 0;
  int32_t Pixel = 0;
};
using TALContributors = std::vector<TALContributor>;

/// The contributors of one output pixel; the first `N` entries are in use.
struct TALContributorEntry {
  int32_t N = 0;
  TALContributors Contributors;
};
/// One entry per output pixel of a pass (columns for the horizontal, rows for the vertical).
using TALContributorList = std::vector<TALContributorEntry>;

/// Scales `source` to the size `destination` has at the call. Both become 24-bit: the source is
/// converted in place, the destination is overwritten entirely. `kernel` 0-6 ("Nearest
/// neighbour", "Bilinear", "Hermite", "Bell", "B-spline", "Lanczos3", "Mitchell"; any other
/// index is taken as "Lanczos3"); `radius` 0 means the kernel's default support.
void ResampleImage(Bitmap& source, Bitmap& destination, uint8_t kernel, float radius);

/// The kernel f(x) of index `kernel` (32-bit in and out).
float resampleKernel(uint8_t kernel, float x);
/// The kernel's default support radius.
float resampleKernelSupport(uint8_t kernel);
/// The scale of one direction: dst / src when either side is 1, else (dst - 1) / (src - 1).
float resampleScale(int srcSize, int dstSize);
/// The contributor list of one direction: n source pixels, m output pixels, scale s.
TALContributorList buildContributorList(int n, int m, float scale, uint8_t kernel, float radius);

namespace detail {

/// Which inner loops ResampleImage uses; every choice gives the same bytes.
enum class ResampleIsa { kAuto, kGeneric, kAvx2 };
/// True when the processor runs the AVX2/FMA loops.
bool resampleAvx2Available();
/// ResampleImage with a chosen set of inner loops (kAvx2 falls back to kGeneric when the
/// processor lacks it).
void resampleImageWith(Bitmap& source, Bitmap& destination, uint8_t kernel, float radius, ResampleIsa isa);

}  // namespace detail

}  // namespace brevane::imaging
