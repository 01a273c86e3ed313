// Encoding a 12-megapixel photo-like image with each encoder at its default settings, JPEG kept
// to a target size, the automatic format's two candidates, and the PNG writer's filter choice
// apart from its deflate.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <random>

#include "codecs/encoders.h"
#include "codecs/png_filter.h"
#include "engine/settings.h"
#include "engine/target_size.h"

namespace {

using namespace brevane;

constexpr int kWidth = 4000, kHeight = 3000;

// Smooth gradients with sensor-like noise: compresses like a photo, not like a synthetic image.
const Bitmap& photo() {
  static const Bitmap image = [] {
    Bitmap b(kWidth, kHeight, 24);
    std::mt19937 rng(12);
    std::normal_distribution<float> noise(0.0f, 4.0f);
    for (int y = 0; y < kHeight; ++y) {
      uint8_t* row = b.scanLine(y);
      for (int x = 0; x < kWidth; ++x) {
        float base[3] = {60.0f + 120.0f * x / kWidth, 40.0f + 150.0f * y / kHeight,
                         200.0f - 100.0f * (x + y) / (kWidth + kHeight)};
        for (int c = 0; c < 3; ++c) row[3 * x + c] = static_cast<uint8_t>(std::clamp(base[c] + noise(rng), 0.0f, 255.0f));
      }
    }
    return b;
  }();
  return image;
}

const TConversionSettings& defaults() {
  static const TConversionSettings s = TConversionSettings::defaults();
  return s;
}

void report(benchmark::State& state, size_t outBytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight * 3);
  state.counters["out_MB"] = static_cast<double>(outBytes) / 1e6;
}

void BM_Jpeg(benchmark::State& state) {
  size_t n = 0;
  for (auto _ : state) n = codecs::encodeJpeg(photo(), defaults().JPG_quality, defaults().JPG_progressive).size();
  report(state, n);
}

void BM_Png(benchmark::State& state) {
  const TConversionSettings& s = defaults();
  size_t n = 0;
  for (auto _ : state) n = codecs::encodePng(photo(), nullptr, {s.Png_interlace, s.Png_filter, s.PNG_compression}).size();
  report(state, n);
}

void BM_Bmp(benchmark::State& state) {
  size_t n = 0;
  for (auto _ : state) n = codecs::encodeBmp(photo()).size();
  report(state, n);
}

void BM_Tga(benchmark::State& state) {
  size_t n = 0;
  for (auto _ : state) n = codecs::encodeTga(photo(), nullptr).size();
  report(state, n);
}

void BM_Gif(benchmark::State& state) {
  size_t n = 0;
  for (auto _ : state) n = codecs::encodeGif(photo()).size();
  report(state, n);
}

void BM_Jpeg2000(benchmark::State& state) {
  size_t n = 0;
  for (auto _ : state) n = codecs::encodeJpeg2000(photo(), defaults().J2K_quality, defaults().J2K_Lossless).size();
  report(state, n);
}

// Both candidates of the automatic format, as the pipeline makes them.
void BM_AutoFormatCandidates(benchmark::State& state) {
  size_t n = 0;
  for (auto _ : state) {
    std::vector<uint8_t> jpeg = codecs::encodeJpeg(photo(), defaults().JPG_quality, false);
    std::vector<uint8_t> png = codecs::encodePng(photo(), nullptr, {false, true, 9});
    n = std::min(jpeg.size(), png.size());
  }
  report(state, n);
}

// JPEG output kept to a size (JPG_target_kb): the argument is the target in percent of the
// default quality's file. 100 fits at once (one encode); 50 takes the whole bisection.
void BM_JpegTargetSize(benchmark::State& state) {
  static const size_t full = codecs::encodeJpeg(photo(), defaults().JPG_quality, false).size();
  uint64_t limit = full * static_cast<uint64_t>(state.range(0)) / 100;
  SizedEncoding r;
  for (auto _ : state)
    r = encodeWithinSize(defaults().JPG_quality, limit, [](int q) { return codecs::encodeJpeg(photo(), q, false); });
  report(state, r.bytes.size());
  state.counters["encodes"] = r.encodes;
  state.counters["quality"] = r.quality;
}

// The rows as the PNG writer sees them: R, G, B.
std::vector<uint8_t> rgbRow(int y) {
  std::vector<uint8_t> row(static_cast<size_t>(kWidth) * 3);
  const uint8_t* s = photo().scanLine(y);
  for (int x = 0; x < kWidth; ++x) row[3 * x] = s[3 * x + 2], row[3 * x + 1] = s[3 * x + 1], row[3 * x + 2] = s[3 * x];
  return row;
}

const std::vector<std::vector<uint8_t>>& rgbRows() {
  static const std::vector<std::vector<uint8_t>> rows = [] {
    std::vector<std::vector<uint8_t>> r;
    for (int y = 0; y < kHeight; ++y) r.push_back(rgbRow(y));
    return r;
  }();
  return rows;
}

// The filter choice alone: all five filters and their scores for every row.
void BM_PngFilterChoice(benchmark::State& state) {
  const auto& rows = rgbRows();
  codecs::png::RowFilter filter(rows[0].size(), 3, true);
  int64_t sum = 0;
  for (auto _ : state)
    for (int y = 0; y < kHeight; ++y) {
      sum += filter.apply(rows[y].data(), y ? rows[y - 1].data() : nullptr);
      benchmark::DoNotOptimize(filter.filtered());
    }
  benchmark::DoNotOptimize(sum);
  report(state, 0);
}

// The deflate alone, at level 9, over the stream the filter choice produced.
void BM_PngDeflate(benchmark::State& state) {
  static const std::vector<uint8_t> filtered = [] {
    const auto& rows = rgbRows();
    codecs::png::RowFilter filter(rows[0].size(), 3, true);
    std::vector<uint8_t> out;
    for (int y = 0; y < kHeight; ++y) {
      out.push_back(filter.apply(rows[y].data(), y ? rows[y - 1].data() : nullptr));
      out.insert(out.end(), filter.filtered(), filter.filtered() + rows[y].size());
    }
    return out;
  }();
  std::vector<uint8_t> out(compressBound(filtered.size()));
  uLongf n = 0;
  for (auto _ : state) {
    n = out.size();
    compress2(out.data(), &n, filtered.data(), filtered.size(), defaults().PNG_compression);
  }
  report(state, n);
}

}  // namespace

BENCHMARK(BM_Jpeg)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Png)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Bmp)->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_Tga)->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_Gif)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Jpeg2000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();  // OpenJPEG threads
BENCHMARK(BM_JpegTargetSize)->Arg(100)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_AutoFormatCandidates)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PngFilterChoice)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_PngDeflate)->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
