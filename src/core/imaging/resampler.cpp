// ResampleImage: exact contributor lists, then row-wise passes over dense weight tables with
// AVX2/FMA inner loops where the processor has them.
//
// Exactness of the fast loops: every product weight * value and every partial sum is an integer
// far below 2^24 in magnitude, so 32-bit float arithmetic on them is exact in any order; and for
// |T| < 2^24 and an integer divisor D != 0, truncating the correctly rounded float quotient T / D
// gives the same integer as truncating division (the rounding error stays below 1/|D|, the
// smallest distance of a non-integer quotient from an integer). The generic loops use int32.
#include "imaging/resampler.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "base/error.h"

namespace brevane::imaging {

namespace {

// Arithmetic between the 32-bit roundings is carried in the x87 80-bit format.
using Ext = long double;

// Largest support radius accepted; larger values would only widen loops over zero weights.
constexpr float kMaxRadius = 64.0f;

uint8_t normaliseKernel(uint8_t kernel) { return kernel < kResampleKernelCount ? kernel : static_cast<uint8_t>(kLanczos3); }

float normaliseRadius(uint8_t kernel, float radius) {
  if (!(radius > 0.0f) || !std::isfinite(radius)) return ResampleKernelSupport(kernel);
  return std::min(radius, kMaxRadius);
}

// sin in extended precision. The C library's sinl reduces every argument above pi/4 with its
// general multi-precision routine, which dominated the cost of building the lists; the kernel
// only needs arguments below 10, so they are reduced here by multiples of pi/2 held in two
// parts (the first exact when multiplied by a small integer) and only the reduced argument,
// at most pi/4, goes to sinl or cosl.
Ext sinExtended(Ext u) {
  if (!(std::fabs(u) < 1e6L)) return sinl(u);
  constexpr Ext kTwoOverPi = 0.636619772367581343075535053490057448L;
  constexpr Ext kHalfPiHigh = 6746518852.0L / 4294967296.0L;  // pi/2 truncated to 32 fraction bits
  constexpr Ext kHalfPiLow = 6.077100506506192601475144209858469968755e-11L;  // pi/2 - kHalfPiHigh
  const Ext k = rintl(u * kTwoOverPi);
  const Ext r = (u - k * kHalfPiHigh) - k * kHalfPiLow;
  switch (static_cast<int64_t>(k) & 3) {
    case 0: return sinl(r);
    case 1: return cosl(r);
    case 2: return -sinl(r);
    default: return -cosl(r);
  }
}

// sin(3.1415 t) / (3.1415 t), with 3.1415 t rounded to a 32-bit float first; the quotient is
// computed in extended precision and rounded to a 32-bit float. A double-precision quotient
// (error below 2^-51 relative) that lies clearly away from the two rounding midpoints around
// its float decides the same float at a fraction of the cost; only near a midpoint is the
// extended computation needed.
float sinc3(float t) {
  if (t == 0.0f) return 1.0f;
  float u = static_cast<float>(3.1415L * t);
  if (u == 0.0f) return 1.0f;
  const double d = std::sin(static_cast<double>(u)) / u;
  const float f = static_cast<float>(d);
  if (std::fabs(d) > 1e-30) {
    const double below = (static_cast<double>(f) + std::nextafter(f, -INFINITY)) * 0.5;
    const double above = (static_cast<double>(f) + std::nextafter(f, INFINITY)) * 0.5;
    const double margin = std::fabs(d) * 0x1p-40;
    if (d - below > margin && above - d > margin) return f;
  }
  return static_cast<float>(sinExtended(u) / u);
}

// Index mirrored into 0..n-1: -j below, 2n-1-j above, repeated until inside.
int32_t mirrorIndex(int64_t j, int64_t n) {
  while (j < 0 || j >= n) j = j < 0 ? -j : 2 * n - 1 - j;
  return static_cast<int32_t>(j);
}

int64_t toIndex(Ext v) {
  constexpr Ext kLimit = Ext(int64_t{1} << 40);
  return static_cast<int64_t>(std::clamp(v, -kLimit, kLimit));
}

// Round to nearest, ties to even (the default rounding mode; rintl avoids nearbyintl's costly
// save and restore of the floating-point environment).
int32_t roundWeight(Ext v) { return static_cast<int32_t>(rintl(v)); }

inline uint8_t finish(int32_t total, int32_t divisor) {
  int32_t q = total / divisor;
  return static_cast<uint8_t>(q < 0 ? 0 : q > 255 ? 255 : q);
}

// A pass in dense form: output i reads source pixels start[i] .. start[i] + length[i] - 1 with
// the weights at offset[i]; weights of contributors that mirror onto the same pixel are summed
// (exact in integers), pixels between contributors get weight 0. divisor is the weight sum, or
// 256 when it is 0.
struct PassTable {
  int count = 0;
  std::vector<int32_t> start, length, offset, divisor;
  std::vector<int32_t> weightI;
  std::vector<float> weightF;
};

PassTable makeTable(const TALContributorList& list) {
  PassTable t;
  t.count = static_cast<int>(list.size());
  t.start.resize(list.size());
  t.length.resize(list.size());
  t.offset.resize(list.size());
  t.divisor.resize(list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    const TALContributorEntry& e = list[i];
    t.offset[i] = static_cast<int32_t>(t.weightI.size());
    int32_t sum = 0;
    if (e.N > 0) {
      int32_t lo = e.Contributors[0].Pixel, hi = lo;
      for (int32_t k = 0; k < e.N; ++k) {
        lo = std::min(lo, e.Contributors[k].Pixel);
        hi = std::max(hi, e.Contributors[k].Pixel);
      }
      t.start[i] = lo;
      t.length[i] = hi - lo + 1;
      size_t base = t.weightI.size();
      t.weightI.resize(base + static_cast<size_t>(hi - lo + 1), 0);
      for (int32_t k = 0; k < e.N; ++k) {
        t.weightI[base + static_cast<size_t>(e.Contributors[k].Pixel - lo)] += e.Contributors[k].Weight;
        sum += e.Contributors[k].Weight;
      }
    }
    t.divisor[i] = sum != 0 ? sum : 256;
  }
  t.weightF.assign(t.weightI.begin(), t.weightI.end());
  return t;
}

// A 64-byte aligned buffer without initialisation.
template <typename T>
class AlignedBuffer {
 public:
  explicit AlignedBuffer(size_t count)
      : m_data(static_cast<T*>(::operator new[](std::max<size_t>(count, 1) * sizeof(T), std::align_val_t(64)))) {}
  ~AlignedBuffer() { ::operator delete[](m_data, std::align_val_t(64)); }
  AlignedBuffer(const AlignedBuffer&) = delete;
  AlignedBuffer& operator=(const AlignedBuffer&) = delete;
  T* get() const { return m_data; }

