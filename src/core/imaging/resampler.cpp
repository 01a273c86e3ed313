// ResampleImage: exact contributor lists, then row-wise passes over dense weight tables with
// AVX2/FMA inner loops where the processor has them.
//
// Exactness of the fast loops: every product weight * value and every partial sum is an integer
// far below 2^24 in magnitude, so 32-bit float arithmetic on them is exact in any order; and for
// |T| < 2^24 and an integer divisor D != 0, truncating the correctly rounded float quotient T / D
// gives the same integer as truncating division (the rounding error stays below 1/|D|, the
// smallest distance of a non-integer quotient from an integer); class Divider replaces that
// division by an equally exact multiplication. The generic loops use int32.
#include "imaging/resampler.h"

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "base/error.h"

namespace brevane::imaging {

namespace {

// Arithmetic between the 32-bit roundings is carried in the x87 80-bit format.
using Ext = long double;

// Largest support radius accepted; larger values would only widen loops over zero weights.
constexpr float kMaxRadius = 64.0f;

uint8_t normaliseKernel(uint8_t kernel) {
  return kernel < kResampleKernelCount ? kernel : static_cast<uint8_t>(kLanczos3);
}

float normaliseRadius(uint8_t kernel, float radius) {
  if (!(radius > 0.0f) || !std::isfinite(radius)) return resampleKernelSupport(kernel);
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
  constexpr Ext kHalfPiHigh = 6746518852.0L / 4294967296.0L;                  // pi/2 truncated to 32 fraction bits
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
    // The float neighbours of f (|f| is a normal number here): one step of its bit pattern.
    const uint32_t bits = std::bit_cast<uint32_t>(f);
    const float larger = std::bit_cast<float>(f > 0 ? bits + 1 : bits - 1);
    const float smaller = std::bit_cast<float>(f > 0 ? bits - 1 : bits + 1);
    const double below = (static_cast<double>(f) + smaller) * 0.5;
    const double above = (static_cast<double>(f) + larger) * 0.5;
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
int32_t roundWeight(Ext v) {
  return static_cast<int32_t>(rintl(v));
}

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
  // For the float loops: weights negated where the divisor is negative (the quotient is the
  // same), so that divisorF is positive.
  std::vector<float> weightF, divisorF, reciprocalF;
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
  t.divisorF.resize(list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    t.divisorF[i] = static_cast<float>(std::abs(t.divisor[i]));
    t.reciprocalF.push_back(1.0f / t.divisorF[i]);
    if (t.divisor[i] < 0)
      for (int32_t k = 0; k < t.length[i]; ++k) t.weightF[static_cast<size_t>(t.offset[i] + k)] *= -1.0f;
  }
  return t;
}

// The pass table of one direction. A run resizes photo after photo of the same size, and the
// list costs a kernel evaluation in extended precision per weight, so the last few tables are
// kept (they are a pure function of their arguments).
std::shared_ptr<const PassTable> passTable(int n, int m, uint8_t kernel, float radius) {
  struct Entry {
    int n, m;
    uint8_t kernel;
    float radius;
    std::shared_ptr<const PassTable> table;
  };
  static std::mutex mutex;
  static std::vector<Entry> recent;  // most recent last
  constexpr size_t kKept = 8;
  {
    std::lock_guard lock(mutex);
    for (size_t i = 0; i < recent.size(); ++i)
      if (recent[i].n == n && recent[i].m == m && recent[i].kernel == kernel && recent[i].radius == radius) {
        Entry e = recent[i];
        recent.erase(recent.begin() + static_cast<std::ptrdiff_t>(i));
        recent.push_back(e);
        return e.table;
      }
  }
  auto table =
      std::make_shared<const PassTable>(makeTable(buildContributorList(n, m, resampleScale(n, m), kernel, radius)));
  std::lock_guard lock(mutex);
  if (recent.size() == kKept) recent.erase(recent.begin());
  recent.push_back({n, m, kernel, radius, table});
  return table;
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

// The clamped quotient of eight totals by one positive divisor D. For D <= 4096 it avoids the
// division: for 0 <= T <= 256 D, truncating fma(T, RN(1/D), 2^-13) gives floor(T / D) (the
// reciprocal and the fma err by at most 2^-15, the bias lifts exact quotients clear of that, and
// 2^-13 + 2^-15 < 1/D keeps other quotients below the next integer); above 256 D the result is
// at least 255 and below 0 it is negative, both clamped as the truncating division's results
// are. Checked for every D in range and every T from -2 D to 260 D. (D never exceeds about
// 3100: the weight sum is bounded by the number of non-zero weights.)
class Divider {
 public:
  __attribute__((target("avx2,fma"))) Divider(float divisor, float reciprocal)
      : m_divisor(_mm256_set1_ps(divisor)), m_reciprocal(_mm256_set1_ps(reciprocal)), m_fast(divisor <= 4096.0f) {}

  // As floats 0-255.
  __attribute__((target("avx2,fma"))) __m256 asFloat(__m256 total) const {
    const __m256 q =
        m_fast ? _mm256_fmadd_ps(total, m_reciprocal, _mm256_set1_ps(0x1p-13f)) : _mm256_div_ps(total, m_divisor);
    const __m256 t = _mm256_round_ps(q, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    return _mm256_min_ps(_mm256_max_ps(t, _mm256_setzero_ps()), _mm256_set1_ps(255.0f));
  }

  // As int32 0-255.
  __attribute__((target("avx2,fma"))) __m256i operator()(__m256 total) const {
    const __m256 q =
        m_fast ? _mm256_fmadd_ps(total, m_reciprocal, _mm256_set1_ps(0x1p-13f)) : _mm256_div_ps(total, m_divisor);
    const __m256i t = _mm256_cvttps_epi32(q);
    return _mm256_min_epi32(_mm256_max_epi32(t, _mm256_setzero_si256()), _mm256_set1_epi32(255));
  }

 private:
  __m256 m_divisor, m_reciprocal;
  bool m_fast;
};

// 8x8 float transpose: v[i] holds column i of eight rows; afterwards v[r] holds row r.
__attribute__((target("avx2,fma"))) inline void transpose8x8(__m256 v[8]) {
  __m256 t0 = _mm256_unpacklo_ps(v[0], v[1]), t1 = _mm256_unpackhi_ps(v[0], v[1]);
  __m256 t2 = _mm256_unpacklo_ps(v[2], v[3]), t3 = _mm256_unpackhi_ps(v[2], v[3]);
  __m256 t4 = _mm256_unpacklo_ps(v[4], v[5]), t5 = _mm256_unpackhi_ps(v[4], v[5]);
  __m256 t6 = _mm256_unpacklo_ps(v[6], v[7]), t7 = _mm256_unpackhi_ps(v[6], v[7]);
  __m256 s0 = _mm256_shuffle_ps(t0, t2, 0x44), s1 = _mm256_shuffle_ps(t0, t2, 0xEE);
  __m256 s2 = _mm256_shuffle_ps(t1, t3, 0x44), s3 = _mm256_shuffle_ps(t1, t3, 0xEE);
  __m256 s4 = _mm256_shuffle_ps(t4, t6, 0x44), s5 = _mm256_shuffle_ps(t4, t6, 0xEE);
  __m256 s6 = _mm256_shuffle_ps(t5, t7, 0x44), s7 = _mm256_shuffle_ps(t5, t7, 0xEE);
  v[0] = _mm256_permute2f128_ps(s0, s4, 0x20);
  v[1] = _mm256_permute2f128_ps(s1, s5, 0x20);
  v[2] = _mm256_permute2f128_ps(s2, s6, 0x20);
  v[3] = _mm256_permute2f128_ps(s3, s7, 0x20);
  v[4] = _mm256_permute2f128_ps(s0, s4, 0x31);
  v[5] = _mm256_permute2f128_ps(s1, s5, 0x31);
  v[6] = _mm256_permute2f128_ps(s2, s6, 0x31);
  v[7] = _mm256_permute2f128_ps(s3, s7, 0x31);
}

// Horizontal pass, eight source rows at a time: the rows are transposed into a float buffer that
// holds, for each byte position of a row, the eight rows' values side by side, so that each
// output byte of eight rows is one vector of multiply-adds; the results are transposed back,
// either to byte rows of a work image or to float rows (for the fused vertical pass).
class HorizontalAvx2 {
 public:
  HorizontalAvx2(const Bitmap& src, const PassTable& t)
      : m_src(src),
        m_t(t),
        m_nb(3 * static_cast<size_t>(src.width())),
        m_mb(3 * static_cast<size_t>(t.count)),
        m_columns(m_nb * 8),
        m_results(m_mb * 8 + 8) {}

  // Rows y0 .. y0 + rows - 1 (rows <= 8) into byte rows out[0 .. rows - 1].
  __attribute__((target("avx2,fma"))) void toBytes(int y0, int rows, uint8_t* const* out) {
    compute(y0, rows);
    const float* of = m_results.get();
    size_t b = 0;
    for (; b + 8 <= m_mb; b += 8) {
      __m128i q[8], o[4];
      for (int i = 0; i < 8; ++i) {
        __m256i v = _mm256_cvttps_epi32(_mm256_load_ps(of + (b + i) * 8));
        __m128i w = _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
        q[i] = _mm_packus_epi16(w, w);
      }
      transpose8x8(q, o);
      for (int k = 0; k < 4; ++k) {
        if (2 * k < rows) _mm_storel_epi64(reinterpret_cast<__m128i*>(out[2 * k] + b), o[k]);
        if (2 * k + 1 < rows)
          _mm_storel_epi64(reinterpret_cast<__m128i*>(out[2 * k + 1] + b), _mm_unpackhi_epi64(o[k], o[k]));
      }
    }
    for (; b < m_mb; ++b)
      for (int r = 0; r < rows; ++r) out[r][b] = static_cast<uint8_t>(of[b * 8 + r]);
  }

  // The same into float rows (values 0-255).
  __attribute__((target("avx2,fma"))) void toFloats(int y0, int rows, float* const* out) {
    compute(y0, rows);
    const float* of = m_results.get();
    size_t b = 0;
    for (; b + 8 <= m_mb; b += 8) {
      __m256 v[8];
      for (int i = 0; i < 8; ++i) v[i] = _mm256_load_ps(of + (b + i) * 8);
      transpose8x8(v);
      for (int r = 0; r < rows; ++r) _mm256_storeu_ps(out[r] + b, v[r]);
    }
    for (; b < m_mb; ++b)
      for (int r = 0; r < rows; ++r) out[r][b] = of[b * 8 + r];
  }

 private:
  // Fills m_results: for output byte b (3x + channel) the eight rows' results, as floats 0-255.
  __attribute__((target("avx2,fma"))) void compute(int y0, int rows) {
    const uint8_t* in[8];
    for (int r = 0; r < 8; ++r) in[r] = m_src.scanLine(y0 + std::min(r, rows - 1));
    float* tb = m_columns.get();
    size_t b = 0;
    for (; b + 8 <= m_nb; b += 8) {
      __m128i q[8], o[4];
      for (int r = 0; r < 8; ++r) q[r] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in[r] + b));
      transpose8x8(q, o);
      for (int k = 0; k < 4; ++k) {
        _mm256_store_ps(tb + (b + 2 * k) * 8, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(o[k])));
        _mm256_store_ps(tb + (b + 2 * k + 1) * 8,
                        _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_unpackhi_epi64(o[k], o[k]))));
      }
    }
    for (; b < m_nb; ++b)
      for (int r = 0; r < 8; ++r) tb[b * 8 + r] = in[r][b];

