// Resampler speed: output megapixels per second of the production routine and of the literal
// reference, for typical photo reductions and an enlargement, with every kernel.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <utility>

#include "core/imaging/resample_reference.cpp"
#include "imaging/resampler.h"

namespace {

using brevane::Bitmap;

// Smooth gradients and soft shapes with sensor-like noise and a few hard edges.
const Bitmap& photo(int width, int height) {
  static std::map<std::pair<int, int>, Bitmap> cache;
  auto it = cache.find({width, height});
  if (it != cache.end()) return it->second;
  Bitmap b(width, height, 24);
  std::mt19937 rng(42);
  std::normal_distribution<float> noise(0.0f, 4.0f);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = b.scanLine(y);
    for (int x = 0; x < width; ++x) {
      float u = static_cast<float>(x) / width, v = static_cast<float>(y) / height;
      float base[3] = {90 + 80 * u, 60 + 120 * v, 140 + 60 * std::sin(9 * u + 5 * v)};
      if ((x / 97 + y / 131) % 7 == 0) base[0] = base[1] = base[2] = 235;  // hard-edged highlights
      for (int c = 0; c < 3; ++c) {
        float value = base[c] + noise(rng);
        row[3 * x + c] = static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
      }
    }
  }
  return cache.emplace(std::make_pair(width, height), std::move(b)).first->second;
}

enum class Engine { kProduction, kGenericLoops, kReference };

template <Engine kEngine>
void resample(benchmark::State& state) {
  const int sw = static_cast<int>(state.range(0)), sh = static_cast<int>(state.range(1));
  const int dw = static_cast<int>(state.range(2)), dh = static_cast<int>(state.range(3));
  const auto kernel = static_cast<uint8_t>(state.range(4));
  Bitmap source = photo(sw, sh);
  Bitmap destination;
  for (auto _ : state) {
    destination.reset(dw, dh, 24);
    if constexpr (kEngine == Engine::kReference)
      brevane::test::referenceResample(source, destination, kernel, 0);
    else if constexpr (kEngine == Engine::kGenericLoops)
      brevane::imaging::detail::resampleImageWith(source, destination, kernel, 0,
                                                  brevane::imaging::detail::ResampleIsa::kGeneric);
    else
      brevane::imaging::ResampleImage(source, destination, kernel, 0);
    benchmark::DoNotOptimize(destination.data());
  }
  state.counters["out_MP/s"] =
      benchmark::Counter(static_cast<double>(dw) * dh / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void sizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"sw", "sh", "dw", "dh", "kernel"});
  for (int kernel = 0; kernel < 7; ++kernel) {
    b->Args({4000, 3000, 1440, 1080, kernel});
    b->Args({4000, 3000, 800, 600, kernel});
    b->Args({1000, 750, 2000, 1500, kernel});
  }
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(resample<Engine::kProduction>)->Name("ResampleImage")->Apply(sizes);
// The loops used on processors without AVX2/FMA.
BENCHMARK(resample<Engine::kGenericLoops>)->Name("GenericLoops")->Apply(sizes);
BENCHMARK(resample<Engine::kReference>)->Name("Reference")->Apply(sizes)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