 private:
  T* m_data;
};

// ---- generic loops (int32) ----

void horizontalGeneric(const Bitmap& src, uint8_t* work, size_t workStride, const PassTable& t) {
  for (int y = 0; y < src.height(); ++y) {
    const uint8_t* row = src.scanLine(y);
    uint8_t* out = work + static_cast<size_t>(y) * workStride;
    for (int x = 0; x < t.count; ++x) {
      const int32_t* w = t.weightI.data() + t.offset[x];
      const uint8_t* p = row + 3 * static_cast<size_t>(t.start[x]);
      int32_t tb = 0, tg = 0, tr = 0;
      for (int32_t k = 0; k < t.length[x]; ++k) {
        tb += w[k] * p[3 * k];
        tg += w[k] * p[3 * k + 1];
        tr += w[k] * p[3 * k + 2];
      }
      int32_t d = t.divisor[x];
      out[3 * x] = finish(tb, d);
      out[3 * x + 1] = finish(tg, d);
      out[3 * x + 2] = finish(tr, d);
    }
  }
}

void verticalGeneric(const uint8_t* work, size_t workStride, Bitmap& dst, const PassTable& t) {
  const size_t rowBytes = 3 * static_cast<size_t>(dst.width());
  std::vector<int32_t> acc(rowBytes);
  for (int y = 0; y < t.count; ++y) {
    std::fill(acc.begin(), acc.end(), 0);
    const int32_t* w = t.weightI.data() + t.offset[y];
    for (int32_t k = 0; k < t.length[y]; ++k) {
      const uint8_t* p = work + static_cast<size_t>(t.start[y] + k) * workStride;
      const int32_t wk = w[k];
      int32_t* a = acc.data();
      for (size_t i = 0; i < rowBytes; ++i) a[i] += wk * p[i];
    }
    uint8_t* out = dst.scanLine(y);
    const int32_t d = t.divisor[y];
    for (size_t i = 0; i < rowBytes; ++i) out[i] = finish(acc[i], d);
  }
}

// ---- AVX2/FMA loops (exact float) ----

// 8x8 byte transpose: q[r] holds 8 bytes (columns 0-7) of row r in its low half; out[k] gets
// column 2k (rows 0-7) in its low half and column 2k+1 in its high half.
inline void transpose8x8(const __m128i q[8], __m128i out[4]) {
  __m128i t0 = _mm_unpacklo_epi8(q[0], q[1]);
  __m128i t1 = _mm_unpacklo_epi8(q[2], q[3]);
  __m128i t2 = _mm_unpacklo_epi8(q[4], q[5]);
  __m128i t3 = _mm_unpacklo_epi8(q[6], q[7]);
  __m128i u0 = _mm_unpacklo_epi16(t0, t1);
  __m128i u1 = _mm_unpackhi_epi16(t0, t1);
  __m128i u2 = _mm_unpacklo_epi16(t2, t3);
  __m128i u3 = _mm_unpackhi_epi16(t2, t3);
  out[0] = _mm_unpacklo_epi32(u0, u2);
  out[1] = _mm_unpackhi_epi32(u0, u2);
  out[2] = _mm_unpacklo_epi32(u1, u3);
  out[3] = _mm_unpackhi_epi32(u1, u3);
}

__attribute__((target("avx2,fma"))) inline __m256i quotientBytes(__m256 total, __m256 divisor) {
  __m256i q = _mm256_cvttps_epi32(_mm256_div_ps(total, divisor));
  return _mm256_min_epi32(_mm256_max_epi32(q, _mm256_setzero_si256()), _mm256_set1_epi32(255));
}

// Horizontal pass, eight source rows at a time: the rows are transposed into a float buffer that
// holds, for each byte position of a row, the eight rows' values side by side, so that each
// output byte of eight rows is one vector of multiply-adds; the results are transposed back.
__attribute__((target("avx2,fma"))) void horizontalAvx2(const Bitmap& src, uint8_t* work, size_t workStride,
                                                         const PassTable& t) {
  const size_t nb = 3 * static_cast<size_t>(src.width());
  const size_t mb = 3 * static_cast<size_t>(t.count);
  AlignedBuffer<float> columns(nb * 8);
  AlignedBuffer<uint8_t> results(mb * 8 + 32);
  float* tb = columns.get();
  uint8_t* ob = results.get();
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);