    float* of = m_results.get();
    for (int x = 0; x < m_t.count; ++x) {
      const float* w = m_t.weightF.data() + m_t.offset[x];
      const float* p = tb + static_cast<size_t>(m_t.start[x]) * 24;
      const int32_t len = m_t.length[x];
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
      const Divider d(m_t.divisorF[x], m_t.reciprocalF[x]);
      float* o = of + 24 * static_cast<size_t>(x);
      _mm256_store_ps(o, d.asFloat(_mm256_add_ps(b0, b1)));
      _mm256_store_ps(o + 8, d.asFloat(_mm256_add_ps(g0, g1)));
      _mm256_store_ps(o + 16, d.asFloat(_mm256_add_ps(r0, r1)));
    }
  }

  const Bitmap& m_src;
  const PassTable& m_t;
  size_t m_nb, m_mb;
  AlignedBuffer<float> m_columns;
  AlignedBuffer<float> m_results;
};

// Vertical pass, one destination row at a time, 32 bytes of the row per step.
__attribute__((target("avx2,fma"))) void verticalAvx2(const uint8_t* work, size_t workStride, Bitmap& dst,
                                                      const PassTable& t) {
  const size_t rowBytes = 3 * static_cast<size_t>(dst.width());
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  for (int y = 0; y < t.count; ++y) {
    const float* w = t.weightF.data() + t.offset[y];
    const int32_t len = t.length[y];
    const uint8_t* base = work + static_cast<size_t>(t.start[y]) * workStride;
    const Divider d(t.divisorF[y], t.reciprocalF[y]);
    uint8_t* out = dst.scanLine(y);
    size_t i = 0;
    for (; i + 32 <= rowBytes; i += 32) {
      __m256 a0 = _mm256_setzero_ps(), a1 = a0, a2 = a0, a3 = a0;
      const uint8_t* p = base + i;
      for (int32_t k = 0; k < len; ++k, p += workStride) {
        __m256 wk = _mm256_broadcast_ss(w + k);
        a0 = _mm256_fmadd_ps(
            _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)))), wk, a0);
        a1 = _mm256_fmadd_ps(
            _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 8)))), wk, a1);
        a2 = _mm256_fmadd_ps(
            _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 16)))), wk,
            a2);
        a3 = _mm256_fmadd_ps(
            _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 24)))), wk,
            a3);
      }
      __m256i bytes = _mm256_packus_epi16(_mm256_packus_epi32(d(a0), d(a1)), _mm256_packus_epi32(d(a2), d(a3)));
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

