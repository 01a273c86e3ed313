// A plain, literal two-pass resampler: the yardstick the production resampler is checked against.
#include "core/imaging/resample_reference.h"

#include <cmath>
#include <vector>

namespace brevane::test {

namespace {

using Extended = long double;

struct Contributor {
  int32_t weight;
  int32_t pixel;
};
struct Entry {
  int32_t n = 0;
  std::vector<Contributor> contributors;
};

float sincOf(float value) {
  if (value == 0) return 1;
  value = static_cast<float>(value * 3.1415L);
  return static_cast<float>(sinl(value) / value);
}

float defaultSupport(uint8_t kernel) {
  static const float kSupport[7] = {0.5f, 1.0f, 1.0f, 1.5f, 2.0f, 3.0f, 2.0f};
  return kSupport[kernel];
}

int32_t mirror(int64_t j, int n) {
  for (;;) {
    if (j < 0)
      j = -j;
    else if (j >= n)
      j = 2 * static_cast<int64_t>(n) - 1 - j;
    else
      return static_cast<int32_t>(j);
  }
}

std::vector<Entry> buildList(int n, int m, float s, uint8_t kernel, float r) {
  std::vector<Entry> list(m);
  for (int i = 0; i < m; ++i) {
    Entry& e = list[i];
    e.n = 0;
    float center;
    int64_t left, right;
    if (s < 1) {
      Extended w = r / static_cast<Extended>(s);
      e.contributors.reserve(static_cast<size_t>(truncl(2 * w + 1)));
      center = static_cast<float>(i / static_cast<Extended>(s));
      left = static_cast<int64_t>(floorl(center - w));
      right = static_cast<int64_t>(ceill(center + w));
    } else {
      e.contributors.reserve(static_cast<size_t>(truncl(2 * static_cast<Extended>(r) + 1)));
      center = static_cast<float>(i / static_cast<Extended>(s));
      left = static_cast<int64_t>(floorl(center - static_cast<Extended>(r)));
      right = static_cast<int64_t>(ceill(center + static_cast<Extended>(r)));
    }
    for (int64_t j = left; j <= right; ++j) {
      int32_t weight;
      if (s < 1) {
        float x = static_cast<float>((center - static_cast<Extended>(j)) * s);
        weight = static_cast<int32_t>(nearbyintl(referenceKernel(kernel, x) * static_cast<Extended>(s) * 256));
      } else {
        float x = static_cast<float>(center - static_cast<Extended>(j));
        weight = static_cast<int32_t>(nearbyintl(referenceKernel(kernel, x) * 256.0L));
      }
      if (weight == 0) continue;
      e.contributors.push_back({weight, mirror(j, n)});
      ++e.n;
    }
  }
  return list;
}

uint8_t weightedSum(const Entry& e, const std::vector<int32_t>& values) {
  int32_t s = 0, t = 0;
  for (int k = 0; k < e.n; ++k) {
    s += e.contributors[k].weight;
    t += e.contributors[k].weight * values[e.contributors[k].pixel];
  }
  int32_t v = s != 0 ? t / s : t / 256;
  if (v < 0) v = 0;
  if (v > 255) v = 255;
  return static_cast<uint8_t>(v);
}

}  // namespace

float referenceKernel(uint8_t kernel, float x) {
  Extended a = std::fabs(static_cast<Extended>(x));
  switch (kernel) {
    case 0: return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f;
    case 1: return a < 1 ? static_cast<float>(1 - a) : 0.0f;
    case 2: return a < 1 ? static_cast<float>((2 * a - 3) * (a * a) + 1) : 0.0f;
    case 3:
      if (a < 0.5L) return static_cast<float>(0.75L - a * a);
      if (a < 1.5L) return static_cast<float>(0.5L * ((a - 1.5L) * (a - 1.5L)));
      return 0.0f;
    case 4:
      if (a < 1) return static_cast<float>(0.5L * (a * a * a) - a * a + 2.0L / 3.0L);
      if (a < 2) return static_cast<float>((2 - a) * (2 - a) * (2 - a) / 6);
      return 0.0f;
    case 5:
      if (a < 3) return static_cast<float>(static_cast<Extended>(sincOf(x)) * sincOf(static_cast<float>(x / 3.0L)));
      return 0.0f;
    case 6:
      if (a < 1) return static_cast<float>((7 * (a * a * a) - 12 * (a * a) + 16.0L / 3.0L) / 6);
      if (a < 2) return static_cast<float>((-7.0L / 3.0L * (a * a * a) + 12 * (a * a) - 20 * a + 32.0L / 3.0L) / 6);
      return 0.0f;
  }
  return 0.0f;
}

void referenceResample(Bitmap& source, Bitmap& destination, uint8_t kernel, float radius) {
  if (radius == 0) radius = defaultSupport(kernel);
  const int dstWidth = destination.width(), dstHeight = destination.height();
  destination.reset(dstWidth, dstHeight, 24);
  source.convertTo24();
  const int srcWidth = source.width(), srcHeight = source.height();
  if (srcHeight == 0 || srcWidth == 0 || dstHeight == 0 || dstWidth == 0) return;

  float xscale, yscale;
  if (srcWidth == 1 || dstWidth == 1)
    xscale = static_cast<float>(static_cast<Extended>(dstWidth) / srcWidth);
  else
    xscale = static_cast<float>(static_cast<Extended>(dstWidth - 1) / (srcWidth - 1));
  if (srcHeight == 1 || dstHeight == 1)
    yscale = static_cast<float>(static_cast<Extended>(dstHeight) / srcHeight);
  else
    yscale = static_cast<float>(static_cast<Extended>(dstHeight - 1) / (srcHeight - 1));

  std::vector<Entry> list = buildList(srcWidth, dstWidth, xscale, kernel, radius);
  Bitmap work(dstWidth, srcHeight, 24);
  std::vector<int32_t> blue(srcWidth), green(srcWidth), red(srcWidth);
  for (int y = 0; y < srcHeight; ++y) {
    const uint8_t* row = source.scanLine(y);
    for (int x = 0; x < srcWidth; ++x) {
      blue[x] = row[3 * x];
      green[x] = row[3 * x + 1];
      red[x] = row[3 * x + 2];
    }
    uint8_t* out = work.scanLine(y);
    for (int x = 0; x < dstWidth; ++x) {
      out[3 * x] = weightedSum(list[x], blue);
      out[3 * x + 1] = weightedSum(list[x], green);
      out[3 * x + 2] = weightedSum(list[x], red);
    }
  }
  list.clear();

  list = buildList(srcHeight, dstHeight, yscale, kernel, radius);
  blue.assign(srcHeight, 0);
  green.assign(srcHeight, 0);
  red.assign(srcHeight, 0);
  const size_t workPitch = work.stride(), dstPitch = destination.stride();
  for (int x = 0; x < dstWidth; ++x) {
    const uint8_t* p = work.data() + 3 * x;
    for (int y = 0; y < srcHeight; ++y, p += workPitch) {
      blue[y] = p[0];
      green[y] = p[1];
      red[y] = p[2];
    }
    uint8_t* q = destination.data() + 3 * x;
    for (int y = 0; y < dstHeight; ++y, q += dstPitch) {
      q[0] = weightedSum(list[y], blue);
      q[1] = weightedSum(list[y], green);
      q[2] = weightedSum(list[y], red);
    }
  }
}

}  // namespace brevane::test