  for (int y0 = 0; y0 < src.height(); y0 += 8) {
    const int rows = std::min(8, src.height() - y0);
    const uint8_t* in[8];
    uint8_t* out[8];
    for (int r = 0; r < 8; ++r) {
      in[r] = src.scanLine(y0 + std::min(r, rows - 1));
      out[r] = work + static_cast<size_t>(y0 + std::min(r, rows - 1)) * workStride;
    }

    size_t b = 0;
    for (; b + 8 <= nb; b += 8) {
      __m128i q[8], o[4];
      for (int r = 0; r < 8; ++r) q[r] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in[r] + b));
      transpose8x8(q, o);
      for (int k = 0; k < 4; ++k) {
        _mm256_store_ps(tb + (b + 2 * k) * 8, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(o[k])));
        _mm256_store_ps(tb + (b + 2 * k + 1) * 8,
                        _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_unpackhi_epi64(o[k], o[k]))));
      }
    }
    for (; b < nb; ++b)
      for (int r = 0; r < 8; ++r) tb[b * 8 + r] = in[r][b];

    for (int x = 0; x < t.count; ++x) {
      const float* w = t.weightF.data() + t.offset[x];
      const float* p = tb + static_cast<size_t>(t.start[x]) * 24;
      const int32_t len = t.length[x];
      __m256 b0 = _mm256_setzero_ps(), g0 = b0, r0 = b0, b1 = b0, g1 = b0, r1 = b0;
      int32_t k = 0;
      for (; k + 1 < len; k += 2, p += 48) {
        __m256 w0 = _mm256_broadcast_ss(w + k), w1 = _mm256_broadcast_ss(w + k + 1);
        b0 = _mm256_fmadd_ps(_mm256_load_ps(p), w0, b0);
        g0 = _mm256_fmadd_ps(_mm256_load_ps(p + 8), w0, g0);
        r0 = _mm256_fmadd_ps(_mm256_load_ps(p + 16), w0, r0);
        b1 = _mm256_fmadd_ps(_mm256_load_ps(p + 24), w1, b1);
        g1 = _mm256_fmadd_ps(_mm256_load_ps(p + 32), w1, g1);
        r1 = _mm256_fmadd_ps(_mm256_load_ps(p + 40), w1, r1);
      }
      if (k < len) {
        __m256 w0 = _mm256_broadcast_ss(w + k);
        b0 = _mm256_fmadd_ps(_mm256_load_ps(p), w0, b0);
        g0 = _mm256_fmadd_ps(_mm256_load_ps(p + 8), w0, g0);
        r0 = _mm256_fmadd_ps(_mm256_load_ps(p + 16), w0, r0);
      }
      const __m256 d = _mm256_set1_ps(static_cast<float>(t.divisor[x]));
      __m256i qb = quotientBytes(_mm256_add_ps(b0, b1), d);
      __m256i qg = quotientBytes(_mm256_add_ps(g0, g1), d);
      __m256i qr = quotientBytes(_mm256_add_ps(r0, r1), d);
      // -> b rows 0-7, g rows 0-7, r rows 0-7 (24 bytes; the 8 bytes after are scratch).
      __m256i bytes = _mm256_packus_epi16(_mm256_packus_epi32(qb, qg), _mm256_packus_epi32(qr, qr));
      bytes = _mm256_permutevar8x32_epi32(bytes, order);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(ob + 24 * static_cast<size_t>(x)), bytes);
    }

    b = 0;
    for (; b + 8 <= mb; b += 8) {
      __m128i q[8], o[4];
      for (int i = 0; i < 8; ++i) q[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(ob + (b + i) * 8));
      transpose8x8(q, o);
      for (int k = 0; k < 4; ++k) {
        if (2 * k < rows) _mm_storel_epi64(reinterpret_cast<__m128i*>(out[2 * k] + b), o[k]);
        if (2 * k + 1 < rows)
          _mm_storel_epi64(reinterpret_cast<__m128i*>(out[2 * k + 1] + b), _mm_unpackhi_epi64(o[k], o[k]));
      }
    }
    for (; b < mb; ++b)
      for (int r = 0; r < rows; ++r) out[r][b] = ob[b * 8 + r];
  }
}