// Vertical pass over float rows (the fused path), one destination row, 64 values per step.
// Rows are padded to a multiple of 64 floats; the padding is 0 and its results are dropped.
__attribute__((target("avx2,fma"))) void verticalRowFromFloats(const float* const* rows, const float* w, int32_t len,
                                                               const Divider& d, size_t count, size_t padded,
                                                               uint8_t* out) {
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  alignas(32) uint8_t tail[64];
  for (size_t i = 0; i < padded; i += 64) {
    __m256 a[8];
    for (int j = 0; j < 8; ++j) a[j] = _mm256_setzero_ps();
    for (int32_t k = 0; k < len; ++k) {
      const __m256 wk = _mm256_broadcast_ss(w + k);
      const float* p = rows[k] + i;
      for (int j = 0; j < 8; ++j) a[j] = _mm256_fmadd_ps(_mm256_load_ps(p + 8 * j), wk, a[j]);
    }
    __m256i lo = _mm256_packus_epi16(_mm256_packus_epi32(d(a[0]), d(a[1])), _mm256_packus_epi32(d(a[2]), d(a[3])));
    __m256i hi = _mm256_packus_epi16(_mm256_packus_epi32(d(a[4]), d(a[5])), _mm256_packus_epi32(d(a[6]), d(a[7])));
    lo = _mm256_permutevar8x32_epi32(lo, order);
    hi = _mm256_permutevar8x32_epi32(hi, order);
    if (i + 64 <= count) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), lo);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + 32), hi);
    } else {
      _mm256_store_si256(reinterpret_cast<__m256i*>(tail), lo);
      _mm256_store_si256(reinterpret_cast<__m256i*>(tail + 32), hi);
      std::memcpy(out + i, tail, count - i);
    }
  }
}