// Vertical pass, one destination row at a time, 32 bytes of the row per step.
__attribute__((target("avx2,fma"))) void verticalAvx2(const uint8_t* work, size_t workStride, Bitmap& dst,
                                                       const PassTable& t) {
  const size_t rowBytes = 3 * static_cast<size_t>(dst.width());
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  for (int y = 0; y < t.count; ++y) {
    const float* w = t.weightF.data() + t.offset[y];
    const int32_t len = t.length[y];
    const uint8_t* base = work + static_cast<size_t>(t.start[y]) * workStride;
    const __m256 d = _mm256_set1_ps(static_cast<float>(t.divisor[y]));
    uint8_t* out = dst.scanLine(y);
    size_t i = 0;
    for (; i + 32 <= rowBytes; i += 32) {
      __m256 a0 = _mm256_setzero_ps(), a1 = a0, a2 = a0, a3 = a0;
      const uint8_t* p = base + i;
      for (int32_t k = 0; k < len; ++k, p += workStride) {
        __m256 wk = _mm256_broadcast_ss(w + k);
        a0 = _mm256_fmadd_ps(_mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)))), wk, a0);
        a1 = _mm256_fmadd_ps(_mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 8)))), wk, a1);
        a2 = _mm256_fmadd_ps(_mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 16)))), wk, a2);
        a3 = _mm256_fmadd_ps(_mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 24)))), wk, a3);
      }
      __m256i bytes = _mm256_packus_epi16(_mm256_packus_epi32(quotientBytes(a0, d), quotientBytes(a1, d)),
                                          _mm256_packus_epi32(quotientBytes(a2, d), quotientBytes(a3, d)));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_permutevar8x32_epi32(bytes, order));
    }
    const int32_t* wi = t.weightI.data() + t.offset[y];
    for (; i < rowBytes; ++i) {
      int32_t total = 0;
      for (int32_t k = 0; k < len; ++k) total += wi[k] * base[static_cast<size_t>(k) * workStride + i];
      out[i] = finish(total, t.divisor[y]);
    }
  }
}

}  // namespace

float ResampleKernelSupport(uint8_t kernel) {
  switch (normaliseKernel(kernel)) {
    case kNearestNeighbour: return 0.5f;
    case kBilinear:
    case kHermite: return 1.0f;
    case kBell: return 1.5f;
    case kBSpline:
    case kMitchell: return 2.0f;
    default: return 3.0f;
  }
}

float ResampleKernel(uint8_t kernel, float x) {
  const Ext a = std::fabs(static_cast<Ext>(x));
  switch (normaliseKernel(kernel)) {
    case kNearestNeighbour: return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f;
    case kBilinear: return a < 1 ? static_cast<float>(1 - a) : 0.0f;
    case kHermite: return a < 1 ? static_cast<float>((2 * a - 3) * (a * a) + 1) : 0.0f;
    case kBell:
      if (a < 0.5L) return static_cast<float>(0.75L - a * a);
      if (a < 1.5L) {
        const Ext t = a - 1.5L;
        return static_cast<float>(0.5L * (t * t));
      }
      return 0.0f;
    case kBSpline:
      if (a < 1) return static_cast<float>(0.5L * (a * a * a) - a * a + 2.0L / 3.0L);
      if (a < 2) {
        const Ext t = 2 - a;
        return static_cast<float>(t * t * t / 6);
      }
      return 0.0f;
    case kMitchell:
      if (a < 1) return static_cast<float>((7 * (a * a * a) - 12 * (a * a) + 16.0L / 3.0L) / 6);
      if (a < 2) return static_cast<float>((-7.0L / 3.0L * (a * a * a) + 12 * (a * a) - 20 * a + 32.0L / 3.0L) / 6);
      return 0.0f;
    default:  // Lanczos3
      if (a < 3) return static_cast<float>(static_cast<Ext>(sinc3(x)) * sinc3(static_cast<float>(x / 3.0L)));
      return 0.0f;
  }
}