// Rows the fused path must hold at once: the horizontal pass runs ahead in blocks of eight rows
// as far as the next destination row needs, and that row reads back to its first source row.
int ringCapacity(const PassTable& v, int sourceHeight) {
  int computed = 0, capacity = std::min(8, sourceHeight);  // at least one block of rows
  for (int y = 0; y < v.count; ++y) {
    if (v.length[y] == 0) continue;
    const int need = v.start[y] + v.length[y];
    while (computed < need) computed += std::min(8, sourceHeight - computed);
    capacity = std::max(capacity, computed - v.start[y]);
  }
  return capacity;
}

// Both passes interleaved: the horizontal results live as float rows in a ring buffer of
// `capacity` rows instead of a byte work image, so the vertical pass reads them directly.
__attribute__((target("avx2,fma"))) void resampleFusedAvx2(const Bitmap& src, Bitmap& dst, const PassTable& h,
                                                           const PassTable& v, int capacity) {
  const size_t count = 3 * static_cast<size_t>(dst.width());
  const size_t padded = (count + 63) / 64 * 64;
  AlignedBuffer<float> ring(static_cast<size_t>(capacity) * padded);
  std::memset(ring.get(), 0, static_cast<size_t>(capacity) * padded * sizeof(float));
  auto slot = [&](int row) { return ring.get() + static_cast<size_t>(row % capacity) * padded; };
  HorizontalAvx2 horizontal(src, h);
  std::vector<const float*> rows;
  int computed = 0;
  for (int y = 0; y < v.count; ++y) {
    const int32_t len = v.length[y];
    if (len > 0) {
      while (computed < v.start[y] + len) {
        const int n = std::min(8, src.height() - computed);
        float* out[8];
        for (int r = 0; r < n; ++r) out[r] = slot(computed + r);
        horizontal.toFloats(computed, n, out);
        computed += n;
      }
    }
    rows.resize(static_cast<size_t>(len));
    for (int32_t k = 0; k < len; ++k) rows[static_cast<size_t>(k)] = slot(v.start[y] + k);
    verticalRowFromFloats(rows.data(), v.weightF.data() + v.offset[y], len, Divider(v.divisorF[y], v.reciprocalF[y]),
                          count, padded, dst.scanLine(y));
  }
}

}  // namespace