float ResampleScale(int srcSize, int dstSize) {
  if (srcSize == 1 || dstSize == 1) return static_cast<float>(static_cast<Ext>(dstSize) / srcSize);
  return static_cast<float>(static_cast<Ext>(dstSize - 1) / (srcSize - 1));
}

TALContributorList BuildContributorList(int n, int m, float scale, uint8_t kernel, float radius) {
  kernel = normaliseKernel(kernel);
  const float r = normaliseRadius(kernel, radius);
  const float s = scale;
  TALContributorList list(static_cast<size_t>(std::max(m, 0)));
  if (n <= 0 || !(s > 0.0f)) return list;
  const bool reduce = s < 1.0f;
  const Ext width = reduce ? static_cast<Ext>(r) / s : static_cast<Ext>(r);
  const int64_t capacity = toIndex(truncl(2 * width + 1));
  // Every kernel value lies in -1..1, so at s <= 1/512 every weight f * s * 256 rounds to 0.
  const bool allZero = reduce && static_cast<Ext>(s) * 256 <= 0.5L;
  for (int i = 0; i < m; ++i) {
    TALContributorEntry& e = list[static_cast<size_t>(i)];
    e.N = 0;
    e.Contributors.reserve(static_cast<size_t>(std::clamp<int64_t>(capacity, 0, 8192)));
    if (allZero) continue;
    const float c = static_cast<float>(static_cast<Ext>(i) / s);
    const int64_t left = toIndex(floorl(c - width));
    const int64_t right = toIndex(ceill(c + width));
    for (int64_t j = left; j <= right; ++j) {
      int32_t weight;
      if (reduce) {
        const float x = static_cast<float>((static_cast<Ext>(c) - j) * s);
        weight = roundWeight(static_cast<Ext>(ResampleKernel(kernel, x)) * s * 256);
      } else {
        const float x = static_cast<float>(static_cast<Ext>(c) - j);
        weight = roundWeight(static_cast<Ext>(ResampleKernel(kernel, x)) * 256);
      }
      if (weight == 0) continue;
      e.Contributors.push_back({weight, mirrorIndex(j, n)});
      ++e.N;
    }
  }
  return list;
}

namespace detail {

bool resampleAvx2Available() {
  static const bool available = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return available;
}

void resampleImageWith(Bitmap& source, Bitmap& destination, uint8_t kernel, float radius, ResampleIsa isa) {
  kernel = normaliseKernel(kernel);
  radius = normaliseRadius(kernel, radius);
  const int dw = destination.width(), dh = destination.height();
  destination.reset(dw, dh, 24);
  source.convertTo24();
  const int sw = source.width(), sh = source.height();
  if (sw == 0 || sh == 0 || dw == 0 || dh == 0) return;
  const bool avx2 = isa != ResampleIsa::kGeneric && resampleAvx2Available();

  checkImageSize(dw, sh);
  const size_t workStride = 3 * static_cast<size_t>(dw);
  std::unique_ptr<uint8_t[]> work(new uint8_t[workStride * static_cast<size_t>(sh)]);
  {
    const PassTable h = makeTable(BuildContributorList(sw, dw, ResampleScale(sw, dw), kernel, radius));
    if (avx2)
      horizontalAvx2(source, work.get(), workStride, h);
    else
      horizontalGeneric(source, work.get(), workStride, h);
  }
  const PassTable v = makeTable(BuildContributorList(sh, dh, ResampleScale(sh, dh), kernel, radius));
  if (avx2)
    verticalAvx2(work.get(), workStride, destination, v);
  else
    verticalGeneric(work.get(), workStride, destination, v);
}

}  // namespace detail

void ResampleImage(Bitmap& source, Bitmap& destination, uint8_t kernel, float radius) {
  detail::resampleImageWith(source, destination, kernel, radius, detail::ResampleIsa::kAuto);
}

}  // namespace brevane::imaging