float resampleKernelSupport(uint8_t kernel) {
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

float resampleKernel(uint8_t kernel, float x) {
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

float resampleScale(int srcSize, int dstSize) {
  if (srcSize == 1 || dstSize == 1) return static_cast<float>(static_cast<Ext>(dstSize) / srcSize);
  return static_cast<float>(static_cast<Ext>(dstSize - 1) / (srcSize - 1));
}

TALContributorList buildContributorList(int n, int m, float scale, uint8_t kernel, float radius) {
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
    if (allZero) continue;
    // The array grows on demand: far fewer than 2w + 1 weights are non-zero in steep reductions.
    e.Contributors.reserve(static_cast<size_t>(std::clamp<int64_t>(capacity, 0, 64)));
    const float c = static_cast<float>(static_cast<Ext>(i) / s);
    const int64_t left = toIndex(floorl(c - width));
    const int64_t right = toIndex(ceill(c + width));
    for (int64_t j = left; j <= right; ++j) {
      int32_t weight;
      if (reduce) {
        const float x = static_cast<float>((static_cast<Ext>(c) - j) * s);
        weight = roundWeight(static_cast<Ext>(resampleKernel(kernel, x)) * s * 256);
      } else {
        const float x = static_cast<float>(static_cast<Ext>(c) - j);
        weight = roundWeight(static_cast<Ext>(resampleKernel(kernel, x)) * 256);
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
  source.convertTo24();
  const int sw = source.width(), sh = source.height();
  if (sw == 0 || sh == 0 || dw == 0 || dh == 0 || destination.bitsPerPixel() != 24) {
    destination.reset(dw, dh, 24);
    if (sw == 0 || sh == 0 || dw == 0 || dh == 0) return;
  } else {
    // Already a 24-bit image of the size: every pixel byte is overwritten below, so emptying it
    // only needs its marks, palette and row padding cleared (no second allocation and fill).
    destination.palette().clear();
    destination.setAlphaMode(AlphaMode::kUnmarked);
    destination.clearTransparent();
    const size_t used = 3 * static_cast<size_t>(dw);
    if (destination.stride() > used)
      for (int y = 0; y < dh; ++y) std::memset(destination.scanLine(y) + used, 0, destination.stride() - used);
  }
  // The work image (destination width by source height) is subject to the image size limit,
  // whichever loops run.
  checkImageSize(dw, sh);
  // The vector loops keep 96 bytes per pixel of a source and a destination row; rows of
  // extreme width (above 699050 pixels) take the generic loops instead.
  const bool avx2 = isa != ResampleIsa::kGeneric && resampleAvx2Available() &&
                    static_cast<uint64_t>(std::max(sw, dw)) * 96 <= (uint64_t{64} << 20);

  if (avx2) {
    const std::shared_ptr<const PassTable> hTable = passTable(sw, dw, kernel, radius);
    const std::shared_ptr<const PassTable> vTable = passTable(sh, dh, kernel, radius);
    const PassTable& h = *hTable;
    const PassTable& v = *vTable;
    // The ring of float rows is used while it is no larger than the byte work image would be
    // (or than 1 MiB).
    const int capacity = ringCapacity(v, sh);
    const uint64_t ringBytes = static_cast<uint64_t>(capacity) * ((3 * static_cast<uint64_t>(dw) + 63) / 64 * 64) * 4;
    if (ringBytes <= std::max<uint64_t>(static_cast<uint64_t>(sh) * 3 * static_cast<uint64_t>(dw), 1 << 20)) {
      resampleFusedAvx2(source, destination, h, v, capacity);
      return;
    }
    const size_t workStride = 3 * static_cast<size_t>(dw);
    ByteBuffer work(workStride * static_cast<size_t>(sh));
    HorizontalAvx2 horizontal(source, h);
    for (int y0 = 0; y0 < sh; y0 += 8) {
      const int n = std::min(8, sh - y0);
      uint8_t* out[8];
      for (int r = 0; r < n; ++r) out[r] = work.data() + static_cast<size_t>(y0 + r) * workStride;
      horizontal.toBytes(y0, n, out);
    }
    verticalAvx2(work.data(), workStride, destination, v);
    return;
  }

  const size_t workStride = 3 * static_cast<size_t>(dw);
  ByteBuffer work(workStride * static_cast<size_t>(sh));
  horizontalGeneric(source, work.data(), workStride, *passTable(sw, dw, kernel, radius));
  verticalGeneric(work.data(), workStride, destination, *passTable(sh, dh, kernel, radius));
}

}  // namespace detail

void ResampleImage(Bitmap& source, Bitmap& destination, uint8_t kernel, float radius) {
  detail::resampleImageWith(source, destination, kernel, radius, detail::ResampleIsa::kAuto);
}

}  // namespace brevane::imaging
